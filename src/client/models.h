// The small hand-made models of the two building kinds. Called by the scene in
// the building's party pass, with the party's sprite texture bound, texturing on
// and a quad batch open; each ends the batch, draws its arrays and opens a new one.
#pragma once

#include "types.h"

struct Entity;

constexpr int CARAGE_VERTEX_COUNT = 32;       // 8 quads
constexpr int TURRET_BASE_VERTEX_COUNT = 20;  // 5 quads
constexpr int MODEL_MAX_VERTICES = CARAGE_VERTEX_COUNT;

// The carage building: walled and roofed at the back, two ground quads in front.
void draw_carage(Entity* e);
// The turret building: a block with the turret head sprite on top.
void draw_turret(Entity* e);

// Places a model table at cell p0 with the shrink and, at health <= 0.5, the damage
// deformation: `count` vertices of 3 floats from `model` into `out`.
void place_model(const float* model, int count, const V3i* p0, float health, float* out);
// The carage's vertex table (CARAGE_VERTEX_COUNT x 3 floats) and texture table (x 2).
const float* carage_vertices();
const float* carage_txcoords();
// The turret base's tables (TURRET_BASE_VERTEX_COUNT vertices).
const float* turret_base_vertices();
const float* turret_base_txcoords();
