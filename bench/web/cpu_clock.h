// The timing program's clock: processor time, which leaves out what other programs take on a
// busy machine. One file per build provides it: the thread's own time natively, node's time
// for the process in the WebAssembly build, where every C library clock reads the wall clock.
#pragma once

// Milliseconds of processor time since some fixed start.
double cpu_milliseconds();
