// The browser's audio output: the same ring of four blocks, played through Web Audio at
// 44100 Hz. A script processor asks for 1024 frames at a time; the fill below takes queued
// blocks in ring order exactly as SDL's audio callback does on the desktop, and frees a block
// once all of it is played. Browsers keep an audio context suspended until the player clicks or
// presses a key; until then nothing is played, no block is freed and the game runs silently.
#include "audioout.h"

#include <algorithm>
#include <cstdio>

#include <emscripten.h>

#include "audioring.h"

namespace {

constexpr int FILL_FRAMES = WMM_BLOCK_BYTES / 4;  // frames the script processor asks for at once

char fill_buffer[FILL_FRAMES * 4];      // 16-bit stereo handed to the script processor
bool device_open = false;

}  // namespace

// Fills `frames` (at most FILL_FRAMES) frames of fill_buffer from the ring, silence when no
// block is queued. Called by the script processor's handler.
extern "C" EMSCRIPTEN_KEEPALIVE char* quorvale_audio_fill(int frames)
{
    audioring_play(fill_buffer, std::min(frames, FILL_FRAMES) * 4);
    return fill_buffer;
}

namespace {

// Opens an audio context with a script processor that plays the ring; the page resumes the
// context on the first click or key press. Module.quorvaleAudio holds the context and the
// count of sample frames with sound in them handed to it. 0 when the browser has no Web Audio.
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
    return 1;
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
    device_open = web_audio_open(FILL_FRAMES) != 0;
    if (!device_open)
        std::fprintf(stderr, "Web Audio is not available: the game runs without sound\n");
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
