// For death tests that prove a loader never allocates what a file merely claims: the child
// process caps its address space a little above what it already uses, so an allocation of a
// claimed gigabytes fails loudly instead of quietly succeeding on a large machine.
#pragma once

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

// Caps this process's address space at its current size plus `headroom` bytes; exits with
// status 2 when its size cannot be read.
inline void cap_address_space(unsigned long headroom)
{
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1)
        std::exit(2);
    std::fclose(statm);
    rlimit cap;
    cap.rlim_cur = cap.rlim_max = (rlim_t)pages * 4096 + headroom;
    setrlimit(RLIMIT_AS, &cap);
}
