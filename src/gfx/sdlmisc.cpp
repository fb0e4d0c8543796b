#include "sdlmisc.h"

#include <cstdio>
#include <cstring>

#include "check.h"
#include "imagelimits.h"
#include "pngmisc.h"

namespace {

constexpr Uint32 RMASK = 0x000000FF;
constexpr Uint32 GMASK = 0x0000FF00;
constexpr Uint32 BMASK = 0x00FF0000;
constexpr Uint32 AMASK = 0xFF000000;

// SDL's BMP decoder allocates the whole surface from the header's width and height before it
// reads a single row, so a header claiming 20000 x 500000 pixels would have it ask for
// 40 GB. The sizes are checked here first, by the same limits as PNG. True when the decoder
// may have the file.
bool bmp_size_allowed(SDL_RWops* rw)
{
    // File header (14 bytes), then the info header's own size and the width and height:
    // two 16-bit fields in the old 12-byte header, two 32-bit signed ones in every later one
    // (a negative height stores the rows top-down). A file that ends inside these fields is
    // read by the decoder as if the missing bytes were zeros, and so it is here: a 25-byte
    // file still has the decoder allocate what its sizes claim.
    Uint8 h[26] = {};
    SDL_RWread(rw, h, 1, sizeof h);
    if (SDL_RWseek(rw, 0, RW_SEEK_SET) != 0)
        return false;
    auto u16 = [&](int i) { return (long)(h[i] | (h[i + 1] << 8)); };
    auto s32 = [&](int i) { return (long)(Sint32)((Uint32)u16(i) | ((Uint32)u16(i + 2) << 16)); };
    long width, height;
    if (u16(14) == 12 && u16(16) == 0) {
        width = u16(18);
        height = u16(20);
    } else {
        width = s32(18);
        height = s32(22);
    }
    if (height < 0)
        height = -height;
    if (width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
        (size_t)(width * height) <= IMAGE_MAX_PIXELS)
        return true;
    std::fprintf(stderr, "BMP of %ld x %ld pixels is past the size limits\n", width, height);
    return false;
}

// Decodes a BMP file with SDL after checking its size; null on any failure.
SDL_Surface* load_bmp(const char* path)
{
    SDL_RWops* rw = SDL_RWFromFile(path, "rb");
    if (!rw)
        return nullptr;
    if (!bmp_size_allowed(rw)) {
        SDL_RWclose(rw);
        return nullptr;
    }
    return SDL_LoadBMP_RW(rw, 1);
}

}  // namespace

bool check_file_extension(const char* path, const char* ext)
{
    size_t path_len = std::strlen(path), ext_len = std::strlen(ext);
    if (ext_len >= path_len)
        return false;
    if (std::memcmp(path + path_len - ext_len, ext, ext_len) != 0)
        return false;
    return path[path_len - ext_len - 1] == '.';
}

bool surface_format_allowed(SDL_Surface* surface)
{
    const SDL_PixelFormat* f = surface->format;
    return f->BitsPerPixel == 32 && f->BytesPerPixel == 4 && f->Rmask == RMASK &&
           f->Gmask == GMASK && f->Bmask == BMASK && f->Amask == AMASK;
}

int convert_surface_to_allowed(SDL_Surface** surface)
{
    if (surface_format_allowed(*surface))
        return 0;
    SDL_PixelFormat format = *(*surface)->format;
    format.palette = nullptr;
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    format.Rloss = format.Gloss = format.Bloss = format.Aloss = 0;
    format.Rmask = RMASK;
    format.Gmask = GMASK;
    format.Bmask = BMASK;
    format.Amask = AMASK;
    format.Rshift = 0;
    format.Gshift = 8;
    format.Bshift = 16;
    format.Ashift = 24;
    SDL_Surface* converted = SDL_ConvertSurface(*surface, &format, 0);
    SDL_FreeSurface(*surface);
    *surface = converted;
    return converted ? 0 : -1;
}

SDL_Surface* load_image(const char* path)
{
    SDL_Surface* surface;
    if (check_file_extension(path, "bmp")) {
        surface = load_bmp(path);
    } else if (check_file_extension(path, "png")) {
        surface = pngmisc_load_image(path);
    } else {
        std::fprintf(stderr, "Unknown file extension: %s\n", path);
        return nullptr;
    }
    if (!surface) {
        std::fprintf(stderr, "Could not load %s\n", path);
        return nullptr;
    }
    convert_surface_to_allowed(&surface);
    if (!surface) {
        std::fprintf(stderr, "Could not convert %s\n", path);
        return nullptr;
    }
    return surface;
}

SDL_Surface* copy_surface(SDL_Surface* surface)
{
    CHECK(surface_format_allowed(surface));
    SDL_Surface* copy = SDL_CreateRGBSurface(0, surface->w, surface->h, 32, RMASK, GMASK, BMASK, AMASK);
    if (!copy)
        return nullptr;
    for (int y = 0; y < surface->h; y++)
        std::memcpy(static_cast<u8*>(copy->pixels) + y * copy->pitch,
                    static_cast<const u8*>(surface->pixels) + y * surface->pitch, (size_t)surface->w * 4);
    return copy;
}

void replace_color(SDL_Surface* surface, u8* from, u8* to)
{
    CHECK(surface_format_allowed(surface));
    for (int y = 0; y < surface->h; y++) {
        u8* row = static_cast<u8*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < surface->pitch / 4; x++) {
            u8* pixel = row + x * 4;
            if (std::memcmp(pixel, from, 4) == 0)
                std::memcpy(pixel, to, 4);
        }
    }
}

int get_surface_opengl_format(SDL_Surface* surface, GLenum* texture_format, GLint* num_colors)
{
    const SDL_PixelFormat* f = surface->format;
    *num_colors = f->BytesPerPixel;
    if (f->BytesPerPixel == 4)
        *texture_format = f->Rmask == RMASK ? GL_RGBA : GL_BGRA;
    else if (f->BytesPerPixel == 3)
        *texture_format = f->Rmask == RMASK ? GL_RGB : GL_BGR;
    else
        return -1;
    return 0;
}
