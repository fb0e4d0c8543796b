#include "portable_math.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::uint32_t bits_of(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

float from_bits(std::uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// Every pair of values at the edges of atan2's cases (signed zeros, subnormals, the bounds of
// atanf's argument ranges, huge ratios, infinities, NaN), then pseudo-random bit patterns, then
// the small differences headings are taken of: a cell minus an exact position.
std::vector<std::pair<float, float>> inputs()
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> edges = {0.0f, 1.0f, 1.5f, 3.0f, from_bits(1), FLT_MIN, FLT_MAX, inf,
                                std::numeric_limits<float>::quiet_NaN(), 1e30f, 1e-30f};
    for (std::uint32_t bound : {0x31000000u, 0x3ee00000u, 0x3f300000u, 0x3f980000u, 0x401c0000u,
                                0x4c000000u}) {
        edges.push_back(from_bits(bound));
        edges.push_back(from_bits(bound - 1));
    }
    size_t n = edges.size();
    for (size_t i = 0; i < n; i++)
        edges.push_back(-edges[i]);
    std::vector<std::pair<float, float>> r;
    for (float y : edges)
        for (float x : edges)
            r.push_back({y, x});
    std::uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (std::uint32_t)(state >> 32);
    };
    for (int i = 0; i < 1 << 18; i++) {
        std::uint32_t y = next();
        r.push_back({from_bits(y), from_bits(next())});
    }
    for (int i = 0; i < 1 << 18; i++) {
        float px = (float)(next() % 6400) / 100.0f, py = (float)(next() % 6400) / 100.0f;
        int cx = (int)(next() % 64), cy = (int)(next() % 64);
        r.push_back({(float)cy - py, (float)cx - px});
    }
    return r;
}

// NaN's payload is the machine's business; the game never asks for the angle of a NaN.
std::uint32_t result_bits(float f)
{
    return std::isnan(f) ? 0x7fc00000u : bits_of(f);
}

TEST(PortableMath, Atan2HasTheNativeLibrarysBitsOnEveryKindOfInput)
{
#ifndef __GLIBC__
    GTEST_SKIP() << "the native game's library is glibc; this C library rounds differently";
#else
    int differ = 0;
    for (const auto& [y, x] : inputs()) {
        float mine = portable_atan2f(y, x), lib = std::atan2(y, x);
        if (result_bits(mine) != result_bits(lib) && differ++ < 5)
            ADD_FAILURE() << std::hexfloat << "atan2(" << y << ", " << x << "): " << mine
                          << ", the library " << lib;
    }
    EXPECT_EQ(differ, 0);
#endif
}

// The same inputs' results as glibc's atan2f gave them, which every build must reproduce: the
// browser build's own C library rounds one heading a unit takes in about 300 differently, and
// a fifth of the random bit patterns.
TEST(PortableMath, Atan2GivesTheRecordedBitsInEveryBuild)
{
    std::uint64_t h = 14695981039346656037ull;
    for (const auto& [y, x] : inputs())
        h = (h ^ result_bits(portable_atan2f(y, x))) * 1099511628211ull;
    EXPECT_EQ(h, 0x55ea60414d54a211ull);
}

TEST(PortableMath, Atan2IsWithinOneUnitInTheLastPlaceAndExactAtTheAxes)
{
    const float pi = 3.14159265358979f, inf = std::numeric_limits<float>::infinity();
    int off = 0;
    for (const auto& [y, x] : inputs()) {
        float mine = portable_atan2f(y, x);
        float exact = (float)std::atan2((double)y, (double)x);
        if (std::isnan(exact)) {
            EXPECT_TRUE(std::isnan(mine));
            continue;
        }
        std::int64_t ulps = (std::int64_t)(std::int32_t)bits_of(mine) - (std::int32_t)bits_of(exact);
        if ((ulps > 1 || ulps < -1) && off++ < 5)
            ADD_FAILURE() << std::hexfloat << "atan2(" << y << ", " << x << "): " << mine
                          << ", exactly " << exact;
    }
    EXPECT_EQ(off, 0);
    EXPECT_EQ(bits_of(portable_atan2f(0.0f, 2.0f)), bits_of(0.0f));
    EXPECT_EQ(bits_of(portable_atan2f(-0.0f, 2.0f)), bits_of(-0.0f));
    EXPECT_EQ(portable_atan2f(0.0f, -2.0f), pi);
    EXPECT_EQ(portable_atan2f(-0.0f, -0.0f), -pi);
    EXPECT_EQ(portable_atan2f(5.0f, 0.0f), pi / 2);
    EXPECT_EQ(portable_atan2f(-inf, 3.0f), -pi / 2);
    EXPECT_EQ(portable_atan2f(inf, -inf), 3 * pi / 4);
    EXPECT_EQ(portable_atan2f(1.0f, 1.0f), pi / 4);
}

}  // namespace
