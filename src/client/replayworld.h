// The world a replay starts from, built into the empty main_gameenv exactly as the recorded
// game built it: the map of its second, then its armies from the generator and uid counter as
// they stood.
#pragma once

#include <cstddef>

#include "gamerecord.h"

enum ReplayWorld {
    REPLAY_WORLD_OK = 0,
    REPLAY_WORLD_DIFFERS = 1,  // the map came out otherwise: diverged at frame 0
    REPLAY_WORLD_BAD = 2,      // this game cannot build it (err says why)
};

// With `window` the terrain mesh and the camera are made too (as a new game makes them).
// `name` stands for the file in messages.
ReplayWorld replay_build_world(const GameRecord* rec, const char* name, bool window, char* err,
                               size_t err_size);
