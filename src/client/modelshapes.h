// The shapes of the two building models: their vertex and texture tables, how a table is
// placed on a building's cell (shrunk, raised, torn when damaged) and how placed arrays are
// drawn inside a party's quad batch. Nothing here knows the game's entities.
#pragma once

#include "types.h"

constexpr int CARAGE_VERTEX_COUNT = 32;       // 8 quads
constexpr int TURRET_BASE_VERTEX_COUNT = 20;  // 5 quads
constexpr int MODEL_MAX_VERTICES = CARAGE_VERTEX_COUNT;

// Places a model table at cell p0 with the shrink and, at health <= 0.5, the damage
// deformation: `count` vertices of 3 floats from `model` into `out`.
void place_model(const float* model, int count, const V3i* p0, float health, float* out);
// The carage's vertex table (CARAGE_VERTEX_COUNT x 3 floats) and texture table (x 2).
const float* carage_vertices();
const float* carage_txcoords();
// The turret base's tables (TURRET_BASE_VERTEX_COUNT vertices).
const float* turret_base_vertices();
const float* turret_base_txcoords();
// Ends the open quad batch, draws `count` vertices of placed arrays as quads (3 and 2 floats a
// vertex) and opens a new batch.
void draw_model_arrays(const float* vertices, const float* txcoords, int count);
