// The map generator: a landscape of ground, plateaus, beaches, water and trees
// that depends on the seed and the area alone (same seed, same bytes).
#pragma once

#include "voxel.h"

// Writes every cell of vd's allocated area from `seed`; never draws from myrand.
void genmap(VoxelData* vd, int seed);
