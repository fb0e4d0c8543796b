// The audio output under the mixer: a ring of four 4096-byte blocks carried to the platform's
// output (SDL's audio device, or Web Audio in the browser). The mixer fills a free block and
// queues it; the output plays the queued blocks in ring order and frees each one once it has
// consumed all of it (audioring.h). With nothing queued it plays silence.
#pragma once

#include <atomic>

constexpr int WMM_BLOCKS = 4;          // blocks in the ring
constexpr int WMM_BLOCK_BYTES = 4096;  // 1024 frames of 16-bit stereo

// The state the output shares with the mixer for one block.
struct WmmBlockHeader {
    std::atomic<bool> done;  // the block is free for the mixer; false while queued or playing
    int consumed;            // bytes of a queued block already played; audio callback only
};

// One block of the ring.
struct WmmBlock {
    char buf[WMM_BLOCK_BYTES];  // little-endian 16-bit samples, left then right
    WmmBlockHeader wh;
};

// Opens the audio subsystem and the device (44100 Hz, signed 16-bit, stereo) and frees every
// block. 0, or -1 after printing the failing call and SDL's error text.
int driver_init();
// Whether block `i` is free for filling.
bool driver_block_done(int i);
// The sample bytes of block `i`; write only while it is free.
char* driver_block_buf(int i);
// Queues the full block `i` for playing.
void driver_write(int i);
// Closes the device and the audio subsystem if they are still open; safe after a failed or
// skipped driver_init and after SDL_Quit.
void driver_deinit();
// Prints "<funcname> error: <SDL's error text>" on stderr.
void driver_print_error(const char* funcname);
