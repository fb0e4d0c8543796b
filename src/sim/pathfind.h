// Where a unit may stand and step, and the route search over the voxel grid.
#pragma once

#include <cstdlib>

#include "types.h"
#include "voxel.h"

struct Entity;
struct GameEnv;

// A route of cells; owned by its holder (a travel task keeps one).
struct Path {
    V3i* coords;  // cells in travel order, without the start cell; owned (std::malloc); null when empty
    int length;   // number of entries in coords
    int next_i;   // index of the next cell the traveller is to move to
};

// Empties the record without releasing anything.
static inline void path_init(Path* path)
{
    path->coords = nullptr;
    path->length = 0;
    path->next_i = 0;
}

// Releases the cells and leaves the record empty.
static inline void path_free(Path* path)
{
    if (path->coords)
        std::free(path->coords);
    path_init(path);
}

enum CheckedContentType {
    CCT_NONE = 0,
    CCT_VOXEL = 1,
    CCT_ENTITY = 2,
};

// What occupies one cell.
struct CheckedContent {
    CheckedContentType type;
    union {
        Voxel voxel;     // the filling voxel, when type is CCT_VOXEL
        Entity* entity;  // the occupying entity, when type is CCT_ENTITY; not owned
    };
};

// Movement flags: an entity's base_graphflags and the flags of is_connected and pathfind_astar.
enum {
    GF_WALK = 1,            // the basic permission to move
    GF_ENTITIES_BLOCK = 2,  // a cell occupied by an entity cannot be entered
    GF_ON_WATER = 4,        // water below the destination counts as ground
    GF_NO_GROUND = 8,       // the destination needs no ground below it
};

// The 18 single-step offsets, in the order the search and the push-aside logic try them.
extern const V3i pathfind_neighbor_dps[18];

// Fills *cc with what occupies cell p: a filling voxel first, else the first entity in list
// order that stands in (units: p1) or covers (buildings: their box) the cell, else nothing.
void check_content(CheckedContent* cc, V3i* p, GameEnv* env);

// True when a unit with these movement flags can step from `from` into the neighbouring cell `to`.
bool is_connected(V3i* from, V3i* to, GameEnv* env, int flags);

// Searches a route from `from` towards `to` into *result, expanding at most max_loops cells and
// never stepping into the additional_blocked cells. Stops early within wanted_distance of the goal
// when wanted_distance >= 1. Result: 1 reached (route to the goal or a near enough cell), 2 partial
// (route to the explored cell nearest the goal), 0 no route (see the travel task for who relies on
// which; `from` == `to` and memory exhaustion leave *result untouched, otherwise it is emptied).
int pathfind_astar(Path* result, V3i* from, V3i* to, GameEnv* env, int graphflags, int max_loops,
                   V3i* additional_blocked, int additional_blocked_count, float wanted_distance);
