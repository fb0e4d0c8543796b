// The converter between the mixer's 44100 Hz and an output's own rate: a tone keeps its pitch,
// a sound its length, and nothing is dropped or repeated across the output's calls.
#include "audioresample.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int MIX_RATE = 44100;

// The source: a sine of `tone_hz` at the mix rate, or a numbered ramp, pulled in order.
struct Source {
    double tone_hz = 0;   // 0: a ramp whose left channel counts the frames pulled
    long frames_pulled = 0;
};
Source source;

void pull(char* buf, int bytes)
{
    s16* out = reinterpret_cast<s16*>(buf);
    for (int i = 0; i < bytes / 4; i++, source.frames_pulled++) {
        double t = (double)source.frames_pulled / MIX_RATE;
        s16 v = source.tone_hz > 0 ? (s16)std::lround(20000 * std::sin(2 * M_PI * source.tone_hz * t))
                                   : (s16)(source.frames_pulled % 30000);
        out[2 * i] = v;
        out[2 * i + 1] = (s16)-v;
    }
}

// The output's frames, taken in calls of `per_call` frames as an audio callback takes them.
std::vector<s16> run(int out_rate, int out_frames, int per_call, double tone_hz)
{
    source = Source{tone_hz, 0};
    AudioResampler r;
    EXPECT_TRUE(resampler_init(&r, MIX_RATE, out_rate));
    std::vector<s16> out((size_t)out_frames * 2);
    for (int at = 0; at < out_frames; at += per_call)
        resampler_run(&r, &out[(size_t)at * 2], std::min(per_call, out_frames - at), pull);
    return out;
}

// Upward zero crossings of the left channel per second of output.
double crossings_per_second(const std::vector<s16>& out, int out_rate)
{
    int crossings = 0;
    for (size_t i = 2; i < out.size(); i += 2)
        crossings += out[i - 2] < 0 && out[i] >= 0;
    return crossings * (double)out_rate / (out.size() / 2);
}

TEST(AudioResample, AToneKeepsItsPitchAtEveryCommonRate)
{
    for (int rate : {22050, 32000, 44100, 48000, 88200, 96000}) {
        std::vector<s16> out = run(rate, rate * 2, 1024, 440.0);
        EXPECT_NEAR(crossings_per_second(out, rate), 440.0, 1.0) << rate << " Hz";
        // The channels stay apart: the right is the left inverted.
        for (size_t i = 4000; i < 4100; i += 2)
            EXPECT_NEAR(out[i + 1], -out[i], 1) << rate << " Hz, frame " << i / 2;
    }
}

TEST(AudioResample, TakesTheSourceAtItsOwnRateWithoutDrift)
{
    // Ten seconds at 48000 Hz cover ten seconds of the source, to within the frames pulled ahead.
    run(48000, 480000, 1024, 0);
    EXPECT_GE(source.frames_pulled, 441000);
    EXPECT_LE(source.frames_pulled, 441000 + RESAMPLER_CHUNK_FRAMES + 1);
}

TEST(AudioResample, TheSizeOfTheOutputsCallsChangesNothing)
{
    std::vector<s16> whole = run(48000, 20000, 20000, 0);
    for (int per_call : {1, 7, 441, 1024})
        EXPECT_EQ(run(48000, 20000, per_call, 0), whole) << per_call << " frames a call";
}

TEST(AudioResample, AnEqualRatePassesTheFramesUnchanged)
{
    std::vector<s16> out = run(MIX_RATE, 3000, 1024, 0);
    for (int i = 0; i < 3000; i++)
        ASSERT_EQ(out[2 * i], i) << "frame " << i;
}

TEST(AudioResample, ARateThatIsNotPositiveIsRefusedAndPlaysSilence)
{
    AudioResampler r;
    EXPECT_FALSE(resampler_init(&r, MIX_RATE, 0));
    EXPECT_FALSE(resampler_init(&r, -1, 48000));
    source = Source{440.0, 0};
    std::vector<s16> out(2048, 123);
    resampler_run(&r, out.data(), 1024, pull);
    EXPECT_EQ(out, std::vector<s16>(2048, 0));
    EXPECT_EQ(source.frames_pulled, 0);
}

}  // namespace
