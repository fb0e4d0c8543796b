// Where a unit may stand and step, and the route search over the voxel grid.
#pragma once

#include <cstdlib>

#include "materialtypes.h"
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

// is_connected for a step already known to lead into an empty cell (material nothing, outside or
// air) one step from `from`, which is what the route search knows of every step it weighs; vd is
// env's voxel data. Inline so that the search's inner loop does not leave for the rest.
inline bool is_connected_empty_neighbor(V3i* from, V3i* to, const VoxelData* vd, GameEnv* env,
                                        int flags)
{
    if (!(flags & (GF_WALK | GF_ON_WATER | GF_NO_GROUND)))
        return false;
    if (flags & GF_ENTITIES_BLOCK) {
        CheckedContent cc;
        check_content(&cc, to, env);
        if (cc.type == CCT_ENTITY)
            return false;
    }
    V3i below = {to->x, to->y, to->z - 1};
    u8 m = voxeldata_get_material(vd, &below);
    if (!(flags & GF_NO_GROUND) && (m <= MATERIAL_AIR || m == MATERIAL_TREE))
        return false;
    if (!(flags & GF_ON_WATER) && m == MATERIAL_WATER)
        return false;
    int dz = to->z - from->z;
    bool horizontal = to->x != from->x || to->y != from->y;
    if (dz == 1 && horizontal) {
        // Climbing across a corner needs the cell above the start free.
        V3i above_from = {from->x, from->y, from->z + 1};
        return voxeldata_get_material(vd, &above_from) <= MATERIAL_AIR;
    }
    if (dz == -1 && horizontal) {
        // Descending across a corner needs the cell above the destination free.
        V3i above_to = {to->x, to->y, from->z};
        return voxeldata_get_material(vd, &above_to) <= MATERIAL_AIR;
    }
    return true;
}

// Searches a route from `from` towards `to` into *result, expanding at most max_loops cells and
// never stepping into the additional_blocked cells. Stops early within wanted_distance of the goal
// when wanted_distance >= 1. Result: 1 reached (route to the goal or a near enough cell), 2 partial
// (route to the explored cell nearest the goal), 0 no route (see the travel task for who relies on
// which; `from` == `to` and memory exhaustion leave *result untouched, otherwise it is emptied).
int pathfind_astar(Path* result, V3i* from, V3i* to, GameEnv* env, int graphflags, int max_loops,
                   V3i* additional_blocked, int additional_blocked_count, float wanted_distance);
