#include "genmap.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "materialtypes.h"
#include "random.h"

namespace {

// FNV-1a over the cells, to pin a whole map in one number.
u32 map_hash(const VoxelData& vd)
{
    u32 h = 2166136261u;
    for (int i = 0; i < area_size(&vd.area); i++)
        h = (h ^ vd.data[i].material) * 16777619u;
    return h;
}

class Map {
public:
    Map(int x, int y, int z, int w, int h, int d, int seed)
    {
        voxeldata_init(&vd);
        Area a;
        area_set_xyzwhd(&a, x, y, z, w, h, d);
        ok = voxeldata_allocate(&vd, &a) == 0;
        if (ok) {
            std::memset(vd.data, 0xee, (size_t)area_size(&a));  // catches unwritten cells
            genmap(&vd, seed);
        }
    }
    ~Map() { voxeldata_free(&vd); }
    u8 at(int x, int y, int z) const
    {
        V3i p = {x, y, z};
        return voxeldata_get_material(&vd, &p);
    }
    VoxelData vd;
    bool ok;
};

const int kSeeds[] = {0, 1, 2, 3, 7, 42, 99, 1000, 12345, -1, -7, -123456, 2147483647,
                      -2147483647 - 1, 1765155600, 1765155601, 1765159999, 1800000000, 31337, 65536};

// The map of a seed is binding. These sums come from an independent model of the
// generator's formulas (not from this code), over the 64 x 64 x 16 map of a new game.
TEST(Genmap, KnownSeedsGiveTheirMaps)
{
    struct Known {
        int seed;
        u32 hash;
        int trees;
    };
    const Known known[] = {
        {1, 0xdb70aa69u, 572},
        {1765155600, 0x4eda020bu, 321},
        {-7, 0x3c9f8be7u, 358},
        {2147483647, 0x653022fau, 288},
    };
    for (const Known& k : known) {
        Map map(0, 0, 0, 64, 64, 16, k.seed);
        ASSERT_TRUE(map.ok);
        int trees = 0;
        for (int i = 0; i < area_size(&map.vd.area); i++)
            trees += map.vd.data[i].material == MATERIAL_TREE;
        EXPECT_EQ(trees, k.trees) << "seed " << k.seed;
        EXPECT_EQ(map_hash(map.vd), k.hash) << "seed " << k.seed;
    }
}

TEST(Genmap, SameSeedSameBytesAndNoGeneratorDraws)
{
    mysrand(5);
    int expected_draw = myrand();
    mysrand(5);
    Map a(0, 0, 0, 64, 64, 16, 1234);
    EXPECT_EQ(myrand(), expected_draw);  // the generator state was not touched
    Map b(0, 0, 0, 64, 64, 16, 1234);
    Map c(0, 0, 0, 64, 64, 16, 1235);
    ASSERT_TRUE(a.ok && b.ok && c.ok);
    EXPECT_EQ(std::memcmp(a.vd.data, b.vd.data, 64 * 64 * 16), 0);
    EXPECT_NE(std::memcmp(a.vd.data, c.vd.data, 64 * 64 * 16), 0);
}

// Columns depend on their absolute coordinates only, so a map of part of the world
// matches the same cells of the whole world.
TEST(Genmap, NoiseUsesAbsoluteCoordinates)
{
    Map whole(-10, 20, 0, 64, 64, 16, 77);
    Map part(5, 30, 0, 20, 17, 16, 77);
    ASSERT_TRUE(whole.ok && part.ok);
    for (int x = 5; x < 25; x++)
        for (int y = 30; y < 47; y++)
            for (int z = 0; z < 16; z++)
                ASSERT_EQ(part.at(x, y, z), whole.at(x, y, z)) << x << "," << y << "," << z;
}

// Checks the rules every generated column follows, for a map of depth d at z 0.
void check_columns(const Map& map, int seed)
{
    const Area& a = map.vd.area;
    const int water_level = a.d / 2 - 2;
    const int h_limit = a.d - 2;
    const int top = a.d - 1;
    for (int x = a.x; x < a.x + a.w; x++) {
        for (int y = a.y; y < a.y + a.h; y++) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " column " << x << "," << y);
            // Ground from the bottom to its surface h, then water up to the water level, then air.
            int h = -1;
            while (h + 1 <= top) {
                u8 m = map.at(x, y, h + 1);
                if (m != MATERIAL_STONE && m != MATERIAL_GRASS && m != MATERIAL_SAND)
                    break;
                h++;
            }
            ASSERT_GE(h, 0) << "every column has ground at the bottom";
            ASSERT_LE(h, h_limit);
            for (int z = 0; z < h; z++) {
                u8 m = map.at(x, y, z);
                if (z < h - 1) {
                    ASSERT_EQ(m, MATERIAL_STONE) << "z " << z;
                } else {
                    ASSERT_TRUE(m == MATERIAL_STONE || m == MATERIAL_SAND) << "z " << z;
                }
            }
            u8 surface = map.at(x, y, h);
            ASSERT_TRUE(surface == MATERIAL_GRASS || surface == MATERIAL_SAND);
            // Sand lies only in the top two ground cells and never above water level + 1.
            for (int z = 0; z <= h; z++) {
                if (map.at(x, y, z) == MATERIAL_SAND) {
                    ASSERT_LE(z, water_level + 1);
                    ASSERT_GE(z, h - 1);
                }
            }
            // A sandy surface has sand beneath it too (it is at most one above the water level).
            if (surface == MATERIAL_SAND && h >= 1) {
                ASSERT_EQ(map.at(x, y, h - 1), MATERIAL_SAND);
            }
            bool tree = false;
            for (int z = h + 1; z <= top; z++) {
                u8 m = map.at(x, y, z);
                if (z <= water_level) {
                    ASSERT_EQ(m, MATERIAL_WATER) << "no air below the water level, z " << z;
                } else if (m == MATERIAL_TREE) {
                    ASSERT_EQ(z, h + 1) << "trees stand on the surface";
                    ASSERT_EQ(surface, MATERIAL_GRASS) << "trees stand on grass";
                    tree = true;
                } else {
                    ASSERT_EQ(m, MATERIAL_AIR) << "z " << z;
                }
            }
            if (map.at(x, y, top) != MATERIAL_AIR) {
                ASSERT_TRUE(tree && h == h_limit) << "the top layer is air but for trees";
            }
        }
    }
}

TEST(Genmap, ColumnRulesHoldOverManySeeds)
{
    int trees = 0, sand = 0, raised = 0;
    for (int seed : kSeeds) {
        Map map(0, 0, 0, 64, 64, 16, seed);
        ASSERT_TRUE(map.ok);
        check_columns(map, seed);
        if (HasFatalFailure())
            return;
        for (int i = 0; i < 64 * 64 * 16; i++) {
            trees += map.vd.data[i].material == MATERIAL_TREE;
            sand += map.vd.data[i].material == MATERIAL_SAND;
        }
        for (int x = 0; x < 64; x++)
            for (int y = 0; y < 64; y++)
                raised += map.at(x, y, 12) != MATERIAL_AIR;
    }
    // Each feature shows up somewhere over these seeds, so the rules above were exercised.
    EXPECT_GT(trees, 0);
    EXPECT_GT(sand, 0);
    EXPECT_GT(raised, 0);
}

TEST(Genmap, ShallowAndDeepAreasKeepTheRules)
{
    for (int d : {4, 5, 9, 30}) {
        Map map(0, 0, 0, 32, 32, d, 4242);
        ASSERT_TRUE(map.ok);
        SCOPED_TRACE(testing::Message() << "depth " << d);
        check_columns(map, 4242);
    }
}

}  // namespace
