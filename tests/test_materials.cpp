#include "materials.h"

#include <gtest/gtest.h>

namespace {

// The table is compile-time data.
static_assert(mfeats[MATERIAL_WATER].solidness == mfeats[MATERIAL_STONE].solidness);

constexpr float kTexel = 1 / 1024.0f;

TEST(Materials, FaceIndexAndShading)
{
    const int dirs[6][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(facedir_to_index(dirs[i][0], dirs[i][1], dirs[i][2]), i);
    EXPECT_EQ(facedir_to_index(0, 0, 0), 0);
    EXPECT_EQ(facedir_to_index(1, 1, 0), 0);
    EXPECT_EQ(facedir_to_index(0, -2, 0), 0);
    for (int m = 0; m < 256; m++)
        EXPECT_EQ(material_shades_light(m), m >= 3 && m <= 8) << "material " << m;
}

// What the mesher relies on: water is as solid as ground, the tree and unused numbers as
// empty as air, cells outside suppress faces, only the tree has its own mesh.
TEST(Materials, SolidnessAndPictures)
{
    for (int m : {MATERIAL_NONE, MATERIAL_DIRT, MATERIAL_GRASS, MATERIAL_SAND, MATERIAL_WATER})
        EXPECT_EQ(mfeats[m].solidness, mfeats[MATERIAL_STONE].solidness) << "material " << m;
    EXPECT_GT(mfeats[MATERIAL_STONE].solidness, mfeats[MATERIAL_AIR].solidness);
    EXPECT_EQ(mfeats[MATERIAL_OUTSIDE].solidness, -1);
    for (int m = 0; m < 256; m++) {
        EXPECT_EQ(mfeats[m].uses_custom_mesh, m == MATERIAL_TREE) << "material " << m;
        if (m >= MATERIAL_TREE) {
            EXPECT_EQ(mfeats[m].solidness, mfeats[MATERIAL_AIR].solidness) << "material " << m;
        }
    }
    // Grass: the cell 3 picture on top, the upper half of cell 2 on the sides and bottom.
    const TxCoords* t = mfeats[MATERIAL_GRASS].txcoords;
    EXPECT_EQ(t[0].x, 193 * kTexel);
    EXPECT_EQ(t[0].h, 62 * kTexel);
    for (int face = 1; face < 6; face++) {
        EXPECT_EQ(t[face].x, 129 * kTexel);
        EXPECT_EQ(t[face].y, 1 * kTexel);
        EXPECT_EQ(t[face].w, 62 * kTexel);
        EXPECT_EQ(t[face].h, 30 * kTexel);
    }
    EXPECT_EQ(mfeats[MATERIAL_WATER].txcoords[3].x, 385 * kTexel);
}

TEST(Materials, TreeIsTwoCrossedQuadsStandingOnTheCellBottom)
{
    V3i p = {10, 20, 5};
    for (int m = 0; m < 256; m++) {
        if (m != MATERIAL_TREE) {
            EXPECT_EQ(get_custom_material_mesh(m, &p), nullptr) << "material " << m;
        }
    }
    MeshPiece* tree = get_custom_material_mesh(MATERIAL_TREE, &p);
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->vertex_count, 12u);
    const GLfloat* v = tree->vertex_list;
    EXPECT_EQ(v[0], 9.5f);
    EXPECT_EQ(v[1], 20.0f);
    EXPECT_EQ(v[2], 3.25f);
    EXPECT_EQ(tree->txcoord_list[0], 449 * kTexel);
    EXPECT_EQ(tree->txcoord_list[1], 1 * kTexel);
    for (int i = 0; i < 12; i++) {
        float x = v[i * 3], y = v[i * 3 + 1], z = v[i * 3 + 2];
        // The first quad lies in the x-z plane, the second in the y-z plane.
        EXPECT_EQ(i < 6 ? y : x, i < 6 ? 20.0f : 10.0f) << "vertex " << i;
        EXPECT_TRUE(x >= 9.5f && x <= 10.5f && y >= 19.5f && y <= 20.5f) << "vertex " << i;
        EXPECT_TRUE(z == 2.25f || z == 3.25f) << "vertex " << i;
        // Both quads show the picture upright: its top row at the top of the quad.
        EXPECT_EQ(tree->txcoord_list[i * 2 + 1], z == 3.25f ? 1 * kTexel : 63 * kTexel);
        EXPECT_EQ(tree->txcoord_list[i * 2], tree->txcoord_list[(i % 6) * 2]);
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(tree->color_list[i * 3 + c], 0.588f);
    }
    meshpiece_free(tree);
    delete tree;
}

}  // namespace
