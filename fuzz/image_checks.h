// What every surface that load_image hands back must satisfy, whatever the file held.
#pragma once

#include <cstring>

#include <SDL/SDL.h>

#include "check.h"
#include "imagelimits.h"
#include "sdlmisc.h"
#include "types.h"

// Stops the run unless `s` is a sane surface in the allowed layout within the size limits.
// Every row is copied out whole, so the sanitizers see a pixel block smaller than pitch × h
// (a copy is checked as one range: a byte loop would be traced compare by compare and make
// the large images a hundred times slower). Small images also get the colour rewrite the
// game applies to its atlases, which walks the padding too.
inline void check_loaded_surface(SDL_Surface* s)
{
    CHECK(surface_format_allowed(s));
    CHECK(s->w > 0 && s->h > 0 && s->w <= IMAGE_MAX_SIDE && s->h <= IMAGE_MAX_SIDE);
    CHECK((size_t)s->w * (size_t)s->h <= IMAGE_MAX_PIXELS);
    CHECK(s->pitch >= s->w * 4 && s->pitch <= IMAGE_MAX_SIDE * 4);
    CHECK(s->pixels != nullptr);
    static u8 row[IMAGE_MAX_SIDE * 4];
    const u8* pixels = static_cast<const u8*>(s->pixels);
    for (int y = 0; y < s->h; y++)
        std::memcpy(row, pixels + (size_t)y * s->pitch, (size_t)s->pitch);
    if ((size_t)s->w * (size_t)s->h <= 256 * 256) {
        u8 orange[4] = {255, 128, 0, 255};
        u8 clear[4] = {0, 0, 0, 0};
        replace_color(s, orange, clear);
    }
    GLenum texture_format;
    GLint num_colors;
    CHECK(get_surface_opengl_format(s, &texture_format, &num_colors) == 0);
    CHECK(num_colors == 4 && texture_format == GL_RGBA);
}
