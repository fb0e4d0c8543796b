#include "genmap.h"

#include "materialtypes.h"
#include "random.h"

namespace {

enum PlacementKind { PUT_NOTHING, PUT_TREE_1 };

// seed + k with the wrap-around of 32-bit arithmetic, so any seed is a valid map.
int offset_seed(int seed, int k)
{
    return (int)((unsigned)seed + (unsigned)k);
}

// Height of the topmost ground cell of the column (x, y), clamped to 0..h_limit.
int column_height(int x, int y, int seed, int water_level, int h_limit)
{
    double fx = x, fy = y;
    int h = (int)(noise2d_perlin(fx / 20.0, fy / 20.0, seed, 2, 0.4) * 2.5 - 1.0 + (water_level + 1));
    // Plateaus rise along the ridges of one field, except where the ridges of a second run.
    float a = (float)(contour(noise2d_perlin(fx / 24.0, fy / 24.0, offset_seed(seed, 1), 2, 0.6) * 1.5) * 1.4);
    float b = (float)contour(noise2d_perlin(fx / 24.0, fy / 24.0, offset_seed(seed, 2), 2, 0.6) * 2.0);
    if (a > 0.5f && b < 0.5f)
        h = (int)(h + (a - 0.5) * 8.0);
    if (h < 0)
        h = 0;
    if (h > h_limit)
        h = h_limit;
    return h;
}

void fill_column(VoxelData* vd, int x, int y, int seed, int water_level, int h_limit)
{
    const Area& area = vd->area;
    int h = column_height(x, y, seed, water_level, h_limit);
    bool have_sand = noise2d_perlin(x / 20.0, y / 20.0, offset_seed(seed, 4), 2, 0.5) > 0.3;
    Voxel* column = vd->data + area_index_xyz(&area, x, y, area.z);
    for (int z = area.z; z < area.z + area.d; z++) {
        u8 m;
        if (z <= h) {
            if (have_sand && z <= water_level + 1 && z >= h - 1)
                m = MATERIAL_SAND;
            else if (z == h)
                m = MATERIAL_GRASS;
            else
                m = MATERIAL_STONE;
        } else {
            m = z <= water_level ? MATERIAL_WATER : MATERIAL_AIR;
        }
        column[z - area.z].material = m;
    }
}

PlacementKind column_placement(int x, int y, int seed)
{
    double fx = x, fy = y;
    if (noise2d_perlin(fx / 7.0, fy / 7.0, offset_seed(seed, 3), 2, 0.5) >
        noise2d(x, y, offset_seed(seed, 2)) + 0.7)
        return PUT_TREE_1;
    return PUT_NOTHING;
}

// A tree goes on top of the column's surface when that surface is grass below the top cell.
void plant_tree(VoxelData* vd, int x, int y)
{
    const Area& area = vd->area;
    Voxel* column = vd->data + area_index_xyz(&area, x, y, area.z);
    int top = area.d - 1;
    int k = top;
    while (k >= 0 && column[k].material == MATERIAL_AIR)
        k--;
    if (k < 0 || k == top)
        return;
    if (column[k].material == MATERIAL_GRASS)
        column[k + 1].material = MATERIAL_TREE;
}

}  // namespace

void genmap(VoxelData* vd, int seed)
{
    const Area& area = vd->area;
    int water_level = area.z + area.d / 2 - 2;
    int h_limit = area.z + area.d - 2;
    for (int x = area.x; x < area.x + area.w; x++)
        for (int y = area.y; y < area.y + area.h; y++)
            fill_column(vd, x, y, seed, water_level, h_limit);
    for (int x = area.x; x < area.x + area.w; x++)
        for (int y = area.y; y < area.y + area.h; y++)
            if (column_placement(x, y, seed) == PUT_TREE_1)
                plant_tree(vd, x, y);
}
