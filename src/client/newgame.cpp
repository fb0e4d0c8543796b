#include "newgame.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <SDL/SDL.h>

#include "camera.h"
#include "game.h"
#include "genmap.h"
#include "genmesh.h"
#include "materialtypes.h"
#include "mesh.h"
#include "models.h"
#include "pathfind.h"
#include "random.h"
#include "sound.h"
#include "worldhash.h"
#include "shell.h"
#include "voxel.h"

namespace {

constexpr int WORLD_W = 64;
constexpr int WORLD_H = 64;
constexpr int WORLD_D = 16;
constexpr float SPRITE_CELL = 1.0f / 16;

bool is_ground(u8 material)
{
    return material > MATERIAL_AIR;
}

// The highest ground cell of the column (x, y) and its material; area.z - 1 and 0 without ground.
int find_ground(int x, int y, u8* material)
{
    const VoxelData* vd = &main_gameenv.voxeldata;
    for (int z = vd->area.z + vd->area.d - 1; z >= vd->area.z; z--) {
        V3i p = {x, y, z};
        u8 m = voxeldata_get_material(vd, &p);
        if (is_ground(m)) {
            *material = m;
            return z;
        }
    }
    *material = MATERIAL_NONE;
    return vd->area.z - 1;
}

// The highest ground under a 2 x 2 footprint with its corner at (x, y), and the material that
// stopped the scan (the first of the four columns, in order, that reaches that height).
int find_footprint_ground(int x, int y, u8* material)
{
    static const int corners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    const VoxelData* vd = &main_gameenv.voxeldata;
    for (int z = vd->area.z + vd->area.d - 1; z >= vd->area.z; z--) {
        for (const auto& c : corners) {
            V3i p = {x + c[0], y + c[1], z};
            u8 m = voxeldata_get_material(vd, &p);
            if (is_ground(m)) {
                *material = m;
                return z;
            }
        }
    }
    *material = MATERIAL_NONE;
    return vd->area.z - 1;
}

// A fresh entity with its defaults and the next uid, or null (with a message) when memory is out.
Entity* new_entity(int party)
{
    Entity* e = (Entity*)std::malloc(sizeof(Entity));
    if (!e) {
        std::fprintf(stderr, "create_game: out of memory for an entity\n");
        return nullptr;
    }
    entity_init(e);
    e->uid = (u32)next_entity_uid++;
    e->party = party;
    return e;
}

void place_entity(Entity* e, int x, int y, int z)
{
    V3i p = {x, y, z};
    entity_set_pos(e, &p);
    gameenv_add_entity(&main_gameenv, e);
}

// A random sign for a random magnitude: odd draws give +1, even draws -1.
int random_offset(int d)
{
    int magnitude = myrand_range(d, 7);
    return (myrand() % 2) ? magnitude : -magnitude;
}

}  // namespace

void make_missile_unit(Entity* e)
{
    e->tx_main = TxCoords{0, 0, SPRITE_CELL, SPRITE_CELL};
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
}

void make_turret_unit(Entity* e)
{
    e->tx_main = TxCoords{0, 0.125f, SPRITE_CELL, SPRITE_CELL};
    e->speed = 1.0f;
    e->speed_uphill = 1.0f;
    e->turn_speed = 0.2f;
    e->can_attack = true;
    e->peripheral = PT_TURRET;
    e->peripheral_tx = TxCoords{0, 0.25f, SPRITE_CELL, SPRITE_CELL};
    e->durability = 5.0f;
}

void make_carage_building(Entity* e)
{
    e->type = ET_BUILDING;
    e->base_graphflags = 0;
    e->durability = 10.0f;
    v3i_set_xyz(&e->building_size, 2, 2, 1);
    e->size = 2.0f;
    e->draw_func = draw_carage;
}

void make_turret_building(Entity* e)
{
    e->type = ET_BUILDING;
    e->base_graphflags = 0;
    e->durability = 15.0f;
    v3i_set_xyz(&e->building_size, 1, 1, 1);
    e->size = 1.0f;
    e->draw_func = draw_turret;
    e->can_attack = true;
    e->peripheral = PT_TURRET;
    v3f_set_xyz(&e->peripheral_pf, 0, 0, 0.75f);
    e->peripheral_tx = TxCoords{0, 0.25f, SPRITE_CELL, SPRITE_CELL};
    e->projectile_type = PT_BULLET;
    e->projectile_power = 2.0f;
}

void add_entity_bunch(int centerx, int centery, int d, int party)
{
    for (int x = -(d / 2); x < d - d / 2; x++) {
        for (int y = -(d / 2); y < d - d / 2; y++) {
            int cx = centerx + x, cy = centery + y;
            u8 material;
            int z = find_ground(cx, cy, &material);
            if (material == MATERIAL_TREE)
                continue;
            Entity* e = new_entity(party);
            if (!e)
                return;
            // Only a missile unit can stand on water.
            int r = myrand_range(0, 1);
            if (r == 0 || material == MATERIAL_WATER)
                make_missile_unit(e);
            else
                make_turret_unit(e);
            place_entity(e, cx, cy, z + 1);
        }
    }
}

void add_building_bunch(int centerx, int centery, int d, int party)
{
    for (int kx = -(d / 2); kx < d - d / 2; kx++) {
        for (int ky = -(d / 2); ky < d - d / 2; ky++) {
            int x = centerx + 3 * kx, y = centery + 3 * ky;
            u8 material;
            int z = find_footprint_ground(x, y, &material);
            if (material == MATERIAL_TREE)
                continue;
            Entity* e = new_entity(party);
            if (!e)
                return;
            e->type = ET_BUILDING;
            e->base_graphflags = 0;
            if (myrand_range(0, 1) == 0)
                make_carage_building(e);
            else
                make_turret_building(e);
            place_entity(e, x, y, z + 1);
        }
    }
}

void add_some_units()
{
    // The draws share one generator, so their order fixes the armies of a given start seed.
    int d = myrand_range(3, 5);
    int dx1 = random_offset(d);
    int dy1 = random_offset(d);
    int dx2 = random_offset(d);
    int dy2 = random_offset(d);
    add_entity_bunch(32 + dx1, 32 + dy1, d, 0);
    add_entity_bunch(32 + dx2, 32 + dy2, d, 1);
    add_building_bunch(28, 28, 2, 0);
    add_building_bunch(36, 36, 2, 1);
}

GameStart main_game_start = {};

namespace {

// Notes what the world of a new game came from, right before its armies are placed.
void note_start(s64 second)
{
    const VoxelData* vd = &main_gameenv.voxeldata;
    GameStart* st = &main_game_start;
    *st = GameStart{};
    st->second = second;
    st->generator = myrand_state();
    st->uid_counter = (u32)next_entity_uid;
    st->terrain = terrain_hash(vd);
    st->map_w = (u16)vd->area.w;
    st->map_h = (u16)vd->area.h;
    st->map_d = (u16)vd->area.d;
    st->mode = 0;
    st->controllers[0] = st->controllers[1] = CONTROLLER_LOCAL;
    // A shot or an answer draws from the generator only when its collection has a sound.
    for (int i = 0; i < 6; i++)
        if (sound_collection_size(GAMERECORD_SOUND_COLLECTIONS[i]) > 0)
            st->sounds |= (u8)(1 << i);
}

}  // namespace

bool create_world_at(s64 second)
{
    Area area;
    area_set_xyzwhd(&area, 0, 0, 0, WORLD_W, WORLD_H, WORLD_D);
    if (voxeldata_allocate(&main_gameenv.voxeldata, &area) != 0)
        return false;
    genmap(&main_gameenv.voxeldata, (int)second);
    gameenv_terrain_final(&main_gameenv);
    note_start(second);
    add_some_units();
    return true;
}

void create_game()
{
    create_game_at((s64)std::time(nullptr));
}

void create_game_at(s64 second)
{
    // Nothing pointed at or dragged can survive from a previous game.
    pointedthing_init(&main_pointed_thing);
    main_rdown_target.type = TARGET_NONE;

    Area area;
    area_set_xyzwhd(&area, 0, 0, 0, WORLD_W, WORLD_H, WORLD_D);
    if (voxeldata_allocate(&main_gameenv.voxeldata, &area) != 0) {
        std::fprintf(stderr, "create_game: out of memory for the world\n");
        return;
    }

    std::printf("Generating map...\n");
    u32 start = SDL_GetTicks();
    genmap(&main_gameenv.voxeldata, (int)second);
    std::printf("Done in %i ms.\n", (int)(SDL_GetTicks() - start));

    std::printf("Generating mesh...\n");
    start = SDL_GetTicks();
    genmesh(&main_gameenv.voxeldata, &main_gameenv.voxeldata.area, &main_voxel_mesh);
    main_voxel_mesh.texture_handle = main_voxel_texture;
    std::printf("Done in %i ms.\n", (int)(SDL_GetTicks() - start));
    gameenv_terrain_final(&main_gameenv);

    note_start(second);
    add_some_units();

    // Looking at the middle of the map from the south, about 50 degrees down.
    main_cam_pitch = -0.86393797f;
    main_cam_yaw = 1.5707964f;
    v3f_set_xyz(&main_cam_pos, area.w / 2 - 0.5f, area.h / 2 - 17.1f, area.d / 4 + 15.2f);
}
