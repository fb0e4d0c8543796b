#include "audioresample.h"

#include <cstring>

namespace {

void take_next(AudioResampler* r, void (*pull)(char* buf, int bytes))
{
    if (r->chunk_used == r->chunk_count) {
        pull(reinterpret_cast<char*>(r->chunk), RESAMPLER_CHUNK_FRAMES * 4);
        r->chunk_count = RESAMPLER_CHUNK_FRAMES;
        r->chunk_used = 0;
    }
    r->prev[0] = r->next[0];
    r->prev[1] = r->next[1];
    r->next[0] = r->chunk[2 * r->chunk_used];
    r->next[1] = r->chunk[2 * r->chunk_used + 1];
    r->chunk_used++;
}

}  // namespace

bool resampler_init(AudioResampler* r, int in_rate, int out_rate)
{
    std::memset(r, 0, sizeof *r);
    if (in_rate <= 0 || out_rate <= 0)
        return false;
    r->in_rate = in_rate;
    r->out_rate = out_rate;
    return true;
}

void resampler_run(AudioResampler* r, s16* out, int frames, void (*pull)(char* buf, int bytes))
{
    if (r->out_rate <= 0) {
        std::memset(out, 0, (size_t)frames * 4);
        return;
    }
    if (!r->primed) {
        take_next(r, pull);
        take_next(r, pull);
        r->primed = true;
    }
    for (int i = 0; i < frames; i++) {
        for (int c = 0; c < 2; c++) {
            long long delta = (long long)(r->next[c] - r->prev[c]) * r->phase;
            out[2 * i + c] = (s16)(r->prev[c] + delta / r->out_rate);
        }
        r->phase += r->in_rate;
        while (r->phase >= r->out_rate) {
            r->phase -= r->out_rate;
            take_next(r, pull);
        }
    }
}
