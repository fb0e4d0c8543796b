// A headless battle set up the way a new game places its armies: a generated 64 x 64 x 16 map,
// two blocks of missile and turret units near the centre and up to four buildings per party.
#pragma once

#include <cstdlib>

#include "game.h"
#include "genmap.h"
#include "materialtypes.h"
#include "random.h"

namespace battle {

inline u32 next_uid = 1;

inline Entity* new_entity(GameEnv* env, int party)
{
    Entity* e = (Entity*)std::malloc(sizeof(Entity));
    entity_init(e);
    e->uid = next_uid++;
    e->party = party;
    list_insert_head(&env->entities, e);
    return e;
}

// The topmost filled cell of the column at or below the area's top, or z = area.z - 1 and
// material 0 when the column is empty.
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

inline void add_entity_bunch(GameEnv* env, int centerx, int centery, int d, int party)
{
    for (int x = -(d / 2); x < d - d / 2; x++)
        for (int y = -(d / 2); y < d - d / 2; y++) {
            u8 m;
            int z = column_ground(&env->voxeldata, centerx + x, centery + y, &m);
            if (m == MATERIAL_TREE)
                continue;
            Entity* e = new_entity(env, party);
            int r = myrand_range(0, 1);
            if (r == 0 || m == MATERIAL_WATER) {
                e->tx_main = {0, 0, 1 / 16.0f, 1 / 16.0f};
                e->speed = 3.0f;
                e->speed_uphill = 2.0f;
                e->turn_speed = 1.0f;
                e->base_graphflags |= GF_ON_WATER;
                e->can_attack = true;
                e->projectile_type = PT_MISSILE;
                e->projectile_speed = 1.5f;
                e->shoot_sound = "shoot_missile";
                e->shoot_requires_body_aim = true;
                e->double_weapon = true;
                e->durability = 2.2f;
            } else {
                e->tx_main = {0, 0.125f, 1 / 16.0f, 1 / 16.0f};
                e->speed = 1.0f;
                e->speed_uphill = 1.0f;
                e->turn_speed = 0.2f;
                e->can_attack = true;
                e->peripheral = PT_TURRET;
                e->peripheral_tx = {0, 0.25f, 1 / 16.0f, 1 / 16.0f};
                e->durability = 5.0f;
            }
            V3i p = {centerx + x, centery + y, z + 1};
            entity_set_pos(e, &p);
        }
}

inline void add_building_bunch(GameEnv* env, int centerx, int centery, int d, int party)
{
    VoxelData* vd = &env->voxeldata;
    for (int kx = -(d / 2); kx < d - d / 2; kx++)
        for (int ky = -(d / 2); ky < d - d / 2; ky++) {
            int x = centerx + 3 * kx, y = centery + 3 * ky;
            int z = vd->area.z - 1;
            u8 m = 0;
            for (int zz = vd->area.z + vd->area.d - 1; zz >= vd->area.z && m == 0; zz--) {
                const V3i cells[4] = {{x, y, zz}, {x + 1, y, zz}, {x, y + 1, zz}, {x + 1, y + 1, zz}};
                for (const V3i& c : cells) {
                    u8 cm = voxeldata_get_material(vd, &c);
                    if (cm > MATERIAL_AIR) {
                        m = cm;
                        z = zz;
                        break;
                    }
                }
            }
            if (m == MATERIAL_TREE)
                continue;
            Entity* e = new_entity(env, party);
            e->type = ET_BUILDING;
            e->base_graphflags = 0;
            if (myrand_range(0, 1) == 0) {
                e->durability = 10.0f;
                e->building_size = {2, 2, 1};
                e->size = 2.0f;
            } else {
                e->durability = 15.0f;
                e->can_attack = true;
                e->peripheral = PT_TURRET;
                e->peripheral_pf = {0, 0, 0.75f};
                e->peripheral_tx = {0, 0.25f, 1 / 16.0f, 1 / 16.0f};
                e->projectile_type = PT_BULLET;
                e->projectile_power = 2.0f;
            }
            V3i p = {x, y, z + 1};
            entity_set_pos(e, &p);
        }
}

// A generated map of the given size with both armies; the generator is seeded first.
inline void make_battle(GameEnv* env, int seed, int w = 64, int h = 64)
{
    gameenv_init(env);
    Area a = {0, 0, 0, w, h, 16};
    voxeldata_allocate(&env->voxeldata, &a);
    genmap(&env->voxeldata, seed);
    mysrand((unsigned)seed);
    int cx = w / 2, cy = h / 2;
    int d = myrand_range(3, 5);
    int off[4];
    for (int& o : off) {
        int magnitude = myrand_range(d, 7);
        o = myrand() % 2 == 1 ? magnitude : -magnitude;
    }
    add_entity_bunch(env, cx + off[0], cy + off[1], d, 0);
    add_entity_bunch(env, cx + off[2], cy + off[3], d, 1);
    add_building_bunch(env, cx - 4, cy - 4, 2, 0);
    add_building_bunch(env, cx + 4, cy + 4, 2, 1);
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
