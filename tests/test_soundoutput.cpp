// The real output path through SDL's audio: "disk" writes the device stream to a file.
#include "sound.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include "audioout.h"
#include "sound_internal.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

class SoundOutput : public ::testing::Test {
protected:
    std::string stream_path;

    void SetUp() override
    {
        sound_reset();
        stream_path = (std::filesystem::temp_directory_path() /
                       ("quorvale_sound_stream_" + std::string(::testing::UnitTest::GetInstance()
                                                                   ->current_test_info()
                                                                   ->name()) +
                        ".raw"))
                          .string();
        std::filesystem::remove(stream_path);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", stream_path.c_str(), 1);
    }

    void TearDown() override
    {
        sound_deinit();
        sound_reset();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        std::filesystem::remove(stream_path);
    }

    std::vector<char> read_stream()
    {
        std::ifstream in(stream_path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

// Waits up to `limit` for `done`; whether it came true.
template <typename F>
bool wait_for(F done, milliseconds limit)
{
    auto until = steady_clock::now() + limit;
    while (!done()) {
        if (steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

TEST_F(SoundOutput, APlayedSoundReachesTheDeviceStream)
{
    ASSERT_EQ(sound_init(), 0);
    ASSERT_EQ(find_sound("noise"), 0);
    EXPECT_EQ(sound_bank_get(0)->len, 22050);

    // A stereo ramp that silence or noise cannot contain by chance.
    const int frames = 3000;
    s16* buf = (s16*)std::malloc(frames * 4);
    std::vector<char> expected;
    for (int i = 0; i < frames; i++) {
        buf[i * 2] = (s16)(i * 7 - 10000);
        buf[i * 2 + 1] = (s16)(1234 - i * 5);
        for (int k = 0; k < 2; k++) {
            expected.push_back((char)(buf[i * 2 + k] & 0xff));
            expected.push_back((char)((buf[i * 2 + k] >> 8) & 0xff));
        }
    }
    int ramp = sound_bank_append("ramp", buf, frames);
    ASSERT_EQ(ramp, 1);
    ASSERT_EQ(sound_play("ramp", 1.0f), 0);
    ASSERT_TRUE(wait_for([] {
        PlayingSound v[8];
        return sound_voices(v) == 1 && v[0].sound == -1;
    }, milliseconds(5000)));
    // The mixer runs a ring ahead of the device: wait for the device to write it all.
    std::vector<char> stream;
    std::vector<char>::iterator at;
    ASSERT_TRUE(wait_for([&] {
        stream = read_stream();
        at = std::search(stream.begin(), stream.end(), expected.begin(), expected.end());
        return at != stream.end();
    }, milliseconds(5000)));
    sound_deinit();
    // It starts on a frame boundary, after silence only.
    size_t offset = (size_t)(at - stream.begin());
    EXPECT_EQ(offset % 4, 0u);
    EXPECT_TRUE(std::all_of(stream.begin(), at, [](char c) { return c == 0; }));
}

TEST_F(SoundOutput, StopsPromptlyWhileWaitingForAFreeBlock)
{
    ASSERT_EQ(sound_init(), 0);
    SDL_PauseAudio(1);  // the device stops taking blocks, so the ring fills up
    ASSERT_TRUE(wait_for([] {
        for (int i = 0; i < WMM_BLOCKS; i++) {
            if (driver_block_done(i))
                return false;
        }
        return true;
    }, milliseconds(3000)));
    std::this_thread::sleep_for(milliseconds(50));
    auto start = steady_clock::now();
    sound_deinit();
    auto took = std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
    // The device never frees a block again, so a mixer that missed the stop would hang here;
    // the bound only leaves room for a loaded machine.
    EXPECT_LT(took.count(), 3000);
}

TEST_F(SoundOutput, SurvivesTheGamesShutdownOrderAndStartsAgain)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(sound_init(), 0);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    ASSERT_EQ(sound_play("noise", 1.0f), 0);
    std::this_thread::sleep_for(milliseconds(100));
    SDL_Quit();
    sound_deinit();
    sound_deinit();

    ASSERT_EQ(sound_init(), 0);
    EXPECT_EQ(sound_bank_count(), 1);  // "noise" is made once
    ASSERT_EQ(sound_play_num(0, 0.5f), 0);
    std::this_thread::sleep_for(milliseconds(100));
    sound_deinit();
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_GT(read_stream().size(), 0u);
}

TEST_F(SoundOutput, AFailedOrSkippedStartStillShutsDown)
{
    sound_deinit();
    setenv("SDL_AUDIODRIVER", "no_such_audio_driver", 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(sound_init(), -1);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("SDL_", 0), 0u) << err;
    EXPECT_NE(err.find(" error: "), std::string::npos) << err;
    EXPECT_EQ(sound_bank_count(), 0);
    sound_deinit();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

}  // namespace
