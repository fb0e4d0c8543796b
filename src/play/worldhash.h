// A 64-bit digest of everything the world update reads and writes, to tell whether two runs of
// a game are still the same game: a replay against its recording, two players' machines, the
// desktop against the browser. Equal worlds give equal hashes on every platform (floats enter
// by their bits, in a fixed byte order); what belongs to the player alone (selection flags,
// the camera, the pointing) is left out, so looking around never changes it.
#pragma once

#include "game.h"
#include "types.h"

// Every entity in list order with its kind, party, health, positions (float bits), headings,
// timers, targets, current and queued tasks with their routes; every projectile in list order;
// the generator's state and the uid counter. Cheap enough for every second of a game: it reads
// each entity and projectile once and allocates nothing.
u64 world_hash(const GameEnv* env);

// The terrain's material bytes with the map's box; the update never changes them, so this is
// taken once per game.
u64 terrain_hash(const VoxelData* vd);
