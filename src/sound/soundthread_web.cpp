// The browser's mixer: a page from a plain static server has no threads, so once every
// animation frame the mixer fills each free block of the output ring. feed_sound() fills exactly
// one block, so it is only called while one is free and never waits.
#include "soundthread.h"

#include <emscripten/html5.h>

#include "audioout.h"
#include "sound_internal.h"

namespace {

bool running = false;      // mixer_start() until mixer_stop()
bool loop_active = false;  // an animation-frame loop is registered

EM_BOOL mix_free_blocks(double, void*)
{
    if (!running) {
        loop_active = false;
        return EM_FALSE;
    }
    for (int i = 0; i < WMM_BLOCKS && mixer_output_free(); i++)
        feed_sound();
    return EM_TRUE;
}

}  // namespace

bool mixer_start()
{
    running = true;
    if (!loop_active) {
        loop_active = true;
        emscripten_request_animation_frame_loop(mix_free_blocks, nullptr);
    }
    return true;
}

void mixer_stop()
{
    // The loop ends at its next frame; no feed_sound() runs between frames.
    running = false;
}

bool mixer_wait_for_output()
{
    return false;
}
