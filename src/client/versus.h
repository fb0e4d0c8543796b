// Playing against the computer (quorvale --opponent): the player commands party 0, the
// computer opponent party 1, and the game ends in victory, defeat or a draw. Off (the default)
// none of this runs and the game is the sandbox where one player commands both parties.
#pragma once

#include "matchend.h"

constexpr int VERSUS_PLAYER_PARTY = 0;    // orange
constexpr int VERSUS_COMPUTER_PARTY = 1;  // green

// Chooses the mode (on: against the computer) for the games started from now on.
void versus_set_enabled(bool on);
// True when this run plays against the computer.
bool versus_enabled();
// A new game has just been built into main_gameenv: the opponent and the end rule start, and
// the game's start notes the computer as party 1's controller (call before recording starts).
void versus_start();
// Before the world's step of dtime seconds: the computer's orders, through submit_order.
void versus_before_step(float dtime);
// After the step: the end rule; at the end prints "Victory after M:SS" (or Defeat, Draw).
void versus_after_step(float dtime);
// True once the current game has ended; the world stands still from then on.
bool versus_ended();
// Whether the player may select this entity: only their own party's in this mode.
bool versus_may_select(int party);
// The end over the world: the result, the game time and each party's losses, window pixels.
void versus_draw_end(int w, int h);
// The game is left (Return or Escape at the end, or Quit): nothing of it is kept.
void versus_stop();
