#include "materials.h"

#include <new>

namespace {

// The tree: two vertical quads crossing in the middle of the cell, one cell wide and two
// tall, standing on the bottom of the cell; both show the whole of atlas cell 7.
struct TreeCorner {
    float x, y, z;  // offset from the cell centre in voxel units; z from the cell's bottom
};
constexpr TreeCorner tree_corners[8] = {
    {-0.5f, 0, 2}, {0.5f, 0, 2}, {0.5f, 0, 0}, {-0.5f, 0, 0},
    {0, -0.5f, 2}, {0, 0.5f, 2}, {0, 0.5f, 0}, {0, -0.5f, 0},
};
constexpr float tree_txcoords[4][2] = {
    {449 / 1024.0f, 1 / 1024.0f},
    {511 / 1024.0f, 1 / 1024.0f},
    {511 / 1024.0f, 63 / 1024.0f},
    {449 / 1024.0f, 63 / 1024.0f},
};
constexpr int tree_triangles[12] = {0, 1, 2, 2, 3, 0, 4, 5, 6, 6, 7, 4};
constexpr float tree_brightness = 0.588f;

MeshPiece* make_tree_mesh(const V3i* p0)
{
    MeshPiece* p = new (std::nothrow) MeshPiece;
    if (!p)
        return nullptr;
    meshpiece_init(p);
    if (meshpiece_allocate(p, 12) != 0) {
        delete p;
        return nullptr;
    }
    for (int i = 0; i < 12; i++) {
        int k = tree_triangles[i];
        const TreeCorner& c = tree_corners[k];
        p->vertex_list[i * 3 + 0] = (float)p0->x + c.x;
        p->vertex_list[i * 3 + 1] = (float)p0->y + c.y;
        p->vertex_list[i * 3 + 2] = ((float)p0->z - 0.5f + c.z) * 0.5f;
        for (int j = 0; j < 3; j++)
            p->color_list[i * 3 + j] = tree_brightness;
        p->txcoord_list[i * 2 + 0] = tree_txcoords[k % 4][0];
        p->txcoord_list[i * 2 + 1] = tree_txcoords[k % 4][1];
    }
    return p;
}

}  // namespace

int facedir_to_index(int x, int y, int z)
{
    if (x == 0 && y == 0 && z == 1)
        return 0;
    if (x == 0 && y == 0 && z == -1)
        return 1;
    if (x == 1 && y == 0 && z == 0)
        return 2;
    if (x == -1 && y == 0 && z == 0)
        return 3;
    if (x == 0 && y == 1 && z == 0)
        return 4;
    if (x == 0 && y == -1 && z == 0)
        return 5;
    return 0;
}

int material_shades_light(int m)
{
    return mfeats[m].shades_light;
}

MeshPiece* get_custom_material_mesh(int m, const V3i* p0)
{
    if (m == MATERIAL_TREE)
        return make_tree_mesh(p0);
    return nullptr;
}
