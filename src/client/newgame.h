// Setting up a new game: the world from the clock, its terrain mesh, both
// parties' units and buildings near the map centre, and the starting camera.
// Also the game's unit and building kinds.
#pragma once

#include "game.h"  // Entity, next_entity_uid
#include "gamerecord.h"

// How the current game began, as its replay needs it to build the same world: filled by
// create_game_at and create_world_at.
extern GameStart main_game_start;

// Builds a complete game into the empty main_gameenv and main_voxel_mesh, its map from the
// calendar clock's second.
void create_game();
// The same on the map of `second`, the armies drawn from the generator as it stands.
void create_game_at(s64 second);
// The world alone, the map of `second` and the armies, for a game played without a window:
// no terrain mesh, camera or messages. False when memory is out.
bool create_world_at(s64 second);
// Both unit blocks and both building groups, with the random draws in their fixed order.
void add_some_units();
// A d x d block of units of `party` centred on the column (centerx, centery); none on trees.
void add_entity_bunch(int centerx, int centery, int d, int party);
// A d x d grid of buildings of `party`, 3 cells apart, ending at (centerx, centery).
void add_building_bunch(int centerx, int centery, int d, int party);

// The kinds: each sets the fields that make an entity_init'ed entity into that kind.
void make_missile_unit(Entity* e);
void make_turret_unit(Entity* e);
void make_carage_building(Entity* e);
void make_turret_building(Entity* e);
