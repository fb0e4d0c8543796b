// Processor time of the calling thread: unlike the wall clock it leaves out the time other
// programs take on a busy machine, so benchmarks and the soak test's frame costs stay comparable.
#pragma once

#include <ctime>

inline double thread_cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}
