// The largest images the loaders accept, whatever their file format. A header is checked
// against these before any pixel memory is allocated, so a damaged or hostile file cannot
// make the game ask for gigabytes. The game's own atlases are far smaller.
#pragma once

#include <cstddef>

constexpr long IMAGE_MAX_SIDE = 8192;                      // pixels, width or height
constexpr size_t IMAGE_MAX_PIXELS = 16u * 1024 * 1024;     // width × height: 64 MiB of RGBA
