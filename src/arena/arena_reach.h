// Which enemies a party's units can get within firing range of at all, by the route search's
// own steps over the terrain as it stands. The party's own buildings block the way (its units
// cannot pass them and it never destroys them); other entities do not (they move, or go). A
// maintainer tuning the opponent reads it to tell a world the armies cannot finish (the sides
// parted by water for the walking units, units born on a hilltop with cliffs all round or
// walled in by their own buildings, a building on a pillar) from a fight the opponent lost.
#pragma once

#include "game.h"

enum ArenaMoveKind {
    ARENA_FLOATING = 0,  // missile units: water counts as ground
    ARENA_WALKING = 1,   // turret units
    ARENA_MOVE_KINDS = 2,
};

struct ArenaReach {
    int enemies;                           // entities of the other party, units and buildings
    int units[ARENA_MOVE_KINDS];           // the party's units of each kind
    int units_reaching[ARENA_MOVE_KINDS];  // of them, those that can get within range of an enemy
    int enemies_reached[ARENA_MOVE_KINDS]; // enemies within reach of a unit of the kind
    int enemies_reached_by_any;            // enemies within reach of any unit of the party
};

// What the units of `party` can reach of the other party's entities in env. False when the
// memory for the search cannot be had.
bool arena_reach(GameEnv* env, int party, ArenaReach* reach);
