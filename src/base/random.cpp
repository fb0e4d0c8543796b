#include "random.h"

#include <cmath>
#include <cstdint>

#include "check.h"

namespace {

std::uint32_t next = 1;

// Signed 32-bit arithmetic that wraps on overflow, done in unsigned to stay defined.
inline std::int32_t wrap32(std::uint32_t v)
{
    return (std::int32_t)v;
}

double hash_to_unit(std::uint32_t n)
{
    n &= 0x7fffffffu;
    n = (n >> 13) ^ n;
    std::uint32_t m = (n * (n * n * 60493u + 19990303u) + 1376312589u) & 0x7fffffffu;
    return 1.0 - (double)m / 1073741824.0;
}

// The lattice cell below a coordinate: 0 and negative integers go one cell lower
// than the floor, which the eased weight of exactly 1 makes harmless.
inline int lattice_cell(double v)
{
    return v > 0 ? (int)v : (int)v - 1;
}

}  // namespace

int myrand()
{
    next = next * 1103515245u + 12345u;
    return (int)((next >> 16) & 0x7fff);
}

void mysrand(unsigned int seed)
{
    next = seed;
}

unsigned int myrand_state()
{
    return next;
}

int myrand_range(int min, int max)
{
    if (min > max)
        CHECK(0);
    if ((long long)max - min > 32767)
        CHECK(0);
    return min + myrand() % (max - min + 1);
}

double linearInterpolation(double x0, double x1, double t)
{
    return x0 + (x1 - x0) * t;
}

double easeCurve(double t)
{
    return 6 * std::pow(t, 5) - 15 * std::pow(t, 4) + 10 * std::pow(t, 3);
}

double biLinearInterpolation(double x0y0, double x1y0, double x0y1, double x1y1, double x, double y)
{
    double tx = easeCurve(x);
    double ty = easeCurve(y);
    double u = x0y0 + (x1y0 - x0y0) * tx;
    double v = x0y1 + (x1y1 - x0y1) * tx;
    return u + (v - u) * ty;
}

double triLinearInterpolation(double v000, double v100, double v010, double v110, double v001,
                              double v101, double v011, double v111, double x, double y, double z)
{
    return v000 * (1 - x) * (1 - y) * (1 - z) + v100 * x * (1 - y) * (1 - z) +
           v010 * (1 - x) * y * (1 - z) + v110 * x * y * (1 - z) + v001 * (1 - x) * (1 - y) * z +
           v101 * x * (1 - y) * z + v011 * (1 - x) * y * z + v111 * x * y * z;
}

double noise2d(int x, int y, int seed)
{
    std::uint32_t n = 1619u * (std::uint32_t)x + 31337u * (std::uint32_t)y + 1013u * (std::uint32_t)seed;
    return hash_to_unit(n);
}

double noise3d(int x, int y, int z, int seed)
{
    std::uint32_t n = 1619u * (std::uint32_t)x + 31337u * (std::uint32_t)y +
                      52591u * (std::uint32_t)z + 1013u * (std::uint32_t)seed;
    return hash_to_unit(n);
}

double noise2d_gradient(double x, double y, int seed)
{
    int x0 = lattice_cell(x);
    int y0 = lattice_cell(y);
    double v00 = noise2d(x0, y0, seed);
    double v10 = noise2d(x0 + 1, y0, seed);
    double v01 = noise2d(x0, y0 + 1, seed);
    double v11 = noise2d(x0 + 1, y0 + 1, seed);
    return biLinearInterpolation(v00, v10, v01, v11, x - x0, y - y0);
}

double noise3d_gradient(double x, double y, double z, int seed)
{
    int x0 = lattice_cell(x);
    int y0 = lattice_cell(y);
    int z0 = lattice_cell(z);
    double v000 = noise3d(x0, y0, z0, seed);
    double v100 = noise3d(x0 + 1, y0, z0, seed);
    double v010 = noise3d(x0, y0 + 1, z0, seed);
    double v110 = noise3d(x0 + 1, y0 + 1, z0, seed);
    double v001 = noise3d(x0, y0, z0 + 1, seed);
    double v101 = noise3d(x0 + 1, y0, z0 + 1, seed);
    double v011 = noise3d(x0, y0 + 1, z0 + 1, seed);
    double v111 = noise3d(x0 + 1, y0 + 1, z0 + 1, seed);
    return triLinearInterpolation(v000, v100, v010, v110, v001, v101, v011, v111, x - x0, y - y0,
                                  z - z0);
}

double noise2d_perlin(double x, double y, int seed, int octaves, double persistence)
{
    double a = 1.0, f = 1.0, g = 0.0;
    for (int i = 0; i < octaves; i++) {
        g += a * noise2d_gradient(x * f, y * f, wrap32((std::uint32_t)seed + (std::uint32_t)i));
        f *= 2.0;
        a *= persistence;
    }
    return g;
}

double noise2d_perlin_abs(double x, double y, int seed, int octaves, double persistence)
{
    double a = 1.0, f = 1.0, g = 0.0;
    for (int i = 0; i < octaves; i++) {
        g += a * std::fabs(noise2d_gradient(x * f, y * f, wrap32((std::uint32_t)seed + (std::uint32_t)i)));
        f *= 2.0;
        a *= persistence;
    }
    return g;
}

double noise3d_perlin(double x, double y, double z, int seed, int octaves, double persistence)
{
    double a = 1.0, f = 1.0, g = 0.0;
    for (int i = 0; i < octaves; i++) {
        g += a * noise3d_gradient(x * f, y * f, z * f, wrap32((std::uint32_t)seed + (std::uint32_t)i));
        f *= 2.0;
        a *= persistence;
    }
    return g;
}

double noise3d_perlin_abs(double x, double y, double z, int seed, int octaves, double persistence)
{
    double a = 1.0, f = 1.0, g = 0.0;
    for (int i = 0; i < octaves; i++) {
        g += a * std::fabs(
                     noise3d_gradient(x * f, y * f, z * f, wrap32((std::uint32_t)seed + (std::uint32_t)i)));
        f *= 2.0;
        a *= persistence;
    }
    return g;
}

double contour(double v)
{
    if (std::fabs(v) >= 1.0)
        return 0.0;
    return 1.0 - std::fabs(v);
}
