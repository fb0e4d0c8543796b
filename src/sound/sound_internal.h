// What the bank and the mixer share inside the sound module, and the seams its tests and
// benchmark use. Not for the rest of the game.
#pragma once

#include "sound.h"

constexpr int SOUNDS_MAX = 100;            // sounds in the bank
constexpr int COLLECTIONS_MAX = 20;        // named collections
constexpr int COLLECTION_SOUNDS_MAX = 10;  // sounds per collection
constexpr int SOUND_NAME_MAX = 19;         // characters of a sound or collection name
constexpr int VOICES_MAX = 8;              // voices mixed at once
constexpr int MIX_FRAMES = 1024;           // frames mixed per buffer
constexpr int MIX_BUFFER_BYTES = MIX_FRAMES * 4;

// Appends an entry named `name` (cut to 19 characters) with the given samples, which the bank
// takes over. The new index, or -1 when the bank is full.
int sound_bank_append(const char* name, s16* buf, int len);
// Number of sounds in the bank.
int sound_bank_count();
// The bank's slot `index` (0..99), or null outside the table. Safe on the mixer thread for an
// index a voice holds.
const Sound* sound_bank_get(int index);
// Frees every sample buffer and empties the bank and the collections.
void sound_bank_clear();

// Mixes the next 1024 frames of every voice and hands them to the output.
void feed_sound();
// True when the ring block feed_sound() fills next is free, so that the call cannot wait.
bool mixer_output_free();
// Where feed_sound sends its buffers; null restores the audio ring. Only while the mixer
// thread is stopped.
void sound_set_output(void (*output)(char* buf, int bufsize));
// Copies up to 8 voices into `out`; the number of voices in the table.
int sound_voices(PlayingSound* out);

// Frees every sample buffer and empties the bank, the collections and the voice table, so
// that a test starts from nothing. Only while the mixer thread is stopped.
void sound_reset();
