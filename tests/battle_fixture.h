// A headless battle in the game's own world record, with the armies the new-game set-up places:
// a generated 64 x 64 x 16 map, two blocks of units near the centre, up to four buildings each.
#pragma once

#include <cstdlib>

#include "game.h"
#include "genmap.h"
#include "materialtypes.h"
#include "newgame.h"
#include "random.h"
#include "shell.h"

namespace battle {

// The topmost filled cell of the column, or z = area.z - 1 and material 0 when it is empty.
inline int column_ground(VoxelData* vd, int x, int y, u8* material)
{
    for (int z = vd->area.z + vd->area.d - 1; z >= vd->area.z; z--) {
        V3i p = {x, y, z};
        u8 m = voxeldata_get_material(vd, &p);
        if (m > MATERIAL_AIR) {
            *material = m;
            return z;
        }
    }
    *material = 0;
    return vd->area.z - 1;
}

// The game's own world: a map generated from `seed`. The set-up code places entities there.
inline GameEnv* make_world(int seed, int w, int h)
{
    GameEnv* env = &main_gameenv;
    gameenv_init(env);
    Area a = {0, 0, 0, w, h, 16};
    voxeldata_allocate(&env->voxeldata, &a);
    genmap(&env->voxeldata, seed);
    mysrand((unsigned)seed);
    return env;
}

// A 64 x 64 map with both armies placed exactly as a new game places them.
inline GameEnv* make_battle(int seed)
{
    GameEnv* env = make_world(seed, 64, 64);
    add_some_units();
    return env;
}

// Orders every unit of `party` to travel to cell p as one group.
inline int order_travel(GameEnv* env, int party, V3i p)
{
    int n = 0;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        n += e->party == party && e->type == ET_UNIT;
    Target t;
    t.type = TARGET_COORDS;
    t.p = p;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->party == party && e->type == ET_UNIT)
            entity_start_travel(e, &t, n);
    return n;
}

// The centre of party's units, standing on the ground.
inline V3i party_centre(GameEnv* env, int party)
{
    int sx = 0, sy = 0, n = 0;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->party == party && e->type == ET_UNIT) {
            sx += e->p0.x;
            sy += e->p0.y;
            n++;
        }
    if (n == 0)
        return {0, 0, 0};
    u8 m;
    int x = sx / n, y = sy / n;
    return {x, y, column_ground(&env->voxeldata, x, y, &m) + 1};
}

}  // namespace battle
