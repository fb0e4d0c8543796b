#include "models.h"

#include <algorithm>
#include <array>

#include <gtest/gtest.h>

namespace {

constexpr float ORIGIN_Z = 4 * 0.5f - 0.25f + 0.01f;  // p0.z = 4, in view units, plus the lift

std::array<float, MODEL_MAX_VERTICES * 3> place(const float* model, int count, float health)
{
    std::array<float, MODEL_MAX_VERTICES * 3> out{};
    V3i p0 = {10, 20, 4};
    place_model(model, count, &p0, health, out.data());
    return out;
}

TEST(ModelsTest, UndamagedCarageIsShrunkAndPlacedAtItsCell)
{
    auto v = place(carage_vertices(), CARAGE_VERTEX_COUNT, 1.0f);
    EXPECT_NEAR(v[0], 9.61f, 1e-5);  // roof corner (0, 1, 0.5)
    EXPECT_NEAR(v[1], 20.51f, 1e-5);
    EXPECT_NEAR(v[2], 2.26f, 1e-5);
    for (int i = 0; i < CARAGE_VERTEX_COUNT; i++) {
        // Every side moves 0.1 toward the middle: x and y within 0.1..1.9 of the cell corner.
        EXPECT_GE(v[i * 3] - 9.51f, 0.1f - 1e-5) << i;
        EXPECT_LE(v[i * 3] - 9.51f, 1.9f + 1e-5) << i;
        EXPECT_GE(v[i * 3 + 1] - 19.51f, 0.1f - 1e-5) << i;
        EXPECT_LE(v[i * 3 + 1] - 19.51f, 1.9f + 1e-5) << i;
        EXPECT_NEAR(v[i * 3 + 2] - ORIGIN_Z, carage_vertices()[i * 3 + 2], 1e-5) << i;
    }
}

TEST(ModelsTest, TurretBaseShrinksOnlyItsLowSides)
{
    auto v = place(turret_base_vertices(), TURRET_BASE_VERTEX_COUNT, 1.0f);
    float min_x = 1e9f, max_x = -1e9f;
    for (int i = 0; i < TURRET_BASE_VERTEX_COUNT; i++) {
        min_x = std::min(min_x, v[i * 3] - 9.51f);
        max_x = std::max(max_x, v[i * 3] - 9.51f);
    }
    EXPECT_NEAR(min_x, 0.1f, 1e-5);
    EXPECT_NEAR(max_x, 1.0f, 1e-5);
}

TEST(ModelsTest, DamageStartsAtHalfHealthAndTearsTheRaisedVertices)
{
    auto healthy = place(carage_vertices(), CARAGE_VERTEX_COUNT, 0.51f);
    auto damaged = place(carage_vertices(), CARAGE_VERTEX_COUNT, 0.5f);
    const int raised[] = {0, 1, 2, 3, 4, 5, 8, 9, 12, 13, 16, 17, 20, 21};
    const float heights[] = {0.5, 0.25, 0.4, 0.5, 0.65, 0.45, 0.35, 0.5, 0.5, 0.25, 0.4, 0.5, 0.65, 0.45};
    for (int i = 0; i < CARAGE_VERTEX_COUNT; i++)
        EXPECT_NEAR(healthy[i * 3 + 2] - ORIGIN_Z, carage_vertices()[i * 3 + 2], 1e-5) << i;
    std::array<bool, CARAGE_VERTEX_COUNT> seen{};
    for (int k = 0; k < 14; k++) {
        int i = raised[k];
        seen[i] = true;
        EXPECT_NEAR(damaged[i * 3 + 2] - ORIGIN_Z, heights[k], 1e-5) << "vertex " << i;
    }
    for (int i = 0; i < CARAGE_VERTEX_COUNT; i++) {
        if (!seen[i]) {
            EXPECT_NEAR(damaged[i * 3 + 2] - ORIGIN_Z, carage_vertices()[i * 3 + 2], 1e-5) << "vertex " << i;
        }
        EXPECT_EQ(damaged[i * 3], healthy[i * 3]) << "damage only changes heights";
    }

    auto turret = place(turret_base_vertices(), TURRET_BASE_VERTEX_COUNT, 0.2f);
    const int turret_raised[] = {0, 1, 2, 3, 4, 5, 8, 9, 12, 13, 16, 17};
    for (int k = 0; k < 12; k++)
        EXPECT_NEAR(turret[turret_raised[k] * 3 + 2] - ORIGIN_Z, heights[k], 1e-5) << turret_raised[k];
}

}  // namespace
