// The always-on consistency check: unlike assert it survives Release builds,
// because a broken invariant in the game must stop it rather than corrupt the world.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void check_failed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

// Stops the program, naming the failed condition, when `cond` is false.
#define CHECK(cond) ((cond) ? (void)0 : check_failed(#cond, __FILE__, __LINE__))
