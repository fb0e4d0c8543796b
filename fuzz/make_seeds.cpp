// Writes the seed corpora of the loader fuzz targets: small valid files that reach every
// branch of the decoders, plus files just past the limits the loaders enforce.
//
//   fuzz_seeds fuzz/corpus     (from the repository root)
//
// writes fuzz/corpus/png, fuzz/corpus/bmp, fuzz/corpus/wav and fuzz/corpus/replay. The output is deterministic,
// so running it again changes nothing unless this file changed.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>
#include <sys/stat.h>
#include <zlib.h>

#include "gamerecord.h"
#include "newgame.h"
#include "random.h"
#include "shell.h"
#include "sound.h"
#include "worldhash.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string out_dir;
int failures = 0;

void save(const char* kind, const std::string& name, const Bytes& b)
{
    std::string path = out_dir + "/" + kind + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
        std::perror(path.c_str());
        failures++;
    }
}

// ---- PNG ----

struct PngImage {
    uint32_t width = 1, height = 1;
    int bit_depth = 8;
    int color_type = PNG_COLOR_TYPE_RGBA;
    int interlace = PNG_INTERLACE_NONE;
    int palette_size = 0;   // entries in PLTE, for palette images
    int trns_entries = 0;   // palette alpha values in tRNS
    bool trns_key = false;  // tRNS with a key colour, for grey and RGB images
};

void png_append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void png_no_flush(png_structp) {}

// A pattern that changes along both axes, so filters and interlace passes all matter.
uint8_t pattern(uint32_t x, uint32_t y, int channel)
{
    return (uint8_t)(x * 37 + y * 11 + channel * 73);
}

bool encode(const PngImage& im, Bytes* out, png_structp png, png_infop info,
            std::vector<Bytes>* rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, png_append, png_no_flush);
    png_set_IHDR(png, info, im.width, im.height, im.bit_depth, im.color_type, im.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    png_byte alpha[256];
    for (int i = 0; i < 256; i++) {
        palette[i] = {(png_byte)(i * 3), (png_byte)(255 - i), (png_byte)(i * 7)};
        alpha[i] = (png_byte)(i * 50);
    }
    if (im.palette_size > 0)
        png_set_PLTE(png, info, palette, im.palette_size);
    if (im.trns_entries > 0)
        png_set_tRNS(png, info, alpha, im.trns_entries, nullptr);
    png_color_16 key = {};
    key.gray = 1;
    key.red = 2;
    key.green = 3;
    key.blue = 4;
    if (im.trns_key)
        png_set_tRNS(png, info, nullptr, 0, &key);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& r : *rows)
        pointers.push_back(r.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    return true;
}

Bytes png_file(const PngImage& im)
{
    int channels = 1;
    switch (im.color_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_RGBA: channels = 4; break;
    default: break;
    }
    size_t row_bits = (size_t)im.width * channels * im.bit_depth;
    size_t row_bytes = (row_bits + 7) / 8;
    std::vector<Bytes> rows(im.height, Bytes(row_bytes));
    for (uint32_t y = 0; y < im.height; y++) {
        for (size_t i = 0; i < row_bytes; i++)
            rows[y][i] = pattern((uint32_t)i, y, 0);
        // Palette indices must stay inside the palette.
        if (im.color_type == PNG_COLOR_TYPE_PALETTE) {
            int per_byte = 8 / im.bit_depth;
            for (size_t i = 0; i < row_bytes; i++) {
                uint8_t b = 0;
                for (int k = 0; k < per_byte; k++) {
                    int index = (int)((i * per_byte + k + y) % im.palette_size);
                    b = (uint8_t)((b << im.bit_depth) | index);
                }
                rows[y][i] = b;
            }
        }
    }
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    // Every seed is small: compress hard so that the blank ones past the limits stay tiny.
    png_set_compression_level(png, 9);
    if (!encode(im, &out, png, info, &rows)) {
        std::fprintf(stderr, "could not encode a %ux%u PNG\n", im.width, im.height);
        failures++;
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

void png_seeds()
{
    struct Kind {
        const char* name;
        int color_type;
        std::vector<int> depths;
    };
    const Kind kinds[] = {
        {"grey", PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
        {"rgb", PNG_COLOR_TYPE_RGB, {8, 16}},
        {"palette", PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
        {"greyalpha", PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
        {"rgba", PNG_COLOR_TYPE_RGBA, {8, 16}},
    };
    for (const Kind& k : kinds) {
        for (int depth : k.depths) {
            for (int interlace : {PNG_INTERLACE_NONE, PNG_INTERLACE_ADAM7}) {
                PngImage im;
                im.width = 7;
                im.height = 5;
                im.bit_depth = depth;
                im.color_type = k.color_type;
                im.interlace = interlace;
                if (k.color_type == PNG_COLOR_TYPE_PALETTE)
                    im.palette_size = 1 << (depth < 8 ? depth : 5);
                std::string name = std::string(k.name) + std::to_string(depth) +
                                   (interlace ? "-interlaced" : "") + ".png";
                save("png", name, png_file(im));
            }
        }
    }
    PngImage im;
    im.width = im.height = 1;
    save("png", "rgba8-1x1.png", png_file(im));

    // Transparency: palette alpha (fewer entries than the palette), grey and RGB key colours.
    im = PngImage{};
    im.width = 6;
    im.height = 3;
    im.color_type = PNG_COLOR_TYPE_PALETTE;
    im.palette_size = 6;
    im.trns_entries = 4;
    save("png", "palette8-trns.png", png_file(im));
    im.bit_depth = 2;
    im.palette_size = 4;
    im.trns_entries = 2;
    im.interlace = PNG_INTERLACE_ADAM7;
    save("png", "palette2-trns-interlaced.png", png_file(im));
    im = PngImage{};
    im.width = 4;
    im.height = 4;
    im.color_type = PNG_COLOR_TYPE_GRAY;
    im.trns_key = true;
    save("png", "grey8-trns.png", png_file(im));
    im.bit_depth = 1;
    save("png", "grey1-trns.png", png_file(im));
    im = PngImage{};
    im.width = 4;
    im.height = 4;
    im.color_type = PNG_COLOR_TYPE_RGB;
    im.trns_key = true;
    im.bit_depth = 16;
    save("png", "rgb16-trns.png", png_file(im));

    // The size limits: 8192 on a side loads, one more does not, and the pixel count is
    // capped at 16 Mi (8192 x 2048). Grey 1-bit keeps the long ones small on disk.
    im = PngImage{};
    im.color_type = PNG_COLOR_TYPE_GRAY;
    im.bit_depth = 1;
    im.width = 8192;
    im.height = 1;
    save("png", "wide-at-limit.png", png_file(im));
    im.width = 8193;
    save("png", "wide-past-limit.png", png_file(im));
    im.width = 1;
    im.height = 8193;
    save("png", "tall-past-limit.png", png_file(im));
    im.width = 8192;
    im.height = 2049;
    save("png", "pixels-past-limit.png", png_file(im));
}

// ---- BMP ----

void put16(Bytes& b, uint32_t v)
{
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}

void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

// A BMP with the 40-byte info header (plus bit masks for BI_BITFIELDS), `colors` palette
// entries and rows padded to four bytes. A negative height stores the rows top-down.
Bytes bmp_file(int32_t width, int32_t height, int bpp, uint32_t compression, int colors,
               const Bytes& pixels_in = {})
{
    uint32_t abs_h = (uint32_t)(height < 0 ? -height : height);
    uint32_t row = (((uint32_t)width * bpp + 31) / 32) * 4;
    Bytes pixels = pixels_in;
    if (pixels.empty()) {
        pixels.resize(row * abs_h);
        for (size_t i = 0; i < pixels.size(); i++)
            pixels[i] = pattern((uint32_t)i, 0, 1);
        if (bpp <= 8 && colors > 0) {
            // Keep indices inside the palette.
            int per_byte = 8 / bpp;
            for (size_t i = 0; i < pixels.size(); i++) {
                uint8_t b = 0;
                for (int k = 0; k < per_byte; k++)
                    b = (uint8_t)((b << bpp) | ((i + k) % colors));
                pixels[i] = b;
            }
        }
    }
    uint32_t masks = compression == 3 ? 12 : 0;
    uint32_t offset = 14 + 40 + masks + (uint32_t)colors * 4;
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    put32(b, offset + (uint32_t)pixels.size());
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, (uint32_t)width);
    put32(b, (uint32_t)height);
    put16(b, 1);
    put16(b, (uint32_t)bpp);
    put32(b, compression);
    put32(b, (uint32_t)pixels.size());
    put32(b, 2835);
    put32(b, 2835);
    put32(b, (uint32_t)colors);
    put32(b, 0);
    if (compression == 3) {
        if (bpp == 16) {
            put32(b, 0xF800);
            put32(b, 0x07E0);
            put32(b, 0x001F);
        } else {
            put32(b, 0x00FF0000);
            put32(b, 0x0000FF00);
            put32(b, 0x000000FF);
        }
    }
    for (int i = 0; i < colors; i++) {
        b.push_back((uint8_t)(i * 40));
        b.push_back((uint8_t)(255 - i * 20));
        b.push_back((uint8_t)(i * 90));
        b.push_back(0);
    }
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

void bmp_seeds()
{
    save("bmp", "rgb24.bmp", bmp_file(5, 3, 24, 0, 0));
    save("bmp", "rgb24-top-down.bmp", bmp_file(5, -3, 24, 0, 0));
    save("bmp", "rgb24-1x1.bmp", bmp_file(1, 1, 24, 0, 0));
    save("bmp", "xrgb32.bmp", bmp_file(4, 3, 32, 0, 0));
    save("bmp", "rgb32-bitfields.bmp", bmp_file(4, 3, 32, 3, 0));
    save("bmp", "rgb565-bitfields.bmp", bmp_file(6, 3, 16, 3, 0));
    save("bmp", "rgb555.bmp", bmp_file(6, 3, 16, 0, 0));
    save("bmp", "palette8.bmp", bmp_file(7, 3, 8, 0, 6));
    save("bmp", "palette4.bmp", bmp_file(9, 3, 4, 0, 5));
    save("bmp", "palette1.bmp", bmp_file(17, 2, 1, 0, 2));
    // Run-length coded 8-bit: a run, an absolute stretch, end of line, end of bitmap.
    Bytes rle8 = {3, 1, 0, 3, 2, 0, 1, 0, 0, 0, 4, 3, 0, 1};
    save("bmp", "palette8-rle.bmp", bmp_file(4, 2, 8, 1, 4, rle8));
    Bytes rle4 = {4, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 0, 1, 0, 0, 1};
    save("bmp", "palette4-rle.bmp", bmp_file(4, 2, 4, 2, 4, rle4));

    // The old 12-byte header with 16-bit sizes: 3 x 2 pixels of 24 bits.
    Bytes core = {'B', 'M'};
    put32(core, 26 + 24);
    put32(core, 0);
    put32(core, 26);
    put32(core, 12);
    put16(core, 3);
    put16(core, 2);
    put16(core, 1);
    put16(core, 24);
    for (int i = 0; i < 24; i++)
        core.push_back(pattern((uint32_t)i, 1, 1));
    save("bmp", "core-header-rgb24.bmp", core);

    // Headers just past the size limits; the loader refuses them before the pixels, so a
    // few bytes of data stand in for megabytes.
    Bytes stub(16, 0x55);
    save("bmp", "wide-past-limit.bmp", bmp_file(8193, 1, 24, 0, 0, stub));
    save("bmp", "top-down-past-limit.bmp", bmp_file(1, -8193, 24, 0, 0, stub));
    save("bmp", "pixels-past-limit.bmp", bmp_file(4097, 4096, 24, 0, 0, stub));
}

// ---- WAV ----

// A canonical 44-byte header: PCM, 44100 Hz, 16 bits, `channels` channels, claiming
// `claimed` data bytes, followed by `actual` bytes of samples.
Bytes wav_file(int channels, uint32_t claimed, uint32_t actual)
{
    Bytes b;
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    tag("RIFF");
    put32(b, 36 + claimed);
    tag("WAVE");
    tag("fmt ");
    put32(b, 16);
    put16(b, 1);
    put16(b, (uint32_t)channels);
    put32(b, 44100);
    put32(b, 44100u * 2 * channels);
    put16(b, 2u * channels);
    put16(b, 16);
    tag("data");
    put32(b, claimed);
    for (uint32_t i = 0; i < actual; i++)
        b.push_back(pattern(i, 0, 2));
    return b;
}

void wav_seeds()
{
    save("wav", "mono.wav", wav_file(1, 64, 64));
    save("wav", "stereo.wav", wav_file(2, 64, 64));
    save("wav", "mono-empty.wav", wav_file(1, 0, 0));
    save("wav", "mono-odd-size.wav", wav_file(1, 7, 7));
    save("wav", "stereo-odd-size.wav", wav_file(2, 7, 7));
    save("wav", "stereo-half-frame.wav", wav_file(2, 6, 6));
    save("wav", "mono-trailing-bytes.wav", wav_file(1, 8, 20));
    save("wav", "mono-oversized-claim.wav", wav_file(1, 65, 64));
    save("wav", "stereo-huge-claim.wav", wav_file(2, 0xFFFFFFF0u, 16));
}

}  // namespace

// ---- Replays ----

Bytes read_back(const std::string& path)
{
    Bytes b;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return b;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        b.push_back((uint8_t)c);
    std::fclose(f);
    return b;
}

// The same file with its records uncompressed after a "QRAW" header, the form fuzz_replay
// compresses itself.
Bytes raw_form(const Bytes& file)
{
    Bytes raw(file.begin(), file.begin() + GAMERECORD_HEADER_SIZE);
    std::memcpy(raw.data(), "QRAW", 4);
    z_stream z = {};
    inflateInit(&z);
    z.next_in = (Bytef*)file.data() + GAMERECORD_HEADER_SIZE;
    z.avail_in = (uInt)(file.size() - GAMERECORD_HEADER_SIZE);
    uint8_t out[4096];
    int r;
    do {
        z.next_out = out;
        z.avail_out = sizeof out;
        r = inflate(&z, Z_NO_FLUSH);
        raw.insert(raw.end(), out, out + (sizeof out - z.avail_out));
    } while (r == Z_OK && z.avail_out == 0);
    inflateEnd(&z);
    return raw;
}

// A battle as the game records it: the map of `second`, both parties ordered about every
// half second, steps of 3 to 40 ms. `finished` false leaves it as a crash would, after its
// last flush.
void record_seed(const std::string& name, int second, int frames, bool finished)
{
    main_init_globals();
    mysrand((unsigned)second);
    if (!create_world_at(second)) {
        failures++;
        return;
    }
    std::string path = out_dir + "/replay/" + name;
    GameRecorder rec;
    char err[300];
    if (!recorder_open(&rec, path.c_str(), &main_game_start, &main_gameenv, err, sizeof err)) {
        std::fprintf(stderr, "%s\n", err);
        failures++;
        return;
    }
    static Order order;
    for (int f = 0; f < frames; f++) {
        if (f % 30 == 3) {
            int party = (f / 30) % 2;
            order_init(&order, (f / 60) % 3 == 2 ? ORDER_ATTACK : ORDER_TRAVEL, party);
            for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
                if (e->party == party && (order.kind == ORDER_TRAVEL ? e->type == ET_UNIT : e->can_attack))
                    order_add_uid(&order, e->uid);
                if (e->party == 1 - party)
                    order.target_uid = e->uid;
            }
            order.group_size = order.uid_count;
            order.cell = V3i{(f * 7) % 64, (f * 13) % 64, 8};
            if (order_valid(&main_gameenv, &order, nullptr, 0)) {
                recorder_order(&rec, &order);
                order_apply(&main_gameenv, &order);
            }
        }
        if (f % 41 == 0)
            myrand();  // a unit's answer to a click
        float dtime = (3 + (f / 25) % 38) / 1000.0f;
        recorder_before_step(&rec);
        gameenv_run(&main_gameenv, dtime);
        recorder_after_step(&rec, dtime, &main_gameenv);
        if (f % 50 == 49)
            recorder_flush(&rec);
    }
    if (finished) {
        if (!recorder_close(&rec, &main_gameenv))
            failures++;
    } else {
        recorder_abandon(&rec);
    }
    main_free_globals();
    save("replay", "raw-" + name, raw_form(read_back(path)));
}

void replay_seeds()
{
    // Shots and answers draw from the generator only when their collections hold a sound.
    for (const char* c : GAMERECORD_SOUND_COLLECTIONS)
        sound_add_silent(c);
    record_seed("battle-1.qrep", 1, 900, true);
    record_seed("battle-7-cut.qrep", 7, 420, false);
    record_seed("start-only.qrep", 3, 0, true);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    out_dir = argv[1];
    for (const char* kind : {"", "/png", "/bmp", "/wav", "/replay"})
        mkdir((out_dir + kind).c_str(), 0755);
    png_seeds();
    bmp_seeds();
    wav_seeds();
    replay_seeds();
    return failures ? 1 : 0;
}
