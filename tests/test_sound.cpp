#include "sound.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>


#include <gtest/gtest.h>

#include "address_cap.h"
#include "random.h"
#include "sound_internal.h"
#include "sound_test_files.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

using SoundLoad = SoundFilesTest;
using SoundCollections = SoundFilesTest;
using SoundLoadDeathTest = SoundFilesTest;

// "s7" and the like. Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on a
// one-letter literal put before a std::string.
std::string numbered(const char* prefix, int i)
{
    std::string name = prefix;
    name += std::to_string(i);
    return name;
}

// Loads `path` as "x"; what was printed on stderr. The load must fail and leave the bank empty.
std::string rejected(const std::string& path)
{
    CaptureStderr();
    int r = sound_load("x", path.c_str());
    std::string err = GetCapturedStderr();
    EXPECT_EQ(r, -1);
    EXPECT_EQ(sound_bank_count(), 0);
    EXPECT_EQ(find_sound("x"), -1);
    return err;
}

TEST_F(SoundLoad, LayoutErrorsAreFileFormatErrors)
{
    std::vector<u8> data = sample_bytes({1, 2, 3, 4});

    WavFields list;
    list.list_chunk = true;
    WavFields fmt18;
    fmt18.fmtsize = 18;
    std::vector<u8> riff = wav_bytes(WavFields{}, data);
    riff[0] = 'R', riff[1] = 'I', riff[2] = 'F', riff[3] = 'X';
    std::vector<u8> truncated = wav_bytes(WavFields{}, data);
    truncated.resize(30);

    for (auto [name, bytes] : std::vector<std::pair<std::string, std::vector<u8>>>{
             {"list.wav", wav_bytes(list, data)},
             {"fmt18.wav", wav_bytes(fmt18, data)},
             {"riff.wav", riff},
             {"truncated.wav", truncated},
             {"empty.wav", {}}}) {
        std::string path = write_file(name, bytes);
        EXPECT_EQ(rejected(path), "sound_load: '" + path + "': file format error\n") << name;
    }
}

TEST_F(SoundLoad, UnsupportedValuesNameTheFirstBrokenRule)
{
    struct Case {
        const char* file;
        WavFields fields;
        const char* rule;
    };
    auto with = [](const char* file, const char* rule, auto change) {
        Case c{file, WavFields{}, rule};
        change(c.fields);
        return c;
    };
    const Case cases[] = {
        // The channel count is broken too, but the format is checked first.
        with("float.wav", "audioformat 3 not supported\n", [](WavFields& w) { w.audioformat = 3, w.numchannels = 3; }),
        with("three.wav", "numchannels 3 not supported\n", [](WavFields& w) { w.numchannels = 3, w.blockalign = 6; }),
        with("half.wav", "samplerate 22050 not supported\n", [](WavFields& w) { w.samplerate = 22050; }),
        with("align.wav", "blockalign 1 not supported\n", [](WavFields& w) { w.blockalign = 1, w.samplebits = 8; }),
        with("eight.wav", "samplebits 8 not supported\n", [](WavFields& w) { w.numchannels = 2, w.samplebits = 8; }),
    };

    for (const Case& k : cases) {
        std::string path = write_file(k.file, wav_bytes(k.fields, sample_bytes({1, 2, 3, 4})));
        EXPECT_EQ(rejected(path), std::string(k.rule) + "sound_load: '" + path + "': sound format error\n");
    }
}

TEST_F(SoundLoad, DataShorterThanClaimedIsRejected)
{
    WavFields shortdata;
    shortdata.claimed_size = 1000;
    std::string path = write_file("short.wav", wav_bytes(shortdata, sample_bytes({1, 2, 3, 4, 5})));
    EXPECT_EQ(rejected(path), "sound_load: '" + path + "': doesn't contain full data\n");

    // A claim of nearly 4 GiB must be refused from the file size, never allocated.
    WavFields huge;
    huge.claimed_size = 0xfffffff0LL;
    path = write_file("huge.wav", wav_bytes(huge, sample_bytes({1, 2})));
    EXPECT_EQ(rejected(path), "sound_load: '" + path + "': doesn't contain full data\n");
}

// The claim must be checked against the file before any allocation: with the address space
// capped well below 4 GiB an allocation attempt would print "allocation failed" instead.
TEST_F(SoundLoadDeathTest, AnAbsurdDataSizeIsNeverAllocated)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer runtimes reserve more address space than the cap leaves";
#endif
    WavFields huge;
    huge.claimed_size = 0xfffffff0LL;
    std::string path = write_file("huge.wav", wav_bytes(huge, sample_bytes({1, 2})));
    EXPECT_EXIT(
        {
            cap_address_space(1ul << 30);
            std::exit(sound_load("x", path.c_str()) == -1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "doesn't contain full data");
}

TEST_F(SoundLoad, MissingFileAndNameRules)
{
    std::string missing = (dir / "nothing.wav").string();
    EXPECT_EQ(rejected(missing), "sound_load: failed to open '" + missing + "'\n");

    std::string path = write_mono("a.wav", {7, 8});
    ASSERT_EQ(sound_load("a", path.c_str()), 0);
    CaptureStderr();
    EXPECT_EQ(sound_load("a", path.c_str()), -1);
    EXPECT_EQ(GetCapturedStderr(), "sound_load: 'a' already loaded\n");
    EXPECT_EQ(sound_bank_count(), 1);

    // A long name is stored cut to 19 characters, so the full name is not found again.
    const char* longname = "abcdefghijklmnopqrstuvwxyz";
    ASSERT_EQ(sound_load(longname, path.c_str()), 0);
    EXPECT_EQ(find_sound(longname), -1);
    EXPECT_EQ(find_sound("abcdefghijklmnopqrs"), 1);
    EXPECT_EQ(find_sound("A"), -1);  // names are case-sensitive

    // Names are unique as stored: any name that cuts to a stored one is already loaded.
    for (const char* same : {"abcdefghijklmnopqrst", "abcdefghijklmnopqrs", longname}) {
        CaptureStderr();
        EXPECT_EQ(sound_load(same, path.c_str()), -1) << same;
        EXPECT_EQ(GetCapturedStderr(), std::string("sound_load: '") + same + "' already loaded\n");
        EXPECT_EQ(sound_bank_count(), 2) << same;
    }
    const char* twenty = "0123456789abcdefghij";
    ASSERT_EQ(sound_load(twenty, path.c_str()), 0);
    CaptureStderr();
    EXPECT_EQ(sound_load(twenty, path.c_str()), -1);
    GetCapturedStderr();
    EXPECT_EQ(sound_bank_count(), 3);
    EXPECT_EQ(find_sound("0123456789abcdefghi"), 2);
}

TEST_F(SoundLoad, MonoBecomesEqualStereoFrames)
{
    std::vector<s16> samples;
    for (int i = 0; i < 500; i++)
        samples.push_back((s16)(i * 131 - 32768));
    std::vector<u8> data = sample_bytes(samples);
    data.push_back(0x55);  // an odd trailing byte is ignored
    std::string path = write_file("mono.wav", wav_bytes(WavFields{}, data));
    ASSERT_EQ(sound_load("mono", path.c_str()), 0);
    const Sound* s = sound_bank_get(find_sound("mono"));
    ASSERT_EQ(s->len, 500);
    for (int i = 0; i < 500; i++) {
        ASSERT_EQ(s->buf[i * 2], samples[i]) << i;
        ASSERT_EQ(s->buf[i * 2 + 1], samples[i]) << i;
    }
}

TEST_F(SoundLoad, StereoKeepsItsInterleavedSamples)
{
    std::vector<s16> samples;
    for (int i = 0; i < 501; i++)  // 1002 bytes: 250 frames and one odd value
        samples.push_back((s16)(i % 2 ? -i : i * 7));
    WavFields stereo;
    stereo.numchannels = 2;
    stereo.blockalign = 4;
    std::string path = write_file("stereo.wav", wav_bytes(stereo, sample_bytes(samples)));
    ASSERT_EQ(sound_load("stereo", path.c_str()), 0);
    const Sound* s = sound_bank_get(find_sound("stereo"));
    ASSERT_EQ(s->len, 250);
    for (int i = 0; i < 500; i++)
        ASSERT_EQ(s->buf[i], samples[i]) << i;
}

TEST_F(SoundLoad, TheBankHoldsAHundredSounds)
{
    std::string path = write_mono("one.wav", {1});
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(sound_load(numbered("s", i).c_str(), path.c_str()), 0);
    CaptureStderr();
    EXPECT_EQ(sound_load("s100", path.c_str()), -1);
    EXPECT_EQ(GetCapturedStderr(), "sound_load: maximum amount of sounds loaded\n");
    EXPECT_EQ(find_sound("s99"), 99);
    EXPECT_EQ(find_sound("s100"), -1);
}

TEST_F(SoundCollections, NamesComeFromTheFileName)
{
    std::string a = write_mono("shoot0.wav", {1});
    std::string b = write_mono("long_file_name_of_a_sound.wav", {2});
    std::string c = write_mono("dotted.name.wav", {3});
    ASSERT_EQ(sound_load_collection("shoot", a.c_str()), 0);
    ASSERT_EQ(sound_load_collection("shoot", b.c_str()), 0);
    ASSERT_EQ(sound_load_collection("shoot", c.c_str()), 0);
    EXPECT_EQ(find_sound("shoot0"), 0);
    EXPECT_EQ(find_sound("long_file_name_of_"), -1);
    EXPECT_EQ(find_sound("long_file_name_of_a"), 1);
    EXPECT_EQ(find_sound("dotted"), 2);

    // A backslash separates folders too, and a path without any is all file name.
    std::string win = (dir / "win\\hit3.wav").string();
    write_mono("win\\hit3.wav", {4});
    ASSERT_EQ(sound_load_collection("hit", win.c_str()), 0);
    EXPECT_EQ(find_sound("hit3"), 3);

    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    EXPECT_EQ(sound_load_collection("hit", "shoot0.wav"), 0);  // "shoot0" is taken: the whole path
    std::filesystem::current_path(old);
    EXPECT_EQ(find_sound("shoot0.wav"), 4);
}

TEST_F(SoundCollections, ASecondFileOfTheSameNameIsStoredUnderItsPath)
{
    std::string first = write_mono("one/okay0.wav", {1});
    std::string second = write_mono("two/okay0.wav", {2});
    ASSERT_GT(second.size(), 19u);
    ASSERT_EQ(sound_load_collection("ok", first.c_str()), 0);
    ASSERT_EQ(sound_load_collection("ok", second.c_str()), 0);
    int i = find_sound(second.substr(second.size() - 19).c_str());
    ASSERT_EQ(i, 1);
    EXPECT_EQ(sound_bank_get(i)->buf[0], 2);

    // The same file once more: its path name is taken as well, so the load fails.
    CaptureStderr();
    EXPECT_EQ(sound_load_collection("ok", second.c_str()), -1);
    EXPECT_NE(GetCapturedStderr().find("already loaded"), std::string::npos);
}

TEST_F(SoundCollections, LimitsOfMembersAndCollections)
{
    std::string path = write_mono("one.wav", {1});
    for (int i = 0; i < 11; i++)
        ASSERT_EQ(sound_load(numbered("m", i).c_str(), path.c_str()), 0);
    for (int i = 0; i < 10; i++)
        ASSERT_EQ(sound_collection_add("big", numbered("m", i).c_str()), 0);
    CaptureStderr();
    EXPECT_EQ(sound_collection_add("big", "m10"), -1);  // the eleventh member
    EXPECT_EQ(sound_collection_add("big", "nosuch"), -1);
    EXPECT_EQ(GetCapturedStderr(), "");

    int big = get_collection("big");
    EXPECT_EQ(big, 0);
    EXPECT_EQ(get_collection("big"), big);
    for (int i = 1; i < 20; i++)
        EXPECT_EQ(get_collection(numbered("c", i).c_str()), i);
    EXPECT_EQ(get_collection("c20"), -1);  // the twenty-first
    EXPECT_EQ(get_collection("c19"), 19);
    CaptureStderr();
    EXPECT_EQ(sound_collection_add("c20", "m0"), -1);
    EXPECT_EQ(sound_play_collection("c20", 1.0f), -1);
    EXPECT_EQ(GetCapturedStderr(), "sound_play_collection: invalid collection 'c20'\n");
}

TEST_F(SoundCollections, EmptyAndUnknownRequestsChangeNothing)
{
    V3f pos = {1, 2, 3};
    for (int round = 0; round < 2; round++) {
        CaptureStderr();
        EXPECT_EQ(sound_play_collection("never", 1.0f), -1);
        EXPECT_EQ(sound_play_collection_pos("never", 0.5f, &pos), -1);
        EXPECT_EQ(sound_play("ghost", 1.0f), -1);
        EXPECT_EQ(GetCapturedStderr(),
                  "sound_play_collection: empty collection 'never'\n"
                  "sound_play_collection_pos: empty collection 'never'\n"
                  "Sound not found: ghost\n");
    }
    PlayingSound voices[8];
    EXPECT_EQ(sound_voices(voices), 0);
}

TEST_F(SoundCollections, PlayingPicksEveryMemberAtRandom)
{
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(sound_load_collection("hit", write_mono("hit" + std::to_string(i) + ".wav", {1}).c_str()), 0);
    sound_set_output([](char*, int) {});
    mysrand(5);
    int seen[3] = {0, 0, 0};
    V3f here = {0, 0, 0};
    for (int round = 0; round < 60; round++) {
        int r = round % 2 ? sound_play_collection("hit", 1.0f) : sound_play_collection_pos("hit", 1.0f, &here);
        ASSERT_EQ(r, 0);
        PlayingSound voices[8];
        int n = sound_voices(voices);
        ASSERT_GE(voices[n - 1].sound, 0);
        ASSERT_LT(voices[n - 1].sound, 3);
        seen[voices[n - 1].sound]++;
        feed_sound();  // each one-frame sound finishes at once
    }
    sound_set_output(nullptr);
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

// A network game's sounds still vary, but never touch the game's generator, so two machines
// with different sound files keep the same world; off again, the generator picks as before.
TEST_F(SoundCollections, OwnChoicesLeaveTheGameGeneratorAlone)
{
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(sound_load_collection("hit", write_mono("hit" + std::to_string(i) + ".wav", {1}).c_str()), 0);
    sound_set_output([](char*, int) {});
    mysrand(5);
    sound_set_own_choices(true);
    int seen[3] = {0, 0, 0};
    for (int round = 0; round < 60; round++) {
        ASSERT_EQ(sound_play_collection("hit", 1.0f), 0);
        PlayingSound voices[8];
        int n = sound_voices(voices);
        seen[voices[n - 1].sound]++;
        feed_sound();
    }
    EXPECT_EQ(myrand_state(), 5u);
    sound_set_own_choices(false);
    ASSERT_EQ(sound_play_collection("hit", 1.0f), 0);
    EXPECT_NE(myrand_state(), 5u);
    sound_set_output(nullptr);
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

}  // namespace

namespace {

using SoundAssets = SoundFilesTest;

// The game's collections as start-up loads them: name, file stem, count.
struct AssetCollection {
    const char* name;
    const char* stem;
    int count;
};

TEST_F(SoundAssets, EveryShippedSoundLoadsAndStaysInBounds)
{
    const AssetCollection table[] = {{"shoot", "shoot", 2},           {"shoot_missile", "shoot_missile", 4},
                                     {"explode_large", "explode_large", 6}, {"explode", "explode", 7},
                                     {"hit", "hit", 8}};
    std::vector<std::string> paths = {"resources/sounds/roger0.wav", "resources/sounds/okay0.wav",
                                      "resources/sounds/okay1.wav"};
    for (const std::string& p : paths)
        ASSERT_EQ(sound_load_collection("ok", p.c_str()), 0) << p;
    for (const AssetCollection& c : table) {
        for (int i = 0; i < c.count; i++) {
            std::string p = std::string("resources/sounds/") + c.stem + std::to_string(i) + ".wav";
            ASSERT_EQ(sound_load_collection(c.name, p.c_str()), 0) << p;
            paths.push_back(p);
        }
    }
    ASSERT_EQ(sound_bank_count(), 30);

    for (int i = 0; i < 30; i++) {
        const Sound* s = sound_bank_get(i);
        EXPECT_GT(s->len, 44100 / 10) << paths[i];
        EXPECT_LE(s->len, 44100 * 2) << paths[i];
        int peak = 0;
        for (int k = 0; k < s->len * 2; k++)
            peak = std::max(peak, std::abs((int)s->buf[k]));
        EXPECT_GT(peak, 32768 / 8) << paths[i];
        EXPECT_LT(peak, 32768 * 6 / 10) << paths[i];  // room for a few voices at once

        // Nothing but the 44-byte header and the samples.
        std::FILE* f = std::fopen(paths[i].c_str(), "rb");
        ASSERT_NE(f, nullptr);
        u8 h[44];
        ASSERT_EQ(std::fread(h, 1, 44, f), 44u);
        std::fseek(f, 0, SEEK_END);
        long size = std::ftell(f);
        std::fclose(f);
        long datasize = (long)h[40] | ((long)h[41] << 8) | ((long)h[42] << 16) | ((long)h[43] << 24);
        EXPECT_EQ(size, 44 + datasize) << paths[i];
        EXPECT_EQ(datasize, (long)s->len * 2 * h[22]) << paths[i];

        for (int j = 0; j < i; j++) {
            const Sound* o = sound_bank_get(j);
            EXPECT_FALSE(o->len == s->len && std::equal(o->buf, o->buf + o->len * 2, s->buf))
                << paths[i] << " repeats " << paths[j];
        }
    }
}

}  // namespace
