#include "voxel.h"

#include <gtest/gtest.h>

namespace {

class VoxelDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        voxeldata_init(&vd);
        Area a;
        area_set_xyzwhd(&a, 0, 0, 0, 64, 64, 16);
        ASSERT_EQ(voxeldata_allocate(&vd, &a), 0);
        for (int i = 0; i < area_size(&vd.area); i++)
            vd.data[i].material = (u8)(i % 7 + 1);
    }
    void TearDown() override { voxeldata_free(&vd); }
    VoxelData vd;
};

TEST_F(VoxelDataTest, BoxFacesAreInclusiveBelowAndExclusiveAbove)
{
    V3i inside = {0, 0, 0};
    V3i corner = {63, 63, 15};
    EXPECT_EQ(voxeldata_get(&vd, &inside), vd.data);
    EXPECT_EQ(voxeldata_get(&vd, &corner), vd.data + area_size(&vd.area) - 1);
    const V3i outside[] = {{64, 0, 0}, {0, 64, 0}, {0, 0, 16}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    for (const V3i& p : outside) {
        EXPECT_EQ(voxeldata_get(&vd, &p), nullptr) << p.x << "," << p.y << "," << p.z;
        EXPECT_EQ(voxeldata_get_material(&vd, &p), 0);
    }
}

TEST_F(VoxelDataTest, IndexRunsXSlowestAndZFastest)
{
    EXPECT_EQ(area_index_xyz(&vd.area, 1, 2, 3), 1059);
    EXPECT_EQ(area_i_add_xyz(&vd.area, 1059, 0, 0, 1), 1060);
    EXPECT_EQ(area_i_add_xyz(&vd.area, 1059, 0, 1, 0), 1059 + 16);
    EXPECT_EQ(area_i_add_xyz(&vd.area, 1059, 1, 0, 0), 1059 + 64 * 16);
    V3i p = {1, 2, 3};
    vd.data[1059].material = 42;
    EXPECT_EQ(voxeldata_get_material(&vd, &p), 42);
}

TEST(VoxelDataLifecycle, FreeOnNeverAllocatedLeavesItEmpty)
{
    VoxelData vd;
    voxeldata_init(&vd);
    voxeldata_free(&vd);
    EXPECT_EQ(vd.data, nullptr);
    EXPECT_EQ(area_size(&vd.area), 0);
    V3i p = {0, 0, 0};
    EXPECT_EQ(voxeldata_get(&vd, &p), nullptr);
    EXPECT_EQ(voxeldata_get_material(&vd, &p), 0);
}

TEST(VoxelDataLifecycle, EmptyInvertedOrUnaddressableAreasAreRefused)
{
    VoxelData vd;
    voxeldata_init(&vd);
    const Area bad[] = {{0, 0, 0, 0, 4, 4}, {0, 0, 0, 4, -1, 4}, {0, 0, 0, 4, 4, 0},
                        {0, 0, 0, 4096, 4096, 4096}};
    for (const Area& a : bad) {
        EXPECT_EQ(voxeldata_allocate(&vd, &a), -1);
        EXPECT_EQ(vd.data, nullptr);
        EXPECT_EQ(area_size(&vd.area), 0);
    }
    // An area away from the origin indexes from its own corner.
    Area a = {-5, 10, 2, 3, 4, 5};
    ASSERT_EQ(voxeldata_allocate(&vd, &a), 0);
    V3i first = {-5, 10, 2}, last = {-3, 13, 6}, beyond = {-2, 13, 6};
    EXPECT_EQ(voxeldata_get(&vd, &first), vd.data);
    EXPECT_EQ(voxeldata_get(&vd, &last), vd.data + 59);
    EXPECT_EQ(voxeldata_get(&vd, &beyond), nullptr);
    voxeldata_free(&vd);
}

TEST(ViewScaling, RoundsHalfwayToEvenAndRoundTrips)
{
    V3f v = {2.5f, 3.5f, 1.25f};
    V3i p;
    scale_from_view(&v, &p);
    EXPECT_EQ(p.x, 2);
    EXPECT_EQ(p.y, 4);
    EXPECT_EQ(p.z, 2);
    for (int z = -3; z < 20; z++) {
        V3i from = {z * 3 - 7, -z, z}, back;
        V3f view;
        scale_to_view(&from, &view);
        EXPECT_FLOAT_EQ(view.z, z * 0.5f);
        scale_from_view(&view, &back);
        EXPECT_TRUE(v3i_eq(&from, &back));
    }
}

TEST(ValueHelpers, WrapLimitAndVectorArithmetic)
{
    EXPECT_FLOAT_EQ(fwrap(7, 0, 5), 2);
    EXPECT_FLOAT_EQ(fwrap(-1, 0, 5), 4);
    EXPECT_FLOAT_EQ(fwrap(5, 0, 5), 5);
    EXPECT_FLOAT_EQ(flimit(-3, -1, 1), -1);
    EXPECT_FLOAT_EQ(flimit(0.25f, -1, 1), 0.25f);
    V3f x = {1, 0, 0}, y = {0, 1, 0};
    v3f_cross(&x, &y);
    EXPECT_FLOAT_EQ(x.z, 1);
    EXPECT_FLOAT_EQ(x.x, 0);
    V3i a = {1, 2, 3}, b = {4, 6, 3};
    EXPECT_FLOAT_EQ(v3i_distance(&a, &b), 5);
}

}  // namespace
