// PNG decoding with libpng into a new 32-bit RGBA surface.
#pragma once

#include <SDL/SDL.h>

// Decodes the PNG file at `path` into a new surface in the allowed format (top row first),
// or null after "pngmisc_load_image failed" on standard error. Every valid PNG loads:
// grey, grey with alpha, RGB, palette and low bit depths are expanded to 8-bit RGBA.
SDL_Surface* pngmisc_load_image(const char* path);
