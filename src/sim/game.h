// The simulated world: entities (units, buildings, wrecks), projectiles and the per-frame update.
// Entity positions are voxel coordinates; projectile positions are view coordinates (z halved).
#pragma once

#include "entitytask.h"
#include "list.h"
#include "occupancy.h"
#include "types.h"
#include "voxel.h"

enum EntityType {
    ET_UNIT = 0,
    ET_BUILDING = 1,
};

// The part mounted on an entity and drawn on top of it.
enum PeripheralType {
    PT_NONE = 0,
    PT_TURRET = 1,  // turns on its own towards the target
    PT_CUSTOM = 2,  // a sprite from peripheral_tx with an animation frame (explosions)
};

// What happens when an entity has no task left.
enum IdleType {
    IT_NORMAL = 0,  // it starts an idle task
    IT_DELETE = 1,  // it is removed
};

enum ProjectileType {
    PT_BULLET = 0,
    PT_MISSILE = 1,
};

struct RouteMemo;

// One unit, building or wreck. Allocated with std::malloc by its creator and owned by the entity
// list of the GameEnv, which releases it with std::free.
struct Entity {
    ListEntry<Entity> entries;  // membership in GameEnv::entities
    EntityType type;
    float variation;   // personal time factor 0.5..2.0; scales every task timer
    u32 uid;           // unique identifier from the creator's running counter
    int party;         // side; -1 for nobody (wrecks)
    TxCoords tx_main;  // main sprite rectangle
    float size;        // drawing size
    float speed;              // cells per second on a level or downhill step
    float speed_uphill;       // cells per second when the target cell is higher
    float turn_speed;         // body turning rate, full turns per second
    int base_graphflags;      // GF_* movement flags; 0: never moves
    PeripheralType peripheral;
    V3f peripheral_pf;           // muzzle offset from pf, voxel units
    TxCoords peripheral_tx;      // peripheral sprite rectangle (PT_CUSTOM: frame 0)
    float peripheral_yaw_speed;  // turret turning rate, full turns per second
    bool can_attack;             // the player may order attacks
    int shoot_range;             // firing range in cells
    ProjectileType projectile_type;
    float projectile_power;  // damage power of one projectile
    float projectile_speed;  // initial projectile speed, view units per second
    const char* shoot_sound;  // sound collection played at each shot; not owned
    float reload_time;        // seconds between shots (between pairs for a double weapon)
    float reload_timer;       // seconds since the last shot
    bool shoot_requires_body_aim;  // the body must face the target before firing
    bool double_weapon;            // shots come in pairs
    float double_weapon_delay;     // seconds between the two shots of a pair
    float durability;              // divisor of incoming damage
    IdleType idle_type;
    V3i building_size;                // building extent in cells from p1
    void (*draw_func)(Entity* e);     // draws the building's model; null for sprites
    float health;                     // 1 whole; at or below 0 destroyed
    V3f pf;                           // exact position
    V3i p0;                           // cell stood in or being left
    V3i p1;                           // cell being entered (== p0 when standing); counts as occupied
    float yaw;                        // body heading, radians, atan2(dy, dx)
    int peripheral_frame;             // animation frame of a PT_CUSTOM peripheral
    float peripheral_yaw;             // turret heading
    float peripheral_wanted_yaw;      // heading the turret turns towards
    Target shoot_target;              // what the weapon aims at
    bool selected;                    // selected by the player
    float avg_speed;                  // recent progress, 0..1
    V3i arrived_to;                   // destination of the completed travel, while arrived_to_valid
    bool arrived_to_valid;
    bool first_of_double_shot;        // phase of a double weapon
    bool to_be_deleted;               // removed by the world right after its update
    EntityTask task;                  // current task; owned
    EntityTask task_queue[2];         // waiting tasks, the last one starts next; owned
    int task_queue_len;               // 0..2
    bool task_locked;                 // while true, the start operations ignore commands
    // Kept by the world's occupancy index alone (occupancy.h).
    Area occ_box;                     // the cells the index holds the entity in
    u64 occ_order;                    // list-order stamp: larger is nearer the head
    bool occ_indexed;                 // the index holds the entity
};

typedef ListHead<Entity> EntityList;

// A shot in flight; allocated and released by the world (std::calloc / std::free).
struct Projectile {
    ListEntry<Projectile> entries;  // membership in GameEnv::projectiles
    ProjectileType type;
    float power;     // damage power
    float speed;     // view units per second
    V3f pos;         // current position, view space
    V3f dest;        // destination, view space
    int target_uid;  // uid of the entity shot at (missiles follow it); -1 for a cell
    int party;       // the shooter's party; what it damages never depends on it
};

typedef ListHead<Projectile> ProjectileList;

// The whole simulated world of one game.
struct GameEnv {
    VoxelData voxeldata;         // the terrain
    EntityList entities;         // all units, buildings and wrecks; owns them
    ProjectileList projectiles;  // projectiles in flight; owns them
    Occupancy occupancy;         // which entity holds each cell, kept with the entity list
    bool scan_for_content;       // benchmarks and tests: content checks and the idle search for
                                 // enemies walk the list instead
    u64 party_hits;              // projectile hits on an entity of a party other than the
                                 // shooter's, since gameenv_init; counted, never read by the update
    RouteMemo* route_memo;       // route searches remembered since the terrain became final
                                 // (gameenv_terrain_final); owned; null: every search runs
};

// The running uid counter: the next entity created takes this uid. Never reset during a run.
// Only the new-game set-up creates entities; it lives here so that what reads the world's
// state (its hash) sees it too.
extern int next_entity_uid;

// Sets every field default and an empty task; the entity is not linked into any list.
void entity_init(Entity* e);
// Places the entity at cell p (p0 = p1 = p); a building's pf is the centre of its footprint.
// Set type and building_size first, and place the entity before it joins a world (see
// occupancy_invalidate for entities changed by hand afterwards).
void entity_set_pos(Entity* e, V3i* p);
// The unit starts entering the neighbouring cell p, which counts as its cell from now on.
void entity_set_p1(Entity* e, V3i* p, GameEnv* env);
// Replaces everything the entity does by one step into the neighbouring cell p (unless locked).
void entity_start_steptravel(Entity* e, V3i* p);
// Replaces everything the entity does by a travel to target (unless locked).
void entity_start_travel(Entity* e, Target* target, int group_size);
// Replaces everything the entity does by an attack on target (unless locked).
void entity_start_attack(Entity* e, Target* target);
// True when the entity has no task or an idle one.
bool entity_is_idle(Entity* e);
// True unless the entity has a turret that is still more than 0.03 rad off its wanted heading.
bool entity_peripheral_yaw_ready(Entity* e);
// One frame of the entity: task, turret, aim, fire, movement. dtime in seconds.
void entity_run(Entity* e, float dtime, GameEnv* env);

// Empties the world (no terrain, no entities).
void gameenv_init(GameEnv* env);
// Says that the terrain will not change again until gameenv_free: from now on route searches
// that do not treat entities as obstacles may be answered from memory (the same answers,
// faster). A new game calls it once its map is generated; worlds built by hand need not.
void gameenv_terrain_final(GameEnv* env);
// Links the entity at the head of the world's list: it becomes the first in list order.
void gameenv_add_entity(GameEnv* env, Entity* e);
// Unlinks the entity from the world's list; the caller still owns it.
void gameenv_remove_entity(GameEnv* env, Entity* e);
// Releases the terrain, every entity with its tasks and every projectile; both lists end empty.
void gameenv_free(GameEnv* env);
// One frame of the world: every entity in list order, then every projectile. dtime in seconds.
void gameenv_run(GameEnv* env, float dtime);
