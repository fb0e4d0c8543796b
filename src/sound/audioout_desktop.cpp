#include "audioout.h"

#include <cstdio>
#include <cstring>

#include <SDL/SDL.h>

#include "audioring.h"

namespace {

bool audio_started = false;  // we initialised SDL's audio subsystem
bool device_open = false;    // SDL_OpenAudio succeeded and the device is not yet closed

// SDL's audio thread: plays the queued blocks in ring order, silence when none is queued.
void audio_callback(void*, Uint8* stream, int len)
{
    audioring_play(reinterpret_cast<char*>(stream), len);
}

}  // namespace

int driver_init()
{
    // Every block starts out free; the callback cannot run before the device is opened.
    audioring_reset();

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        driver_print_error("SDL_InitSubSystem");
        return -1;
    }
    audio_started = true;

    SDL_AudioSpec want;
    std::memset(&want, 0, sizeof(want));
    want.freq = 44100;
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = WMM_BLOCK_BYTES / 4;
    want.callback = audio_callback;
    // Passing no "obtained" format makes SDL convert to whatever the device really takes.
    if (SDL_OpenAudio(&want, nullptr) < 0) {
        driver_print_error("SDL_OpenAudio");
        return -1;
    }
    device_open = true;
    SDL_PauseAudio(0);
    return 0;
}

void driver_deinit()
{
    // SDL_Quit may already have shut audio down together with everything else; closing
    // again then would touch a device that no longer exists.
    bool audio_up = SDL_WasInit(SDL_INIT_AUDIO) != 0;
    if (device_open && audio_up)
        SDL_CloseAudio();
    device_open = false;
    if (audio_started && audio_up)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio_started = false;
}

void driver_print_error(const char* funcname)
{
    std::fprintf(stderr, "%s error: %s\n", funcname, SDL_GetError());
}
