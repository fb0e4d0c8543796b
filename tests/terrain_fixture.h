// Random hilly terrain for route-search tests and benchmarks: smooth ground with cliffs, a water
// level and trees, drawn from the game's generator so that a seed gives the same world.
#pragma once

#include <vector>

#include "world_fixture.h"

inline void make_hilly_world(GameEnv* env, int w, int h, int d, unsigned seed)
{
    gameenv_init(env);
    Area a = {0, 0, 0, w, h, d};
    voxeldata_allocate(&env->voxeldata, &a);
    mysrand(seed);
    // A coarse grid of heights, blended and cut into steps.
    int gw = w / 8 + 2, gh = h / 8 + 2;
    std::vector<int> grid(gw * gh);
    for (int& v : grid)
        v = myrand_range(2, d - 5);
    for (int x = 0; x < w; x++)
        for (int y = 0; y < h; y++) {
            float fx = x / 8.0f, fy = y / 8.0f;
            int ix = (int)fx, iy = (int)fy;
            float tx = fx - ix, ty = fy - iy;
            float v = grid[ix * gh + iy] * (1 - tx) * (1 - ty) + grid[(ix + 1) * gh + iy] * tx * (1 - ty) +
                      grid[ix * gh + iy + 1] * (1 - tx) * ty + grid[(ix + 1) * gh + iy + 1] * tx * ty;
            int top = (int)v + (myrand() % 7 == 0 ? 1 : 0);
            for (int z = 0; z < d; z++) {
                u8 m = MATERIAL_AIR;
                if (z < top)
                    m = MATERIAL_STONE;
                else if (z == top)
                    m = MATERIAL_GRASS;
                else if (z <= 3)
                    m = MATERIAL_WATER;
                set_material(env, x, y, z, m);
            }
            if (top > 3 && top + 1 < d && myrand() % 23 == 0)
                set_material(env, x, y, top + 1, MATERIAL_TREE);
        }
}

// The cell above the highest filled cell of column (x, y), or z = -1 when the column is empty
// or ends in water or a tree.
inline V3i ground_cell(GameEnv* env, int x, int y)
{
    VoxelData* vd = &env->voxeldata;
    for (int z = vd->area.z + vd->area.d - 1; z >= vd->area.z; z--) {
        V3i p = {x, y, z};
        u8 m = voxeldata_get_material(vd, &p);
        if (m > MATERIAL_AIR) {
            if (m == MATERIAL_WATER || m == MATERIAL_TREE || z + 1 >= vd->area.z + vd->area.d)
                break;
            return {x, y, z + 1};
        }
    }
    return {x, y, -1};
}
