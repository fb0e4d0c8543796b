// --record DIR: every game of the run written into DIR as it is played, one file a game named
// after its map's second (quorvale-YYYYMMDD-HHMMSS.qrep, UTC). Without the option nothing here
// does anything and the game writes no file.
#pragma once

#include "order.h"
#include "types.h"

// Records the games of this run into `dir`. False, with the reason on standard error, when the
// folder does not exist or cannot be written: the game must not start then.
bool recording_set_folder(const char* dir);
// The games from now on are flushed once a second of game time and at no other moment, so
// two machines recording one network game write the same bytes (recording_flush_now and the
// once-a-second flush of recording_frame then wait for it).
void recording_flush_by_game_time();
// A game has just been created (main_game_start holds its start): its file is opened.
void recording_game_created();
// Brings the current game's file up to date now. False when no game is being recorded.
bool recording_flush_now();
// The file of the game recorded last (or being recorded); "" before the first.
const char* recording_path();
// The current game ends (Quit, the window closed, an interrupt): its file is completed.
void recording_game_over();
// What every order of the game passes through.
void recording_order(const Order* order);
// Around the world update of a frame.
void recording_before_update();
void recording_after_update(float dtime);
// Once a frame with the tick count: the file is brought up to date at least once a second.
void recording_frame(u32 ticks);
