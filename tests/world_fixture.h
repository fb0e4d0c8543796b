// Small hand-built worlds for the simulation tests: a flat stone floor under air, and helpers
// that create entities the way the game's set-up does (std::malloc, entity_init, head insert).
// A test that changes an entity's cells or type by hand afterwards calls occupancy_invalidate.
#pragma once

#include <cstdlib>

#include "game.h"
#include "materialtypes.h"
#include "random.h"

// A w x h x d world, stone up to and including ground_z, air above.
inline void make_flat_world(GameEnv* env, int w, int h, int d, int ground_z)
{
    gameenv_init(env);
    Area a = {0, 0, 0, w, h, d};
    voxeldata_allocate(&env->voxeldata, &a);
    for (int x = 0; x < w; x++)
        for (int y = 0; y < h; y++)
            for (int z = 0; z < d; z++) {
                V3i p = {x, y, z};
                voxeldata_get(&env->voxeldata, &p)->material =
                    z <= ground_z ? MATERIAL_STONE : MATERIAL_AIR;
            }
}

inline void set_material(GameEnv* env, int x, int y, int z, u8 m)
{
    V3i p = {x, y, z};
    voxeldata_get(&env->voxeldata, &p)->material = m;
}

// A unit with the defaults, standing at (x, y, z), inserted at the head of the list.
inline Entity* add_unit(GameEnv* env, int x, int y, int z, int party)
{
    static u32 next_uid = 1;
    Entity* e = (Entity*)std::malloc(sizeof(Entity));
    entity_init(e);
    e->uid = next_uid++;
    e->party = party;
    V3i p = {x, y, z};
    entity_set_pos(e, &p);
    gameenv_add_entity(env, e);
    return e;
}

// A projectile in view space, as a shot of `party` would leave it; target_uid -1 for a cell.
inline Projectile* add_projectile(GameEnv* env, ProjectileType type, V3f pos, V3f dest, float speed,
                                  float power = 1, int target_uid = -1, int party = 0)
{
    Projectile* pr = (Projectile*)std::calloc(1, sizeof(Projectile));
    pr->type = type;
    pr->power = power;
    pr->speed = speed;
    pr->pos = pos;
    pr->dest = dest;
    pr->target_uid = target_uid;
    pr->party = party;
    list_insert_head(&env->projectiles, pr);
    return pr;
}

inline Target coords_target(int x, int y, int z)
{
    Target t;
    t.type = TARGET_COORDS;
    t.p = {x, y, z};
    return t;
}

inline Target entity_target(Entity* e)
{
    Target t;
    t.type = TARGET_ENTITY;
    t.uid = (int)e->uid;
    return t;
}

// Runs the world for n frames of dtime seconds.
inline void run_frames(GameEnv* env, int n, float dtime)
{
    for (int i = 0; i < n; i++)
        gameenv_run(env, dtime);
}
