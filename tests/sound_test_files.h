// Small WAV files written on the fly for the sound tests, in a fresh folder per test.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sound_internal.h"
#include "types.h"

// The header fields of a WAV file; the defaults make a valid mono file.
struct WavFields {
    u16 audioformat = 1;
    u16 numchannels = 1;
    u32 samplerate = 44100;
    u16 blockalign = 2;
    u16 samplebits = 16;
    u32 fmtsize = 16;         // 18 adds two bytes of extension after the fields
    bool list_chunk = false;  // a "LIST" chunk between "fmt " and "data"
    // Data size written in the header; -1: the real size. 64 bits, so that claims up to 4 GiB
    // fit where long has 32 (the browser build).
    long long claimed_size = -1;
};

inline void put_u16(std::vector<u8>& b, u16 v)
{
    b.push_back((u8)(v & 0xff));
    b.push_back((u8)(v >> 8));
}

inline void put_u32(std::vector<u8>& b, u32 v)
{
    put_u16(b, (u16)(v & 0xffff));
    put_u16(b, (u16)(v >> 16));
}

inline void put_tag(std::vector<u8>& b, const char* tag)
{
    for (int i = 0; i < 4; i++)
        b.push_back((u8)tag[i]);
}

// The bytes of a WAV file holding `data` as its sample bytes.
inline std::vector<u8> wav_bytes(const WavFields& w, const std::vector<u8>& data)
{
    std::vector<u8> b;
    put_tag(b, "RIFF");
    put_u32(b, (u32)(36 + data.size()));
    put_tag(b, "WAVE");
    put_tag(b, "fmt ");
    put_u32(b, w.fmtsize);
    put_u16(b, w.audioformat);
    put_u16(b, w.numchannels);
    put_u32(b, w.samplerate);
    put_u32(b, w.samplerate * w.blockalign);
    put_u16(b, w.blockalign);
    put_u16(b, w.samplebits);
    if (w.fmtsize == 18)
        put_u16(b, 0);
    if (w.list_chunk) {
        put_tag(b, "LIST");
        put_u32(b, 4);
        put_tag(b, "INFO");
    }
    put_tag(b, "data");
    put_u32(b, w.claimed_size < 0 ? (u32)data.size() : (u32)w.claimed_size);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// Little-endian bytes of the given 16-bit samples.
inline std::vector<u8> sample_bytes(const std::vector<s16>& samples)
{
    std::vector<u8> b;
    for (s16 s : samples)
        put_u16(b, (u16)s);
    return b;
}

// A fixture with an empty sound bank and a scratch folder for WAV files.
class SoundFilesTest : public ::testing::Test {
protected:
    std::filesystem::path dir;

    void SetUp() override
    {
        sound_reset();
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("quorvale_sound_" + std::string(info->test_suite_name()) + "_" + info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }

    void TearDown() override
    {
        sound_reset();
        std::filesystem::remove_all(dir);
    }

    // Writes `bytes` to `name` in the scratch folder (creating sub-folders); the full path.
    std::string write_file(const std::string& name, const std::vector<u8>& bytes)
    {
        std::filesystem::path p = dir / name;
        std::filesystem::create_directories(p.parent_path());
        std::FILE* f = std::fopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            if (!bytes.empty())
                std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return p.string();
    }

    // A valid mono file of the given samples.
    std::string write_mono(const std::string& name, const std::vector<s16>& samples)
    {
        return write_file(name, wav_bytes(WavFields{}, sample_bytes(samples)));
    }
};
