#include "pngmisc.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <png.h>

#include "imagelimits.h"

namespace {

// Larger headers are refused by libpng before anything is allocated for the rows.
constexpr png_uint_32 MAX_DIMENSION = IMAGE_MAX_SIDE;
// Refused before the pixel block is allocated.
constexpr size_t MAX_PIXELS = IMAGE_MAX_PIXELS;
// The ancillary chunks libpng knows but the loader has no use for: it asks for no gamma,
// background or bit-shift transformation, so none of them changes a pixel. They are skipped
// unread, like unknown chunks, because libpng allocates the whole length a text, profile or
// palette-suggestion chunk claims before it reads it (up to 2 GiB for a 50-byte file) and
// inflates compressed text and profiles. Only the palette and tRNS are read besides the pixels.
const png_byte IGNORED_CHUNKS[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0"
                                  "pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
constexpr int IGNORED_CHUNK_COUNT = sizeof IGNORED_CHUNKS / 5;

// Everything the decoder holds. libpng leaves by longjmp on an error, so nothing with a
// destructor may live across its calls; the resources sit here and are released by hand.
struct PngRead {
    FILE* file;
    png_structp png;
    png_infop info;
    png_infop end_info;
    png_bytep block;         // rowbytes * height bytes of pixels, bottom row first
    png_bytepp row_pointers; // height entries into block
    SDL_Surface* surface;    // the result
};

// Sets up expansion so every row ends as 8-bit R, G, B, A.
void set_transformations(PngRead* r)
{
    png_uint_32 width, height;
    int bit_depth, color_type;
    png_get_IHDR(r->png, r->info, &width, &height, &bit_depth, &color_type, nullptr, nullptr,
                 nullptr);
    bool has_trns = png_get_valid(r->png, r->info, PNG_INFO_tRNS) != 0;
    if (color_type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(r->png);
    if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8)
        png_set_expand_gray_1_2_4_to_8(r->png);
    if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(r->png);
    if (has_trns)
        png_set_tRNS_to_alpha(r->png);
    if (bit_depth == 16)
        png_set_strip_16(r->png);
    if (!(color_type & PNG_COLOR_MASK_ALPHA) && !has_trns)
        png_set_filler(r->png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
}

// The libpng part of the decoding. Returns true with r->surface set, false on any failure;
// a libpng error lands at the setjmp and fails the same way.
bool decode(PngRead* r)
{
    if (setjmp(png_jmpbuf(r->png)))
        return false;
    png_init_io(r->png, r->file);
    png_set_sig_bytes(r->png, 8);
    png_set_user_limits(r->png, MAX_DIMENSION, MAX_DIMENSION);
    png_set_keep_unknown_chunks(r->png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(r->png, PNG_HANDLE_CHUNK_NEVER, IGNORED_CHUNKS,
                                IGNORED_CHUNK_COUNT);
    png_read_info(r->png, r->info);
    set_transformations(r);

    png_uint_32 width = png_get_image_width(r->png, r->info);
    png_uint_32 height = png_get_image_height(r->png, r->info);
    size_t rowbytes = png_get_rowbytes(r->png, r->info);
    if (width == 0 || height == 0 || (size_t)width * height > MAX_PIXELS ||
        rowbytes != (size_t)width * 4)
        return false;

    r->block = static_cast<png_bytep>(std::malloc(rowbytes * height));
    r->row_pointers = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * height));
    if (!r->block || !r->row_pointers)
        return false;
    for (png_uint_32 i = 0; i < height; i++)
        r->row_pointers[i] = r->block + (height - 1 - i) * rowbytes;
    png_read_image(r->png, r->row_pointers);

    r->surface = SDL_CreateRGBSurface(0, width, height, 32, 0x000000FF, 0x0000FF00, 0x00FF0000,
                                      0xFF000000);
    if (!r->surface)
        return false;
    auto* pixels = static_cast<Uint8*>(r->surface->pixels);
    for (png_uint_32 i = 0; i < height; i++)
        std::memcpy(pixels + i * r->surface->pitch, r->row_pointers[i], (size_t)width * 4);
    return true;
}

bool open_and_check_signature(PngRead* r, const char* path)
{
    r->file = std::fopen(path, "rb");
    if (!r->file)
        return false;
    png_byte header[8];
    if (std::fread(header, 1, 8, r->file) != 8)
        return false;
    return png_sig_cmp(header, 0, 8) == 0;
}

void release(PngRead* r)
{
    std::free(r->row_pointers);
    std::free(r->block);
    if (r->png)
        png_destroy_read_struct(&r->png, r->info ? &r->info : nullptr,
                                r->end_info ? &r->end_info : nullptr);
    if (r->file)
        std::fclose(r->file);
}

}  // namespace

SDL_Surface* pngmisc_load_image(const char* path)
{
    PngRead r = {};
    bool ok = open_and_check_signature(&r, path);
    if (ok) {
        r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (r.png) {
            r.info = png_create_info_struct(r.png);
            r.end_info = png_create_info_struct(r.png);
        }
        ok = r.png && r.info && r.end_info && decode(&r);
    }
    if (!ok) {
        std::fprintf(stderr, "pngmisc_load_image failed\n");
        if (r.surface)
            SDL_FreeSurface(r.surface);
        r.surface = nullptr;
    }
    release(&r);
    return r.surface;
}
