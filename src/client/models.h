// The small hand-made models of the two building kinds. Called by the scene in
// the building's party pass, with the party's sprite texture bound, texturing on
// and a quad batch open; each ends the batch, draws its arrays and opens a new one.
#pragma once

#include "modelshapes.h"

struct Entity;

// The carage building: walled and roofed at the back, two ground quads in front.
void draw_carage(Entity* e);
// The turret building: a block with the turret head sprite on top.
void draw_turret(Entity* e);
