#include "sound.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "random.h"
#include "sound_internal.h"

namespace {

Sound sounds[SOUNDS_MAX];
int sounds_count = 0;
SoundCollection collections[COLLECTIONS_MAX];
int num_collections = 0;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct MemFree {
    void operator()(void* p) const { std::free(p); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
using Raw = std::unique_ptr<u8, MemFree>;

u16 read_u16_little(const u8* p)
{
    return (u16)(p[0] | (p[1] << 8));
}

s16 read_s16_little(const u8* p)
{
    return (s16)read_u16_little(p);
}

u32 read_u32_little(const u8* p)
{
    return (u32)p[0] | ((u32)p[1] << 8) | ((u32)p[2] << 16) | ((u32)p[3] << 24);
}

// The fields of the fixed header, read in file order.
struct WavHeader {
    u16 audioformat;
    u16 numchannels;
    u32 samplerate;
    u16 blockalign;
    u16 samplebits;
    u32 datasize;
};

// Reads the 44-byte header; false on a short read, a wrong magic or a format chunk that is
// not exactly 16 bytes (which is how a file with any other chunk layout shows itself).
bool read_wav_header(std::FILE* f, WavHeader* h)
{
    u8 b[4];
    auto get = [&](size_t n) { return std::fread(b, 1, n, f) == n; };
    auto magic = [&](const char* m) { return get(4) && std::memcmp(b, m, 4) == 0; };
    if (!magic("RIFF") || !get(4) || !magic("WAVE") || !magic("fmt "))
        return false;
    if (!get(4) || read_u32_little(b) != 16)
        return false;
    if (!get(2))
        return false;
    h->audioformat = read_u16_little(b);
    if (!get(2))
        return false;
    h->numchannels = read_u16_little(b);
    if (!get(4))
        return false;
    h->samplerate = read_u32_little(b);
    if (!get(4))  // byte rate, derived from the others and not needed
        return false;
    if (!get(2))
        return false;
    h->blockalign = read_u16_little(b);
    if (!get(2))
        return false;
    h->samplebits = read_u16_little(b);
    if (!magic("data") || !get(4))
        return false;
    h->datasize = read_u32_little(b);
    return true;
}

// Prints the rule the first unsupported value breaks; false if there is one.
bool check_wav_format(const WavHeader* h)
{
    if (h->audioformat != 1) {
        std::fprintf(stderr, "audioformat %i not supported\n", h->audioformat);
        return false;
    }
    if (h->numchannels != 1 && h->numchannels != 2) {
        std::fprintf(stderr, "numchannels %i not supported\n", h->numchannels);
        return false;
    }
    if (h->samplerate != 44100) {
        std::fprintf(stderr, "samplerate %i not supported\n", (int)h->samplerate);
        return false;
    }
    if (h->blockalign != 2 && h->blockalign != 4) {
        std::fprintf(stderr, "blockalign %i not supported\n", h->blockalign);
        return false;
    }
    if (h->samplebits != 16) {
        std::fprintf(stderr, "samplebits %i not supported\n", h->samplebits);
        return false;
    }
    return true;
}

// Bytes left in `f` after the current position, or -1 if the file cannot be measured.
long bytes_remaining(std::FILE* f)
{
    long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0)
        return -1;
    long end = std::ftell(f);
    if (end < 0 || std::fseek(f, here, SEEK_SET) != 0)
        return -1;
    return end - here;
}

// Turns raw little-endian data into interleaved stereo frames; null when out of memory.
s16* convert_samples(const u8* raw, u32 datasize, int numchannels, int* len)
{
    size_t values = datasize / 2;
    // One sample more than needed keeps the request non-zero for an empty sound.
    size_t out_values = (numchannels == 1 ? values * 2 : values) + 1;
    s16* buf = (s16*)std::malloc(out_values * sizeof(s16));
    if (!buf)
        return nullptr;
    if (numchannels == 1) {
        for (size_t i = 0; i < values; i++)
            buf[i * 2] = buf[i * 2 + 1] = read_s16_little(raw + i * 2);
        *len = (int)values;
    } else {
        for (size_t i = 0; i < values; i++)
            buf[i] = read_s16_little(raw + i * 2);
        *len = (int)(values / 2);
    }
    return buf;
}

// Copies `src` into a 20-byte name field, cut to 19 characters.
void copy_name(char* dst, const char* src)
{
    std::snprintf(dst, SOUND_NAME_MAX + 1, "%s", src);
}

}  // namespace

int sound_bank_append(const char* name, s16* buf, int len)
{
    if (sounds_count >= SOUNDS_MAX)
        return -1;
    Sound* s = &sounds[sounds_count];
    copy_name(s->name, name);
    s->buf = buf;
    s->len = len;
    return sounds_count++;
}

int sound_bank_count()
{
    return sounds_count;
}

const Sound* sound_bank_get(int index)
{
    // The mixer calls this while the game thread may be appending, so the count (which
    // the game thread writes) is not consulted; voices only ever name complete entries.
    if (index < 0 || index >= SOUNDS_MAX)
        return nullptr;
    return &sounds[index];
}

int find_sound(const char* name)
{
    for (int i = 0; i < sounds_count; i++) {
        if (std::strcmp(sounds[i].name, name) == 0)
            return i;
    }
    return -1;
}

int sound_load(const char* name, const char* path)
{
    if (sounds_count >= SOUNDS_MAX) {
        std::fprintf(stderr, "sound_load: maximum amount of sounds loaded\n");
        return -1;
    }
    // Names are kept cut to 19 characters, so that is the form that must be unique: a long
    // name loaded twice would otherwise give two entries of the same stored name.
    char stored[SOUND_NAME_MAX + 1];
    copy_name(stored, name);
    if (find_sound(stored) != -1) {
        std::fprintf(stderr, "sound_load: '%s' already loaded\n", name);
        return -1;
    }
    File f(std::fopen(path, "rb"));
    if (!f) {
        std::fprintf(stderr, "sound_load: failed to open '%s'\n", path);
        return -1;
    }
    WavHeader h;
    if (!read_wav_header(f.get(), &h)) {
        std::fprintf(stderr, "sound_load: '%s': file format error\n", path);
        return -1;
    }
    if (!check_wav_format(&h)) {
        std::fprintf(stderr, "sound_load: '%s': sound format error\n", path);
        return -1;
    }
    // A header may claim up to 4 GiB; believe it only as far as the file goes.
    long remaining = bytes_remaining(f.get());
    if (remaining < 0 || (unsigned long)remaining < h.datasize) {
        std::fprintf(stderr, "sound_load: '%s': doesn't contain full data\n", path);
        return -1;
    }
    Raw raw((u8*)std::malloc(h.datasize > 0 ? h.datasize : 1));
    if (!raw) {
        std::fprintf(stderr, "sound_load: '%s': allocation failed\n", path);
        return -1;
    }
    if (std::fread(raw.get(), 1, h.datasize, f.get()) != h.datasize) {
        std::fprintf(stderr, "sound_load: '%s': doesn't contain full data\n", path);
        return -1;
    }
    int len = 0;
    s16* buf = convert_samples(raw.get(), h.datasize, h.numchannels, &len);
    if (!buf) {
        std::fprintf(stderr, "sound_load: '%s': allocation failed\n", path);
        return -1;
    }
    sound_bank_append(name, buf, len);
    return 0;
}

int get_collection(const char* name)
{
    for (int i = 0; i < num_collections; i++) {
        if (std::strcmp(collections[i].name, name) == 0)
            return i;
    }
    if (num_collections >= COLLECTIONS_MAX)
        return -1;
    SoundCollection* c = &collections[num_collections];
    copy_name(c->name, name);
    c->num_sounds = 0;
    return num_collections++;
}

int sound_add_silent(const char* collection_name)
{
    if (find_sound("silent") == -1) {
        s16* buf = (s16*)std::calloc(4, sizeof(s16));
        if (!buf)
            return -1;
        if (sound_bank_append("silent", buf, 2) < 0) {
            std::free(buf);
            return -1;
        }
    }
    return sound_collection_add(collection_name, "silent");
}

int sound_collection_size(const char* name)
{
    for (int i = 0; i < num_collections; i++)
        if (std::strcmp(collections[i].name, name) == 0)
            return collections[i].num_sounds;
    return 0;
}

int sound_collection_add(const char* collection_name, const char* name)
{
    int ci = get_collection(collection_name);
    if (ci == -1)
        return -1;
    int si = find_sound(name);
    if (si == -1)
        return -1;
    SoundCollection* c = &collections[ci];
    if (c->num_sounds >= COLLECTION_SOUNDS_MAX)
        return -1;
    c->sounds[c->num_sounds++] = si;
    return 0;
}

int sound_load_collection(const char* collection_name, const char* path)
{
    size_t path_len = std::strlen(path);
    // The last character is not looked at, so "dir/" keeps its whole text as the file name.
    size_t start = 0;
    for (size_t i = 0; i + 1 < path_len; i++) {
        if (path[i] == '/' || path[i] == '\\')
            start = i + 1;
    }
    size_t end = start;
    while (end < path_len && path[end] != '.')
        end++;
    size_t n = end - start;
    if (n > (size_t)SOUND_NAME_MAX)
        n = SOUND_NAME_MAX;
    char name[SOUND_NAME_MAX + 1];
    std::memcpy(name, path + start, n);
    name[n] = '\0';

    // Two files of the same name from different folders: tell them apart by their path.
    if (find_sound(name) != -1) {
        const char* tail = path_len > (size_t)SOUND_NAME_MAX ? path + path_len - SOUND_NAME_MAX : path;
        copy_name(name, tail);
    }
    if (sound_load(name, path) != 0)
        return -1;
    return sound_collection_add(collection_name, name);
}

int sound_play(const char* name, float volume)
{
    int i = find_sound(name);
    if (i == -1) {
        std::fprintf(stderr, "Sound not found: %s\n", name);
        return -1;
    }
    return sound_play_num(i, volume);
}

namespace {

// sound_set_own_choices: whether members are drawn here rather than from the game's generator.
bool own_choices = false;
u32 own_choice_state = 1;

// The shared front of both collection requests: a random member's bank index, or -1 after
// printing the message that starts with `caller`.
int pick_from_collection(const char* caller, const char* collection_name)
{
    int ci = get_collection(collection_name);
    if (ci == -1) {
        std::fprintf(stderr, "%s: invalid collection '%s'\n", caller, collection_name);
        return -1;
    }
    const SoundCollection* c = &collections[ci];
    if (c->num_sounds == 0) {
        std::fprintf(stderr, "%s: empty collection '%s'\n", caller, collection_name);
        return -1;
    }
    if (!own_choices)
        return c->sounds[myrand() % c->num_sounds];
    own_choice_state = own_choice_state * 1103515245u + 12345u;
    return c->sounds[(own_choice_state >> 16) % (u32)c->num_sounds];
}

}  // namespace

int sound_play_collection(const char* collection_name, float volume)
{
    int s = pick_from_collection("sound_play_collection", collection_name);
    if (s == -1)
        return -1;
    return sound_play_num(s, volume);
}

int sound_play_collection_pos(const char* collection_name, float volume, V3f* pos)
{
    int s = pick_from_collection("sound_play_collection_pos", collection_name);
    if (s == -1)
        return -1;
    return sound_play_num_pos(s, volume, pos);
}

void sound_bank_clear()
{
    for (int i = 0; i < sounds_count; i++) {
        std::free(sounds[i].buf);
        sounds[i] = Sound{};
    }
    sounds_count = 0;
    num_collections = 0;
}

void sound_set_own_choices(bool own)
{
    own_choices = own;
}
