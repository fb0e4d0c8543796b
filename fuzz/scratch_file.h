// The loaders read files by path, so every fuzz input goes through one scratch file per
// process (the extension picks the decoder). It lives in $TMPDIR, else in /dev/shm, else in
// /tmp: rewriting a file on a disk file system (ext4 flushes a truncated file when it is
// closed) made every input wait on the disk, a hundred times slower than in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

// The scratch path for this process with the given extension ("png", "bmp", "wav").
inline const std::string& scratch_path(const char* ext)
{
    static const std::string path = [ext] {
        const char* dir = std::getenv("TMPDIR");
        if (!dir || !*dir)
            dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/quorvale-fuzz-" +
               std::to_string(getpid()) + "." + ext;
    }();
    return path;
}

// Replaces the scratch file's contents with the input; stops the run if it cannot, since
// every later input would then test a stale file.
inline const char* write_scratch(const char* ext, const uint8_t* data, size_t size)
{
    const std::string& path = scratch_path(ext);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path.c_str();
}

// Removes the scratch file after an input. libFuzzer ends its runs without the exit handlers,
// so nothing later would; a failing input is saved by libFuzzer itself.
inline void remove_scratch(const char* ext)
{
    unlink(scratch_path(ext).c_str());
}

// Reads a little-endian field of the input, for checking results against what the file claims.
inline uint32_t input_u32_le(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline uint32_t input_u32_be(const uint8_t* p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}
