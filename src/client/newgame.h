// Setting up a new game: the world from the clock, its terrain mesh, both
// parties' units and buildings near the map centre, and the starting camera.
// Also the game's unit and building kinds.
#pragma once

#include "game.h"  // Entity, next_entity_uid

// Builds a complete game into the empty main_gameenv and main_voxel_mesh.
void create_game();
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
