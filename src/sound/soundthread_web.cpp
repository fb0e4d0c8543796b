// The browser's mixer: a page from a plain static server has no threads, so the audio output
// asks the mixer to fill every free block of the ring just before it takes the next frames
// (audioout_web.cpp). The sound is thus made when the output needs it, however long the page's
// animation frames are held. feed_sound() fills exactly one block, so it is only called while
// one is free and never waits.
#include "soundthread.h"

#include <emscripten.h>

#include "audioout.h"
#include "sound_internal.h"

namespace {

bool running = false;  // mixer_start() until mixer_stop()

}  // namespace

// Fills each free block of the ring while the mixer runs. Called by the audio output's handler.
extern "C" EMSCRIPTEN_KEEPALIVE void quorvale_mixer_refill()
{
    if (!running)
        return;
    for (int i = 0; i < WMM_BLOCKS && mixer_output_free(); i++)
        feed_sound();
}

bool mixer_start()
{
    running = true;
    // The ring starts full, so that the first frames the output takes are the game's.
    quorvale_mixer_refill();
    return true;
}

void mixer_stop()
{
    // The output's handler runs between the page's tasks, never during this call.
    running = false;
}

bool mixer_wait_for_output()
{
    return false;
}
