// FNV-1a, 32 bits: a quick hash for in-memory table keys and change marks, never for anything
// stored or sent (a world's hash for the record is worldhash's).
#pragma once

#include <cstddef>

#include "types.h"

constexpr u32 FNV1A_BASIS = 2166136261u;

// h extended by the n bytes at data; start from FNV1A_BASIS.
inline u32 fnv1a(u32 h, const void* data, size_t n)
{
    const u8* p = (const u8*)data;
    for (size_t i = 0; i < n; i++)
        h = (h ^ p[i]) * 16777619u;
    return h;
}
