#include "cpu_clock.h"

#include "../../tests/thread_clock.h"

double cpu_milliseconds()
{
    return thread_cpu_seconds() * 1000.0;
}
