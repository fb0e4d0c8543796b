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
    VoxelData* vd = &env->voxeldata;
    if (!(flags & (GF_WALK | GF_ON_WATER | GF_NO_GROUND)))
        return false;
    if (!check_is_empty(vd, to))
        return false;
    if (!check_is_neighbor(from, to))
        return false;
    if (flags & GF_ENTITIES_BLOCK) {
        CheckedContent cc;
        check_content(&cc, to, env);
        if (cc.type == CCT_ENTITY)
            return false;
    }
    V3i below = {to->x, to->y, to->z - 1};
    u8 m = voxeldata_get_material(vd, &below);
    if (!(flags & GF_NO_GROUND) && (check_empty_material(m) || m == MATERIAL_TREE))
        return false;
    if (!(flags & GF_ON_WATER) && m == MATERIAL_WATER)
        return false;
    int dz = to->z - from->z;
    bool horizontal = to->x != from->x || to->y != from->y;
    if (dz == 1 && horizontal) {
        // Climbing across a corner needs the cell above the start free.
        V3i above_from = {from->x, from->y, from->z + 1};
        if (!check_is_empty(vd, &above_from))
            return false;
    } else if (dz == -1 && horizontal) {
        // Descending across a corner needs the cell above the destination free.
        V3i above_to = {to->x, to->y, from->z};
        if (!check_is_empty(vd, &above_to))
            return false;
    }
    return true;
}
