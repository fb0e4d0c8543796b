// The four textures the game makes at start-up from its three images.
#pragma once

#include "types.h"

// Party colours in the sprite atlas, [party][slot][R, G, B, A]. Party 0's row is the key
// searched for in the file; party 1 sees those pixels in greens.
extern u8 party_colors[2][2][4];

// Loads the terrain atlas, one recoloured sprite atlas per party and the interface texture
// into main_voxel_texture, main_entity_textures and main_misc_texture. Needs the GL window.
// 0 on success; -1 after the failure's message (if it has one) on standard error.
int load_textures();
