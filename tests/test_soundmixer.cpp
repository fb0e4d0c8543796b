#include "sound.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "random.h"
#include "sound_internal.h"

namespace {

std::vector<std::vector<char>> captured;  // every buffer feed_sound handed out

void capture(char* buf, int bufsize)
{
    captured.emplace_back(buf, buf + bufsize);
}

// The mixer's stereo frame `f` of the captured buffer `b`.
int left_of(int b, int f)
{
    const char* p = captured[b].data() + f * 4;
    return (s16)((u8)p[0] | ((u8)p[1] << 8));
}

int right_of(int b, int f)
{
    const char* p = captured[b].data() + f * 4 + 2;
    return (s16)((u8)p[0] | ((u8)p[1] << 8));
}

// A bank entry of `frames` frames with constant left and right samples.
int add_constant(const char* name, int frames, s16 left, s16 right)
{
    s16* buf = (s16*)std::malloc((size_t)(frames > 0 ? frames : 1) * 4);
    for (int i = 0; i < frames; i++) {
        buf[i * 2] = left;
        buf[i * 2 + 1] = right;
    }
    return sound_bank_append(name, buf, frames);
}

class SoundMixer : public ::testing::Test {
protected:
    void SetUp() override
    {
        sound_reset();
        captured.clear();
        sound_set_output(capture);
        V3f origin = {0, 0, 0};
        sound_set_listener_position(&origin);
    }
    void TearDown() override
    {
        sound_set_output(nullptr);
        sound_reset();
    }
    int voices(PlayingSound* out) { return sound_voices(out); }
};

TEST_F(SoundMixer, SilenceWithoutVoices)
{
    feed_sound();
    ASSERT_EQ(captured.size(), 1u);
    ASSERT_EQ(captured[0].size(), 4096u);
    for (char c : captured[0])
        ASSERT_EQ(c, 0);
}

TEST_F(SoundMixer, VoicesAddTruncateAndClip)
{
    int loud = add_constant("loud", 2000, 32767, -32768);
    ASSERT_EQ(sound_play_num(loud, 1.0f), 0);
    ASSERT_EQ(sound_play_num(loud, 1.0f), 0);
    feed_sound();
    EXPECT_EQ(left_of(0, 0), 32767);
    EXPECT_EQ(right_of(0, 0), -32768);
    EXPECT_EQ(left_of(0, 1023), 32767);

    sound_reset();
    int small = add_constant("small", 2000, -3, 3);
    int mid = add_constant("mid", 2000, 100, 201);
    ASSERT_EQ(sound_play_num(small, 0.5f), 0);
    feed_sound();
    EXPECT_EQ(left_of(1, 0), -1);  // toward zero, not -2
    EXPECT_EQ(right_of(1, 0), 1);

    // Each voice is truncated on its own before the sum: 0.5 * 201 gives 100, twice.
    ASSERT_EQ(sound_play_num(mid, 0.5f), 0);
    ASSERT_EQ(sound_play_num(mid, 0.5f), 0);
    feed_sound();
    EXPECT_EQ(left_of(2, 0), -1 + 50 + 50);
    EXPECT_EQ(right_of(2, 0), 1 + 100 + 100);
}

TEST_F(SoundMixer, ASoundFinishesPartwayThroughTheSecondBuffer)
{
    int s = add_constant("s", 1500, 1000, -1000);
    ASSERT_EQ(sound_play_num(s, 1.0f), 0);
    feed_sound();
    PlayingSound v[8];
    ASSERT_EQ(voices(v), 1);
    EXPECT_EQ(v[0].sound, s);
    EXPECT_EQ(v[0].pos, 1024);
    feed_sound();
    ASSERT_EQ(voices(v), 1);
    EXPECT_EQ(v[0].sound, -1);
    EXPECT_EQ(v[0].pos, 1500);
    for (int f = 0; f < 1024; f++) {
        ASSERT_EQ(left_of(0, f), 1000);
        ASSERT_EQ(right_of(1, f), f < 1500 - 1024 ? -1000 : 0) << f;
    }
    feed_sound();
    for (int f = 0; f < 1024; f++)
        ASSERT_EQ(left_of(2, f), 0);
}

TEST_F(SoundMixer, NinthVoiceWaitsForAFinishedOneBeforeTheLast)
{
    int shortone = add_constant("short", 10, 1, 1);
    int longone = add_constant("long", 100000, 1, 1);
    for (int i = 0; i < 7; i++)
        ASSERT_EQ(sound_play_num(longone, 1.0f), 0);
    ASSERT_EQ(sound_play_num(shortone, 1.0f), 0);  // the last entry
    EXPECT_EQ(sound_play_num(longone, 1.0f), -1);
    feed_sound();
    PlayingSound v[8];
    ASSERT_EQ(voices(v), 8);
    ASSERT_EQ(v[7].sound, -1);
    // A finished last entry is never cleared, so the table stays full.
    EXPECT_EQ(sound_play_num(longone, 1.0f), -1);
    EXPECT_EQ(voices(v), 8);

    sound_reset();
    shortone = add_constant("short", 10, 1, 1);
    longone = add_constant("long", 100000, 1, 1);
    for (int i = 0; i < 8; i++)
        ASSERT_EQ(sound_play_num(i == 2 ? shortone : longone, 1.0f), 0);
    EXPECT_EQ(sound_play_num(longone, 1.0f), -1);
    voices(v);
    int ids_before[8];
    for (int i = 0; i < 8; i++)
        ids_before[i] = v[i].id;
    feed_sound();
    ASSERT_EQ(sound_play_num(shortone, 1.0f), 0);
    ASSERT_EQ(voices(v), 8);
    // The finished third voice is gone and the others keep their order.
    EXPECT_EQ(v[1].id, ids_before[1]);
    EXPECT_EQ(v[2].id, ids_before[3]);
    EXPECT_EQ(v[6].id, ids_before[7]);
    EXPECT_EQ(v[7].id, ids_before[7] + 1);  // the refused request took no id
    EXPECT_EQ(v[7].sound, shortone);
    EXPECT_EQ(v[7].pos, 0);
}

TEST_F(SoundMixer, DistanceAttenuatesPositionalVoices)
{
    int s = add_constant("s", 100000, 1000, 1000);
    V3f listener = {10, 20, 5};
    sound_set_listener_position(&listener);
    V3f at = listener;
    V3f ten = {16, 28, 5};
    V3f hundred = {10, 20, 105};
    ASSERT_EQ(sound_play_num_pos(s, 0.5f, &at), 0);
    ASSERT_EQ(sound_play_num_pos(s, 1.0f, &ten), 0);
    ASSERT_EQ(sound_play_num_pos(s, 1.0f, &hundred), 0);
    PlayingSound v[8];
    ASSERT_EQ(voices(v), 3);
    EXPECT_EQ(v[0].volume, 0.5f);
    EXPECT_NEAR(v[1].volume, 0.737, 0.001);
    EXPECT_NEAR(v[2].volume, 0.0476, 0.0005);
    EXPECT_EQ(v[2].volume, (float)std::pow(0.97, 100.0));
}

TEST_F(SoundMixer, BadRequestsStartNothing)
{
    int empty = add_constant("empty", 0, 0, 0);
    EXPECT_EQ(sound_play_num(-1, 1.0f), -1);
    EXPECT_EQ(sound_play_num(1, 1.0f), -1);  // no such entry
    PlayingSound v[8];
    EXPECT_EQ(voices(v), 0);
    // A sound without frames finishes without being read.
    ASSERT_EQ(sound_play_num(empty, 1.0f), 0);
    feed_sound();
    ASSERT_EQ(voices(v), 1);
    EXPECT_EQ(v[0].sound, -1);
    EXPECT_EQ(left_of(0, 0), 0);
}

TEST_F(SoundMixer, NoiseIsHalfASecondOfNegativeSamples)
{
    mysrand(3);
    Sound s = {};
    generate_noise(&s, 0.5f);
    ASSERT_NE(s.buf, nullptr);
    ASSERT_EQ(s.len, 22050);
    int distinct = 0;
    for (int i = 0; i < s.len; i++) {
        ASSERT_LE(s.buf[i * 2], -1);
        ASSERT_EQ(s.buf[i * 2], s.buf[i * 2 + 1]);
        distinct += i > 0 && s.buf[i * 2] != s.buf[i * 2 - 2];
    }
    EXPECT_GT(distinct, 20000);
    std::free(s.buf);
}

}  // namespace
