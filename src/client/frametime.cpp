#include "frametime.h"

float frame_time_step(u32 ticks, u32 last_ticks, u32* delay_ms)
{
    u32 dtime_ms = ticks < last_ticks ? 0 : ticks - last_ticks;
    if (dtime_ms < MIN_DTIME_MS) {
        *delay_ms = MIN_DTIME_MS - dtime_ms;
        return 0.003f;
    }
    *delay_ms = 0;
    return dtime_ms / 1000.0f;
}

bool fps_count_frame(FpsCounter* counter, float dtime, float* fps)
{
    counter->second_counter += dtime;
    counter->frame_counter++;
    if (counter->second_counter < FPS_INTERVAL)
        return false;
    *fps = counter->frame_counter / counter->second_counter;
    counter->second_counter -= FPS_INTERVAL;
    counter->frame_counter = 0;
    return true;
}

u32 away_clock_read(AwayClock* clock, u32 ticks)
{
    if (clock->returning) {
        clock->offset = ticks - clock->last;
        clock->returning = false;
    }
    clock->last = ticks - clock->offset;
    return clock->last;
}

void away_clock_note_away(AwayClock* clock)
{
    clock->returning = true;
}
