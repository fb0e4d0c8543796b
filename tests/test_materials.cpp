#include "materials.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

// The table is compile-time data: it can be read in constant expressions.
static_assert(mfeats[MATERIAL_WATER].solidness == 2 && !mfeats[MATERIAL_TREE].solidness);

constexpr float px(int n)
{
    return n / 1024.0f;
}

void expect_rect(const TxCoords& t, int x, int y, int w, int h)
{
    EXPECT_EQ(t.x, px(x));
    EXPECT_EQ(t.y, px(y));
    EXPECT_EQ(t.w, px(w));
    EXPECT_EQ(t.h, px(h));
}

TEST(Materials, FaceIndexOfEachAxisAndOfAnythingElse)
{
    EXPECT_EQ(facedir_to_index(0, 0, 1), 0);
    EXPECT_EQ(facedir_to_index(0, 0, -1), 1);
    EXPECT_EQ(facedir_to_index(1, 0, 0), 2);
    EXPECT_EQ(facedir_to_index(-1, 0, 0), 3);
    EXPECT_EQ(facedir_to_index(0, 1, 0), 4);
    EXPECT_EQ(facedir_to_index(0, -1, 0), 5);
    EXPECT_EQ(facedir_to_index(0, 0, 0), 0);
    EXPECT_EQ(facedir_to_index(1, 1, 0), 0);
    EXPECT_EQ(facedir_to_index(0, -2, 0), 0);
}

TEST(Materials, OnlyPlacedGroundWaterAndTreesShadeLight)
{
    for (int m = 0; m < 256; m++)
        EXPECT_EQ(material_shades_light(m), m >= 3 && m <= 8) << "material " << m;
}

TEST(Materials, SolidnessDecidesWhereFacesGo)
{
    int ground = mfeats[MATERIAL_STONE].solidness;
    for (int m : {MATERIAL_DIRT, MATERIAL_GRASS, MATERIAL_SAND, MATERIAL_WATER, MATERIAL_NONE})
        EXPECT_EQ(mfeats[m].solidness, ground) << "material " << m;
    EXPECT_GT(ground, mfeats[MATERIAL_AIR].solidness);
    EXPECT_EQ(mfeats[MATERIAL_TREE].solidness, mfeats[MATERIAL_AIR].solidness);
    EXPECT_EQ(mfeats[MATERIAL_OUTSIDE].solidness, -1);
    for (int m = 9; m < 256; m++) {
        EXPECT_EQ(mfeats[m].solidness, mfeats[MATERIAL_AIR].solidness);
        EXPECT_FALSE(mfeats[m].uses_custom_mesh);
    }
    for (int m = 0; m < 256; m++)
        EXPECT_EQ(mfeats[m].uses_custom_mesh, m == MATERIAL_TREE) << "material " << m;
}

TEST(Materials, AtlasRectanglesPerFace)
{
    const MFeat& grass = mfeats[MATERIAL_GRASS];
    expect_rect(grass.txcoords[0], 193, 1, 62, 62);
    for (int face = 1; face < 6; face++)
        expect_rect(grass.txcoords[face], 129, 1, 62, 30);
    for (int face = 0; face < 6; face++) {
        expect_rect(mfeats[MATERIAL_NONE].txcoords[face], 65, 1, 62, 62);
        expect_rect(mfeats[MATERIAL_DIRT].txcoords[face], 129, 1, 62, 30);
        expect_rect(mfeats[MATERIAL_STONE].txcoords[face], 257, 1, 62, 62);
        expect_rect(mfeats[MATERIAL_SAND].txcoords[face], 321, 1, 62, 62);
        expect_rect(mfeats[MATERIAL_WATER].txcoords[face], 385, 1, 62, 62);
        expect_rect(mfeats[MATERIAL_TREE].txcoords[face], 0, 0, 0, 0);
    }
}

TEST(Materials, OnlyTheTreeHasACustomMesh)
{
    V3i p = {10, 20, 5};
    for (int m = 0; m < 256; m++) {
        if (m != MATERIAL_TREE) {
            EXPECT_EQ(get_custom_material_mesh(m, &p), nullptr) << "material " << m;
        }
    }
}

TEST(Materials, TreeIsTwoCrossedQuadsStandingOnTheCellBottom)
{
    V3i p = {10, 20, 5};
    MeshPiece* tree = get_custom_material_mesh(MATERIAL_TREE, &p);
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->vertex_count, 12u);
    const GLfloat* v = tree->vertex_list;
    EXPECT_FLOAT_EQ(v[0], 9.5f);
    EXPECT_FLOAT_EQ(v[1], 20.0f);
    EXPECT_FLOAT_EQ(v[2], 3.25f);
    EXPECT_EQ(tree->txcoord_list[0], px(449));
    EXPECT_EQ(tree->txcoord_list[1], px(1));
    float zmin = 1e9f, zmax = -1e9f;
    for (int i = 0; i < 12; i++) {
        float x = v[i * 3], y = v[i * 3 + 1], z = v[i * 3 + 2];
        zmin = std::min(zmin, z);
        zmax = std::max(zmax, z);
        EXPECT_GE(x, 9.5f);
        EXPECT_LE(x, 10.5f);
        EXPECT_GE(y, 19.5f);
        EXPECT_LE(y, 20.5f);
        // The first quad lies in the x-z plane, the second in the y-z plane.
        if (i < 6) {
            EXPECT_FLOAT_EQ(y, 20.0f);
        } else {
            EXPECT_FLOAT_EQ(x, 10.0f);
        }
        for (int c = 0; c < 3; c++)
            EXPECT_FLOAT_EQ(tree->color_list[i * 3 + c], 0.588f);
        // Both quads show the same picture, its top edge at the top of the quad.
        if (i >= 6) {
            EXPECT_EQ(tree->txcoord_list[i * 2], tree->txcoord_list[(i - 6) * 2]);
            EXPECT_EQ(tree->txcoord_list[i * 2 + 1], tree->txcoord_list[(i - 6) * 2 + 1]);
        }
        EXPECT_EQ(tree->txcoord_list[i * 2 + 1] == px(1), z == 3.25f);
    }
    EXPECT_FLOAT_EQ(zmin, 2.25f);
    EXPECT_FLOAT_EQ(zmax, 3.25f);
    meshpiece_free(tree);
    delete tree;
}

}  // namespace
