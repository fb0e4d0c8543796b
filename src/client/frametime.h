// Frame timing of the main loop: the time step from the millisecond tick counter with its
// 3 ms floor, the frame-rate report every 5 seconds, and a clock that stops while the game is
// away.
#pragma once

#include "types.h"

constexpr u32 MIN_DTIME_MS = 3;         // a frame takes at least this long
constexpr float FPS_INTERVAL = 5.0f;    // seconds between frame-rate reports

// The time step in seconds of a frame that starts at `ticks` after one that started at
// `last_ticks` (a wrapped counter counts as 0 ms). A frame shorter than the floor is
// simulated as exactly 0.003 s and *delay_ms tells how long to sleep; otherwise it is 0.
float frame_time_step(u32 ticks, u32 last_ticks, u32* delay_ms);

struct FpsCounter {
    float second_counter;  // seconds counted towards the next report
    u32 frame_counter;     // frames counted towards the next report
};

// A frame clock that leaves out the time the game was away (a hidden browser page draws no
// frames): the first reading after a return equals the last one before it, so the first frame
// back is as short as the floor allows.
struct AwayClock {
    u32 offset;      // milliseconds of the tick counter spent away, summed (wrapping)
    u32 last;        // the last reading
    bool returning;  // the next reading continues from `last`
};

// The clock's reading at tick count `ticks`.
u32 away_clock_read(AwayClock* clock, u32 ticks);
// Notes that the game was away since the last reading.
void away_clock_note_away(AwayClock* clock);

// Counts one frame of `dtime` seconds. True with *fps set once FPS_INTERVAL seconds are
// together; the time beyond the interval is kept for the next report.
bool fps_count_frame(FpsCounter* counter, float dtime, float* fps);
