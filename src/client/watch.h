// --replay FILE: a recorded game watched in the window. The world is the recorded one, its
// units moving exactly as they did; the camera, pointing and selection are the viewer's own,
// and clicks only select. Escape pauses, F1 runs ten times as fast; at the end the world stands
// still with "Replay ended" on screen. A hash that differs stops it with "Replay diverged at
// frame F" on screen and on standard error.
#pragma once

#include "types.h"

// Loads the file and sets up its world in play. False, with the reason on standard error,
// when the file cannot be read or its world cannot be built here.
bool watch_start(const char* path);
// True while a replay is being watched: orders are not taken.
bool watch_active();
// The replay's world update for a frame of `real_dtime` seconds (ten times that with F1).
void watch_frame(float real_dtime, bool fast);
// The replay is left (the pause menu's Quit): the world stays the player's to release.
void watch_stop();
