// A headless battle in the game's own world record, with the armies the new-game set-up places:
// a generated 64 x 64 x 16 map, two blocks of units near the centre, up to four buildings each.
#pragma once

#include <cstdlib>
#include <cstring>

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

// The orders of the recorded battles, given before each frame: party 0 marches on party 1 at
// the start, and party 1 answers halfway through the `frames`.
inline void recorded_orders(GameEnv* env, int frame, int frames)
{
    if (frame == 0)
        order_travel(env, 0, party_centre(env, 1));
    if (frame == frames / 2)
        order_travel(env, 1, party_centre(env, 0));
}

// FNV-1a style step of the frame records.
inline unsigned long long mix(unsigned long long h, unsigned long long v)
{
    return (h ^ v) * 1099511628211ull;
}

inline unsigned long long bits(float f)
{
    unsigned u;
    std::memcpy(&u, &f, sizeof(u));
    return u;
}

// One frame of the world as one number: every entity's uid (counted from first_uid, since uids
// keep counting across battles), exact position, health, task, cell and headings, and every
// projectile's position, as bit patterns in list order. The recorded battles are made of these.
inline unsigned long long frame_hash(GameEnv* env, u32 first_uid)
{
    unsigned long long h = 14695981039346656037ull;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        h = mix(h, e->uid - first_uid);
        h = mix(h, bits(e->pf.x));
        h = mix(h, bits(e->pf.y));
        h = mix(h, bits(e->pf.z));
        h = mix(h, bits(e->health));
        h = mix(h, e->task.type);
        h = mix(h, (unsigned long long)(u32)e->p1.x << 32 ^ (u32)e->p1.y << 16 ^ (u32)e->p1.z);
        h = mix(h, bits(e->yaw));
        h = mix(h, bits(e->peripheral_yaw));
    }
    for (Projectile* pr = env->projectiles.lh_first; pr; pr = pr->entries.le_next) {
        h = mix(h, bits(pr->pos.x));
        h = mix(h, bits(pr->pos.z));
    }
    return h;
}

}  // namespace battle
