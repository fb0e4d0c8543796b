// --host URL / --join URL CODE: a game against a player on another machine. The world then
// advances only in the server's turns (fixed steps of 1/60 s), under the pause menu too; the
// player commands one party (the host party 0, the guest party 1) and their orders reach the
// world through the server, on both machines before the same step. Without those options
// nothing here does anything.
#pragma once

#include "order.h"

// Connects to the server and hosts (code null) or joins a game; the game itself starts when
// the server starts it. Unless `recorded` (--record), the game is recorded into a new temporary
// folder, which is printed. False, with the reason on standard error, for an unusable URL or
// code.
bool netgame_start(const char* url, const char* code, bool recorded);
// Whether this run plays a network game.
bool netgame_active();
// The party this player commands; -1 outside a network game.
int netgame_party();
// Once a frame with its real time step: the network is polled, the game is created when the
// server starts it, and in play or under the pause menu the world runs the steps that are due.
void netgame_frame(float dtime);
// True once the game has ended by the rule of the game against the computer (one party has
// nothing left, or two minutes without a hit): the world stands still under the result, and
// Return or Escape goes back to the main menu.
bool netgame_ended();
// The result over the world ("Victory", "Defeat" or "Draw" from this player's side), window
// pixels; nothing before the end.
void netgame_draw_end(int w, int h);
// Sends one of the player's orders to the server (it takes effect when its turn comes back).
void netgame_submit(const Order* order);
// What the player must read on screen now ("Game code: ABCDE", waiting, left, out of sync),
// or null.
const char* netgame_status();
// Leaves the game and closes the connection.
void netgame_stop();
