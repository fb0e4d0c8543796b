#include "random.h"

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

TEST(Noise, ContourRidges)
{
    EXPECT_EQ(contour(1.0), 0.0);
    EXPECT_EQ(contour(-1.0), 0.0);
    EXPECT_EQ(contour(0.0), 1.0);
    EXPECT_EQ(contour(-0.25), 0.75);
}

}  // namespace
