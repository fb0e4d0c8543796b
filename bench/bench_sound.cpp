// The mixer's cost: one feed_sound call mixes 1024 frames; real-time playback needs
// 44100 / 1024 of them a second.
#include <cstdlib>

#include <benchmark/benchmark.h>

#include "sound.h"
#include "sound_internal.h"

namespace {

char sink_byte;  // keeps the mixed output observable

void discard(char* buf, int bufsize)
{
    sink_byte ^= buf[bufsize / 2];
}

// An empty bank with one 5-second sound and `voices` voices playing it.
void start_voices(int voices)
{
    const int frames = 44100 * 5;
    sound_reset();
    s16* buf = (s16*)std::malloc((size_t)frames * 4);
    for (int i = 0; i < frames * 2; i++)
        buf[i] = (s16)((int)(((unsigned)i * 7919u) % 20000u) - 10000);
    int s = sound_bank_append("bench", buf, frames);
    for (int j = 0; j < voices; j++)
        sound_play_num(s, 0.3f + 0.05f * j);
}

// Argument: voices playing; 8 is the table full, 0 the silent reference.
void BM_FeedSound(benchmark::State& state)
{
    sound_set_output(discard);
    const int voices = (int)state.range(0);
    start_voices(voices);
    for (auto _ : state) {
        feed_sound();
        PlayingSound v[8];
        if (sound_voices(v) > 0 && v[0].sound == -1) {  // all started together, so all ran out together
            state.PauseTiming();
            start_voices(voices);
            state.ResumeTiming();
        }
    }
    benchmark::DoNotOptimize(sink_byte);
    state.SetItemsProcessed(state.iterations());
    // Buffers per second as processed; the share of one core real-time playback costs.
    state.counters["buffers_per_s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["core_share_realtime"] =
        benchmark::Counter((double)state.iterations() / (44100.0 / 1024.0),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    sound_set_output(nullptr);
    sound_reset();
}
BENCHMARK(BM_FeedSound)->Arg(8)->Arg(0);

}  // namespace
