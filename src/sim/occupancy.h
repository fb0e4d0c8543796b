// Which entity holds each cell of the world, kept alongside the entity list so that content and
// passability checks need not walk the list. The answer is always the list walk's answer: the
// first entity in list order that stands in (units: p1) or covers (buildings: their box) a cell.
#pragma once

#include "types.h"

struct Entity;
struct GameEnv;

// A zeroed record is a valid empty index that is built on first use.
struct Occupancy {
    Area area;         // the cells the grid covers: the terrain's box when it was built
    Entity** first;    // per cell of area: the first occupant in list order, or null; owned
    u32* count;        // per cell of area: how many entities occupy it; owned
    int outside;       // entities with cells beyond the grid; while non-zero those cells are walked
    int entity_count;  // entities in the index
    u64 next_order;    // list-order stamp for the next entity at the head; stamps grow towards it
    bool built;        // false: rebuilt from the list before its next use
};

// Empties the record without releasing anything.
void occupancy_init(Occupancy* occ);
// Releases the grid and leaves the record empty (to be rebuilt on next use).
void occupancy_free(Occupancy* occ);

// The entity has just been linked at the head of env's list.
void occupancy_insert(GameEnv* env, Entity* e);
// The entity is about to be unlinked from env's list.
void occupancy_remove(GameEnv* env, Entity* e);
// The entity's p1, type or building_size has just changed.
void occupancy_update(GameEnv* env, Entity* e);
// Entities were linked, unlinked or changed by hand: the index is rebuilt before its next use.
void occupancy_invalidate(GameEnv* env);

// The first entity in list order occupying cell p, or null; from the index.
Entity* occupancy_first(GameEnv* env, const V3i* p);
// The same answer by walking the whole entity list.
Entity* occupancy_first_scan(GameEnv* env, const V3i* p);

// The first entity in list order that belongs to a party other than `party` and nobody's (-1),
// with its p0 within `range` cells of p; null when there is none. An entity's p1 is its p0 or a
// neighbour of it, so the cells near p hold every candidate.
Entity* occupancy_first_enemy(GameEnv* env, const V3i* p, int party, int range);
// The same answer by walking the whole entity list.
Entity* occupancy_first_enemy_scan(GameEnv* env, const V3i* p, int party, int range);

// True when the index agrees with a walk of the whole list for every cell and every entity.
// Costs a pass over the grid; for tests and debug builds.
bool occupancy_consistent(GameEnv* env);
