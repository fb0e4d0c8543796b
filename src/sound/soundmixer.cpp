// The mixer: the voice table, the mixing and the block ring it fills. What keeps it running
// is the platform's (soundthread.h).
#include "sound.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "audioout.h"
#include "random.h"
#include "sound_internal.h"
#include "soundthread.h"

namespace {

// Guards sounds_playing and sounds_playing_count: the game thread appends and compacts,
// the mixer advances positions and marks voices finished.
std::mutex voices_mutex;
PlayingSound sounds_playing[VOICES_MAX];
int sounds_playing_count = 0;
int next_sound_id = 0;  // game thread only

V3f listener_position = {0, 0, 0};  // view coordinates; game thread only

// The ring position of the mixer (and of sound_init before the mixer starts).
int wmm_filling_block = 0;    // block being filled, 0..3
int wmm_filling_block_i = 0;  // bytes already in it, 0..4096

bool mixer_started = false;  // game thread only

void (*sound_output)(char* buf, int bufsize) = nullptr;  // null: the audio ring

// Takes voice `i` out of the table, moving the later ones down a place.
void remove_playing_sound(int i)
{
    std::memmove(&sounds_playing[i], &sounds_playing[i + 1],
                 sizeof(PlayingSound) * (size_t)(sounds_playing_count - 1 - i));
    sounds_playing_count--;
}

// Drops finished voices, keeping the order of the others. The last entry is never looked
// at, so a finished voice there waits for a later request.
void clear_finished_sounds()
{
    int i = 0;
    while (i < sounds_playing_count - 1) {
        if (sounds_playing[i].sound == -1)
            remove_playing_sound(i);
        else
            i++;
    }
}

// Copies `buf` into the ring, queueing each block as it fills. Waits for a free block as the
// platform's mixer waits; a stop request during the wait drops the rest of the buffer.
void driver_play(char* buf, int bufsize)
{
    int offset = 0;
    while (offset < bufsize) {
        while (!driver_block_done(wmm_filling_block)) {
            if (!mixer_wait_for_output())
                return;
        }
        int n = WMM_BLOCK_BYTES - wmm_filling_block_i;
        if (n > bufsize - offset)
            n = bufsize - offset;
        std::memcpy(driver_block_buf(wmm_filling_block) + wmm_filling_block_i, buf + offset, (size_t)n);
        offset += n;
        wmm_filling_block_i += n;
        if (wmm_filling_block_i == WMM_BLOCK_BYTES) {
            driver_write(wmm_filling_block);
            wmm_filling_block = (wmm_filling_block + 1) % WMM_BLOCKS;
            wmm_filling_block_i = 0;
        }
    }
}

int clip_s16(int v)
{
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : v);
}

}  // namespace

void feed_sound()
{
    char buffer[MIX_BUFFER_BYTES];
    {
        std::lock_guard<std::mutex> lock(voices_mutex);
        int n = sounds_playing_count;
        const Sound* source[VOICES_MAX];
        for (int j = 0; j < n; j++)
            source[j] = sounds_playing[j].sound == -1 ? nullptr : sound_bank_get(sounds_playing[j].sound);

        for (int f = 0; f < MIX_FRAMES; f++) {
            int left = 0, right = 0;
            for (int j = 0; j < n; j++) {
                PlayingSound* v = &sounds_playing[j];
                if (v->sound == -1)
                    continue;
                const Sound* s = source[j];
                // An empty sound has no frame to mix at all.
                if (v->pos >= s->len) {
                    v->sound = -1;
                    continue;
                }
                const s16* frame = s->buf + (size_t)v->pos * 2;
                left += (int)(frame[0] * v->volume);
                right += (int)(frame[1] * v->volume);
                v->pos++;
                if (v->pos == s->len)
                    v->sound = -1;
            }
            left = clip_s16(left);
            right = clip_s16(right);
            char* out = buffer + f * 4;
            out[0] = (char)(left & 0xff);
            out[1] = (char)((left >> 8) & 0xff);
            out[2] = (char)(right & 0xff);
            out[3] = (char)((right >> 8) & 0xff);
        }
    }
    if (sound_output)
        sound_output(buffer, MIX_BUFFER_BYTES);
    else
        driver_play(buffer, MIX_BUFFER_BYTES);
}

bool mixer_output_free()
{
    return driver_block_done(wmm_filling_block);
}

void generate_noise(Sound* sound, float length)
{
    int frames = (int)(length * 44100);
    if (frames < 0)
        frames = 0;
    s16* buf = (s16*)std::malloc((size_t)(frames > 0 ? frames : 1) * 4);
    if (!buf)
        return;
    for (int i = 0; i < frames; i++) {
        // The generator gives 0..32767, so every sample ends up in -32768..-1.
        int r = myrand();
        s16 v = (s16)(r % 65536 - 32768);
        buf[i * 2] = v;
        buf[i * 2 + 1] = v;
    }
    sound->buf = buf;
    sound->len = frames;
}

int sound_init()
{
    if (mixer_started)
        return 0;
    if (driver_init() != 0)
        return -1;
    wmm_filling_block = 0;
    wmm_filling_block_i = 0;

    if (find_sound("noise") == -1) {
        Sound noise = {};
        generate_noise(&noise, 0.5f);
        if (noise.buf && sound_bank_append("noise", noise.buf, noise.len) == -1)
            std::free(noise.buf);
    }

    if (!mixer_start()) {
        std::fprintf(stderr, "Error creating sound thread\n");
        return -1;
    }
    mixer_started = true;
    return 0;
}

void sound_deinit()
{
    if (mixer_started) {
        mixer_stop();
        mixer_started = false;
    }
    driver_deinit();
}

void sound_set_listener_position(V3f* pos)
{
    listener_position = *pos;
}

int sound_play_num(int sound, float volume)
{
    if (sound < 0 || sound >= sound_bank_count())
        return -1;
    std::lock_guard<std::mutex> lock(voices_mutex);
    clear_finished_sounds();
    if (sounds_playing_count >= VOICES_MAX)
        return -1;
    PlayingSound* v = &sounds_playing[sounds_playing_count++];
    v->id = next_sound_id++;
    v->sound = sound;
    v->pos = 0;
    v->volume = volume;
    return 0;
}

int sound_play_num_pos(int sound, float volume, V3f* pos)
{
    float dx = pos->x - listener_position.x;
    float dy = pos->y - listener_position.y;
    float dz = pos->z - listener_position.z;
    float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    float attenuation = (float)std::pow(0.97, (double)d);
    return sound_play_num(sound, volume * attenuation);
}

void sound_set_output(void (*output)(char* buf, int bufsize))
{
    sound_output = output;
}

int sound_voices(PlayingSound* out)
{
    std::lock_guard<std::mutex> lock(voices_mutex);
    std::memcpy(out, sounds_playing, sizeof(PlayingSound) * (size_t)sounds_playing_count);
    return sounds_playing_count;
}

void sound_reset()
{
    {
        std::lock_guard<std::mutex> lock(voices_mutex);
        sounds_playing_count = 0;
    }
    sound_bank_clear();
}
