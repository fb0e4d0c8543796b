// The browser's audio output: the same ring of four blocks, played through Web Audio. A script
// processor asks for 1024 frames at a time; before each fill the mixer fills every free block
// (soundthread_web.cpp), so the sound never waits for the page's animation frames; the fill
// takes queued blocks in ring order exactly as SDL's audio callback does on the desktop, and
// frees a block once all of it is played. The context is asked for 44100 Hz; a browser that
// makes it at another rate gets the ring resampled to its rate, so pitch and length stay right.
// Browsers keep an audio context suspended until the player clicks or presses a key; until
// then nothing is played, no block is freed and the game runs silently.
#include "audioout.h"

#include <algorithm>
#include <cstdio>

#include <emscripten.h>

#include "audioresample.h"
#include "audioring.h"

namespace {

constexpr int FILL_FRAMES = WMM_BLOCK_BYTES / 4;  // frames the script processor asks for at once
constexpr int MIX_RATE = 44100;                   // frames a second the mixer makes

char fill_buffer[FILL_FRAMES * 4];      // 16-bit stereo handed to the script processor
bool device_open = false;
bool resampling = false;                // the context's rate is not the mixer's
AudioResampler resampler;

}  // namespace

// Fills `frames` (at most FILL_FRAMES) frames of fill_buffer from the ring, silence when no
// block is queued. Called by the script processor's handler.
extern "C" EMSCRIPTEN_KEEPALIVE char* quorvale_audio_fill(int frames)
{
    frames = std::min(frames, FILL_FRAMES);
    if (resampling)
        resampler_run(&resampler, reinterpret_cast<s16*>(fill_buffer), frames, audioring_play);
    else
        audioring_play(fill_buffer, frames * 4);
    return fill_buffer;
}

namespace {

// Opens an audio context with a script processor that plays the ring; the page resumes the
// context on the first click or key press. Module.quorvaleAudio holds the context and the
// count of sample frames with sound in them handed to it. The context's sample rate, or 0 when
// the browser has no Web Audio.
EM_JS(int, web_audio_open, (int frames), {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context)
        return 0;
    var context;
    try {
        context = new Context({sampleRate: 44100});
    } catch (e) {
        context = new Context();
    }
    var audio = {context: context, frames: 0, node: context.createScriptProcessor(frames, 0, 2)};
    audio.node.onaudioprocess = function(event) {
        var out = event.outputBuffer;
        var n = out.length;
        var left = out.getChannelData(0), right = out.getChannelData(1);
        _quorvale_mixer_refill();
        var at = _quorvale_audio_fill(n) >> 1;
        var sounding = 0;
        for (var i = 0; i < n; i++) {
            var l = HEAP16[at + 2 * i], r = HEAP16[at + 2 * i + 1];
            left[i] = l / 32768;
            right[i] = r / 32768;
            if (l !== 0 || r !== 0)
                sounding++;
        }
        audio.frames += sounding;
    };
    audio.node.connect(context.destination);
    Module.quorvaleAudio = audio;
    if (Module.onAudioOpen)
        Module.onAudioOpen(audio);
    return context.sampleRate | 0;
});

EM_JS(void, web_audio_close, (), {
    var audio = Module.quorvaleAudio;
    if (!audio)
        return;
    audio.node.onaudioprocess = null;
    audio.node.disconnect();
    audio.context.close();
});

}  // namespace

int driver_init()
{
    audioring_reset();
    // Without Web Audio the game runs silently rather than not at all: the mixer fills the
    // ring once and waits for an output that never frees a block.
    int rate = web_audio_open(FILL_FRAMES);
    device_open = rate != 0;
    resampling = false;
    if (!device_open) {
        std::fprintf(stderr, "Web Audio is not available: the game runs without sound\n");
        return 0;
    }
    if (rate != MIX_RATE) {
        resampling = resampler_init(&resampler, MIX_RATE, rate);
        std::printf("Audio output at %d Hz: the sound is resampled from %d Hz\n", rate, MIX_RATE);
    }
    return 0;
}

void driver_deinit()
{
    if (device_open)
        web_audio_close();
    device_open = false;
}

void driver_print_error(const char* funcname)
{
    std::fprintf(stderr, "%s error: Web Audio\n", funcname);
}
