#include "random.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

TEST(RandomGenerator, FirstDrawsAfterSeedingWithOne)
{
    mysrand(1);
    EXPECT_EQ(myrand(), 16838);
    EXPECT_EQ(myrand(), 5758);
    EXPECT_EQ(myrand(), 10113);
}

TEST(RandomGenerator, DegenerateRangeStillAdvancesTheState)
{
    mysrand(1);
    EXPECT_EQ(myrand_range(5, 5), 5);
    EXPECT_EQ(myrand(), 5758);
    mysrand(7);
    for (int i = 0; i < 1000; i++) {
        int v = myrand_range(-3, 4);
        EXPECT_GE(v, -3);
        EXPECT_LE(v, 4);
    }
}

TEST(RandomGeneratorDeathTest, BadRangesStopTheProgram)
{
    EXPECT_DEATH(myrand_range(3, 2), "check failed: 0");
    EXPECT_DEATH(myrand_range(0, 40000), "check failed: 0");
}

TEST(Noise, LatticeHashValues)
{
    EXPECT_DOUBLE_EQ(noise2d(0, 0, 0), 1.0 - 1376312589.0 / 1073741824.0);
    EXPECT_NEAR(noise2d(1, 2, 3), -0.8077781806, 1e-9);
}

TEST(Noise, EasedValueNoiseAtLatticePointsAndBetween)
{
    EXPECT_DOUBLE_EQ(noise2d_gradient(3.0, 4.0, 9), noise2d(3, 4, 9));
    EXPECT_DOUBLE_EQ(noise2d_gradient(0.0, 0.0, 0), noise2d(0, 0, 0));
    EXPECT_NEAR(noise2d_gradient(0.5, 0.5, 0), 0.3590196096, 1e-9);
    EXPECT_NEAR(noise2d_perlin(0.5, 0.5, 0, 2, 0.5), 0.3081128467, 1e-9);
    EXPECT_EQ(noise2d_perlin(0.5, 0.5, 0, 0, 0.5), 0.0);
}

// Values from an independent model of the hash; extreme arguments must wrap, not overflow.
TEST(Noise, HashesWrapAtTheIntegerLimits)
{
    EXPECT_NEAR(noise3d(1, 2, 3, 4), -0.6123487511649728, 1e-12);
    EXPECT_NEAR(noise3d(-5, 7, -9, -11), 0.23329180385917425, 1e-12);
    EXPECT_NEAR(noise2d(2147483647, -2147483647 - 1, 2147483647), 0.6944628795608878, 1e-12);
    EXPECT_NEAR(noise2d_gradient(-0.5, -1.25, 3), 0.569215429124597, 1e-12);
    for (int i = 0; i < 4; i++)
        EXPECT_TRUE(std::isfinite(noise2d_perlin(1e3, -1e3, 2147483647 - i, 4, 0.5)));
}

// Value noise is continuous across lattice lines, on the negative side too, and 3-D noise
// meets its lattice values at the corners.
TEST(Noise, ContinuousAcrossLatticeLines)
{
    for (double c : {-3.0, -1.0, 0.0, 1.0, 2.0}) {
        EXPECT_NEAR(noise2d_gradient(c - 1e-9, 0.3, 5), noise2d_gradient(c + 1e-9, 0.3, 5), 1e-6) << c;
        EXPECT_NEAR(noise2d_gradient(0.3, c - 1e-9, 5), noise2d_gradient(0.3, c + 1e-9, 5), 1e-6) << c;
        EXPECT_NEAR(noise3d_gradient(c - 1e-9, 0.3, 0.7, 5), noise3d_gradient(c + 1e-9, 0.3, 0.7, 5), 1e-6);
    }
    EXPECT_DOUBLE_EQ(noise3d_gradient(2.0, -3.0, 4.0, 8), noise3d(2, -3, 4, 8));
    EXPECT_DOUBLE_EQ(triLinearInterpolation(0, 0, 0, 0, 0, 0, 0, 8, 0.5, 0.5, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(triLinearInterpolation(1, 2, 3, 4, 5, 6, 7, 8, 1, 0, 1), 6.0);
}

TEST(Noise, AbsoluteOctaveSumsAreSumsOfMagnitudes)
{
    double x = -2.7, y = 5.1;
    double expect2 = std::fabs(noise2d_gradient(x, y, 9)) + 0.5 * std::fabs(noise2d_gradient(2 * x, 2 * y, 10));
    EXPECT_DOUBLE_EQ(noise2d_perlin_abs(x, y, 9, 2, 0.5), expect2);
    double expect3 = noise3d_gradient(x, y, 1.5, 9) + 0.25 * noise3d_gradient(2 * x, 2 * y, 3.0, 10);
    EXPECT_DOUBLE_EQ(noise3d_perlin(x, y, 1.5, 9, 2, 0.25), expect3);
    EXPECT_GE(noise3d_perlin_abs(x, y, 1.5, 9, 3, 0.5), 0.0);
}

TEST(Noise, ContourRidges)
{
    EXPECT_EQ(contour(1.0), 0.0);
    EXPECT_EQ(contour(-1.0), 0.0);
    EXPECT_EQ(contour(0.0), 1.0);
    EXPECT_EQ(contour(-0.25), 0.75);
}

}  // namespace
