// Drawing helpers for the image generator: an RGBA canvas, deterministic noise and
// a PNG writer. Everything is a pure function of its arguments, so the images come
// out byte for byte the same on every run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <png.h>

struct Rgb {
    int r, g, b;
};

struct Canvas {
    int w, h;
    std::vector<std::uint8_t> px;  // R, G, B, A per pixel, top row first

    Canvas(int width, int height, Rgb fill) : w(width), h(height), px(size_t(width) * height * 4)
    {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                set(x, y, fill);
    }
    void set(int x, int y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        std::uint8_t* p = &px[(size_t(y) * w + x) * 4];
        p[0] = std::uint8_t(std::clamp(c.r, 0, 255));
        p[1] = std::uint8_t(std::clamp(c.g, 0, 255));
        p[2] = std::uint8_t(std::clamp(c.b, 0, 255));
        p[3] = 255;
    }
    Rgb get(int x, int y) const
    {
        const std::uint8_t* p = &px[(size_t(y) * w + x) * 4];
        return {p[0], p[1], p[2]};
    }
    // Makes every pixel of colour `key` fully transparent (the icon's background).
    void clear(Rgb key)
    {
        for (size_t i = 0; i < px.size(); i += 4)
            if (px[i] == key.r && px[i + 1] == key.g && px[i + 2] == key.b)
                px[i + 3] = 0;
    }
    void rect(int x0, int y0, int x1, int y1, Rgb c)  // x1, y1 exclusive
    {
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                set(x, y, c);
    }
};

inline bool same(Rgb a, Rgb b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

inline Rgb mix(Rgb a, Rgb b, float t)
{
    return {int(std::lround(a.r + (b.r - a.r) * t)), int(std::lround(a.g + (b.g - a.g) * t)),
            int(std::lround(a.b + (b.b - a.b) * t))};
}

inline Rgb scale(Rgb a, float f)
{
    return {int(std::lround(a.r * f)), int(std::lround(a.g * f)), int(std::lround(a.b * f))};
}

// A hash of a lattice point: uniform in [0, 1).
inline float hash01(int x, int y, int seed)
{
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u +
                      std::uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / float(0x1000000);
}

// Smooth value noise with lattice spacing `cell` that repeats every `period` pixels
// (period a multiple of cell), so textures tile across neighbouring faces.
inline float value_noise(float x, float y, int cell, int period, int seed)
{
    int n = period / cell;
    float fx = x / cell, fy = y / cell;
    int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    float tx = fx - ix, ty = fy - iy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int a, int b) { return hash01(((a % n) + n) % n, ((b % n) + n) % n, seed); };
    float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

// Three octaves of value_noise, in [0, 1).
inline float fractal_noise(float x, float y, int cell, int period, int seed)
{
    float sum = 0, weight = 0, amp = 1;
    for (int o = 0; o < 3 && cell >= 1; o++) {
        sum += value_noise(x, y, cell, period, seed + o * 101) * amp;
        weight += amp;
        amp *= 0.5f;
        cell /= 2;
    }
    return sum / weight;
}

// The libpng calls of write_png; libpng leaves by longjmp on an error, so nothing with a
// destructor lives in this frame.
inline bool write_png_rows(FILE* f, png_structp png, png_infop info, int w, int h,
                           png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// Writes the canvas as an 8-bit RGBA PNG. false on any failure.
inline bool write_png(const Canvas& c, const char* path)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(c.h);
    for (int y = 0; y < c.h; y++)
        rows[y] = const_cast<png_bytep>(&c.px[size_t(y) * c.w * 4]);
    bool ok = png && info && write_png_rows(f, png, info, c.w, c.h, rows.data());
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(f) == 0 && ok;
}
