// Image files into SDL surfaces in the one layout the game uploads as textures:
// 32 bits, bytes R, G, B, A in memory (masks 0x000000FF, 0x0000FF00, 0x00FF0000,
// 0xFF000000), no palette.
#pragma once

#include <SDL/SDL.h>
#include <GL/gl.h>

#include "types.h"

// Loads a .bmp or .png file as a new surface in the allowed format (caller frees it with
// SDL_FreeSurface), or null after a message on standard error.
SDL_Surface* load_image(const char* path);
// True when `path` ends in "." followed by exactly `ext` (case-sensitive).
bool check_file_extension(const char* path, const char* ext);
// True when the surface is in the allowed 32-bit RGBA format.
bool surface_format_allowed(SDL_Surface* surface);
// Converts *surface to the allowed format, freeing the original if it had to be converted:
// 0 on success, -1 with *surface null on failure.
int convert_surface_to_allowed(SDL_Surface** surface);
// A new surface in the allowed format with the pixels of `surface` (which must be in it),
// copied row by row; null when no surface can be made. The browser's SDL_ConvertSurface
// copies a canvas the game never drew into, so copies are made here.
SDL_Surface* copy_surface(SDL_Surface* surface);
// Overwrites every pixel equal to `from` (R, G, B, A bytes) with `to`, padding included;
// stops the program if the surface is not in the allowed format.
void replace_color(SDL_Surface* surface, u8* from, u8* to);
// The OpenGL pixel format and component count of the surface: 0, or -1 for sizes other
// than 3 or 4 bytes a pixel (num_colors is set in every case).
int get_surface_opengl_format(SDL_Surface* surface, GLenum* texture_format, GLint* num_colors);
