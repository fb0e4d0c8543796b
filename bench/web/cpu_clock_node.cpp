#include "cpu_clock.h"

#include <emscripten.h>

// User and system time of the node process in microseconds. After the untimed first run its
// other threads (the optimising compiler, the collector) are idle, so this is the program's.
EM_JS(double, node_cpu_microseconds, (), {
    const usage = process.cpuUsage();
    return usage.user + usage.system;
});

double cpu_milliseconds()
{
    return node_cpu_microseconds() / 1000.0;
}
