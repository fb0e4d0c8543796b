// The game's sound is mixed at 44100 Hz; an output that runs at another rate (a browser's
// audio context may be made at 48000 Hz whatever the page asks for) plays it through this
// converter, so that every sound keeps its pitch and length. Linear interpolation between
// neighbouring frames, with the position kept as an exact fraction so that no drift builds up.
#pragma once

#include "types.h"

constexpr int RESAMPLER_CHUNK_FRAMES = 256;  // input frames pulled from the source at once

// One converter of 16-bit stereo frames.
struct AudioResampler {
    int in_rate;   // frames a second the source gives, > 0
    int out_rate;  // frames a second the output plays, > 0
    int phase;     // position past `prev` in units of 1/out_rate input frames, 0..out_rate-1
    s16 prev[2];   // the input frames the next output frame lies between
    s16 next[2];
    s16 chunk[RESAMPLER_CHUNK_FRAMES * 2];  // frames pulled from the source and not yet used
    int chunk_count;                        // frames in `chunk`
    int chunk_used;                         // frames of `chunk` already taken
    bool primed;                            // prev and next hold the first two frames
};

// Starts a converter from `in_rate` to `out_rate` at the source's first frame. False (and the converter left
// unusable) for a rate that is not positive.
bool resampler_init(AudioResampler* r, int in_rate, int out_rate);
// Writes `frames` output frames to `out` (left, right), taking as many input frames from
// `pull` as they cover; `pull` fills its buffer with `bytes` bytes of 16-bit stereo.
void resampler_run(AudioResampler* r, s16* out, int frames, void (*pull)(char* buf, int bytes));
