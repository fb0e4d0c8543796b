// The game's sounds: a bank of loaded sounds held as 16-bit stereo at 44100 frames per
// second, named collections of interchangeable sounds, and play requests that start a voice
// in the software mixer, which runs on its own output thread (in the browser, which has no
// threads, once every animation frame).
//
// Everything here is called from the game thread. The mixer thread only reads the sample
// buffers of the bank (complete before any voice refers to them) and the voice table.
#pragma once

#include "types.h"

// One loaded sound.
struct Sound {
    char name[20];  // NUL-terminated, at most 19 characters, unique in the bank
    s16* buf;       // interleaved left, right samples; owned by the bank, kept for the whole run
    int len;        // number of frames (one left and one right sample each)
};

// A named set of sounds, one of which is picked at random when the collection is played.
struct SoundCollection {
    char name[20];   // NUL-terminated, at most 19 characters
    int sounds[10];  // indices into the bank
    int num_sounds;  // valid entries in `sounds`, 0..10
};

// One voice of the mixer.
struct PlayingSound {
    int id;        // serial number given when the voice starts
    int sound;     // bank index; -1 once the mixer has mixed its last frame
    int pos;       // next frame of the sound to mix
    float volume;  // linear gain applied to every sample
};

// Loads a WAV file (RIFF, PCM, 16 bits, 44100 Hz, one or two channels, the plain 44-byte
// header) into the bank under `name`, cut to 19 characters; a name whose cut form is already in
// the bank is refused. 0, or -1 with a message on stderr.
int sound_load(const char* name, const char* path);
// The index of the first sound in the bank named exactly `name`, or -1.
int find_sound(const char* name);
// The index of the collection named `name`, created empty when missing; -1 when it is missing
// and all 20 collections exist.
int get_collection(const char* name);
// The number of sounds the collection `name` holds; 0 when there is no such collection.
int sound_collection_size(const char* name);
// Adds a silent sound to the collection (created if needed), for a game played unheard that
// must still draw for its sounds as a heard one does. 0, or -1 as sound_collection_add.
int sound_add_silent(const char* collection_name);
// Adds the bank's sound `name` to the collection (created if needed); -1 without a message if
// the collection cannot be had, the sound is unknown or the collection already holds 10.
int sound_collection_add(const char* collection_name, const char* name);
// Loads `path` under a name taken from its file name (or from the path when that name is
// taken) and adds it to the collection. The result of the add, or -1 if loading failed.
int sound_load_collection(const char* collection_name, const char* path);

// Plays the named sound at `volume` (1.0 leaves it unchanged). 0, or -1 when it is not in the
// bank ("Sound not found") or all voices are busy.
int sound_play(const char* name, float volume);
// Plays a random member of the collection without position. 0, or -1 (message when the
// collection is empty or cannot be had; none when all voices are busy).
int sound_play_collection(const char* collection_name, float volume);
// The same at a world position, attenuated by the distance from the listener.
int sound_play_collection_pos(const char* collection_name, float volume, V3f* pos);
// Off (the default) a collection's member is drawn from the game's generator, as every local
// game and its replays have it. On, from a generator of the sound module's own: a network
// game's world must not depend on which sound files each machine could load.
void sound_set_own_choices(bool own);

// Opens the audio output, adds the synthetic "noise" sound to the bank and starts the mixer
// thread. 0, or -1 with a message on stderr.
int sound_init();
// Stops and joins the mixer thread and closes the output. Safe after a failed or skipped
// sound_init and after SDL_Quit.
void sound_deinit();
// Moves the listener that positional sounds are measured from (view coordinates).
void sound_set_listener_position(V3f* pos);
// Starts a voice for bank index `sound`. 0, or -1 when all 8 voices are busy or the index is
// not a sound of the bank.
int sound_play_num(int sound, float volume);
// The same with `volume` scaled by 0.97 to the power of the distance from the listener.
int sound_play_num_pos(int sound, float volume, V3f* pos);
// Fills `sound` with `length` seconds of synthetic noise; leaves it untouched when the
// samples cannot be allocated.
void generate_noise(Sound* sound, float length);
