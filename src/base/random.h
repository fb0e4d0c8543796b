// The game's seeded pseudo-random generator (one global state, game thread
// only) and the coherent noise the map generator is built from. The noise
// functions take their seed as an argument and never touch the generator, so
// a map depends on its seed alone.
#pragma once

// Advances the generator; a value in 0..32767.
int myrand();
// Sets the generator state.
void mysrand(unsigned int seed);
// The generator state: mysrand(myrand_state()) changes nothing.
unsigned int myrand_state();
// A value in min..max inclusive; min <= max and max - min <= 32767, else the program stops.
int myrand_range(int min, int max);

double linearInterpolation(double x0, double x1, double t);
// 6t^5 - 15t^4 + 10t^3.
double easeCurve(double t);
// Eased bilinear blend of four corner values.
double biLinearInterpolation(double x0y0, double x1y0, double x0y1, double x1y1, double x, double y);
// Plain trilinear blend of eight corner values, unshaped weights.
double triLinearInterpolation(double v000, double v100, double v010, double v110, double v001,
                              double v101, double v011, double v111, double x, double y, double z);

// Lattice hash; a value in (-1, 1].
double noise2d(int x, int y, int seed);
double noise3d(int x, int y, int z, int seed);
// Eased value noise at a real point.
double noise2d_gradient(double x, double y, int seed);
double noise3d_gradient(double x, double y, double z, int seed);
// Octave sums; octave i uses seed + i, twice the frequency and `persistence` times the amplitude.
double noise2d_perlin(double x, double y, int seed, int octaves, double persistence);
double noise2d_perlin_abs(double x, double y, int seed, int octaves, double persistence);
double noise3d_perlin(double x, double y, double z, int seed, int octaves, double persistence);
double noise3d_perlin_abs(double x, double y, double z, int seed, int octaves, double persistence);
// Ridges: 1 - |v| inside (-1, 1), 0 outside.
double contour(double v);
