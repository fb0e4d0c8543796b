// Cell occupation and single-step passability.
#include "pathfind.h"

#include "game.h"
#include "materialtypes.h"

const V3i pathfind_neighbor_dps[18] = {
    {1, 0, 0},  {-1, 0, 0},  {0, 1, 0},  {0, -1, 0},  {1, 1, 0},   {1, -1, 0},
    {-1, 1, 0}, {-1, -1, 0}, {1, 0, 1},  {1, 0, -1},  {-1, 0, 1},  {-1, 0, -1},
    {0, 1, 1},  {0, -1, 1},  {0, 1, -1}, {0, -1, -1}, {0, 0, 1},   {0, 0, -1},
};

namespace {

// Materials 0..2 (nothing, outside, air) leave a cell empty; everything else fills it.
bool check_empty_material(u8 m)
{
    return m <= MATERIAL_AIR;
}

bool check_is_empty(VoxelData* vd, V3i* p0)
{
    return check_empty_material(voxeldata_get_material(vd, p0));
}

// One step apart: every component in -1..1, not all zero, not all three non-zero.
bool check_is_neighbor(V3i* p1, V3i* p2)
{
    int dx = p2->x - p1->x, dy = p2->y - p1->y, dz = p2->z - p1->z;
    if (dx < -1 || dx > 1 || dy < -1 || dy > 1 || dz < -1 || dz > 1)
        return false;
    if (dx == 0 && dy == 0 && dz == 0)
        return false;
    return !(dx != 0 && dy != 0 && dz != 0);
}

}  // namespace

void check_content(CheckedContent* cc, V3i* p, GameEnv* env)
{
    cc->type = CCT_NONE;
    Voxel* v = voxeldata_get(&env->voxeldata, p);
    if (v && !check_empty_material(v->material)) {
        cc->type = CCT_VOXEL;
        cc->voxel = *v;
        return;
    }
    Entity* e = env->scan_for_content ? occupancy_first_scan(env, p) : occupancy_first(env, p);
    if (e) {
        cc->type = CCT_ENTITY;
        cc->entity = e;
    }
}

bool is_connected(V3i* from, V3i* to, GameEnv* env, int flags)
{
    // Every test is a plain question about the world, so their order does not change the answer.
    if (!check_is_empty(&env->voxeldata, to) || !check_is_neighbor(from, to))
        return false;
    return is_connected_empty_neighbor(from, to, &env->voxeldata, env, flags);
}
