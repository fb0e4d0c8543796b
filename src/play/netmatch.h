// The end of a game between two players over the network: the rule of the game against the
// computer (matchend.h), applied on both machines to the steps the server paces. Both run the
// same steps with the same orders, so both reach the end at the same step; from that step on
// the world stands still (no step runs, no order applies), so both worlds and both records end
// alike whatever turns either machine still receives. Each player reads the result from their
// own side.
#pragma once

#include "matchend.h"

struct NetMatch {
    MatchState match;
    bool running;  // started on a world; false outside a network game
};

// Starts the rule on the world the server fixed (both armies placed).
void netmatch_start(NetMatch* n, const GameEnv* env);
// Whether the world may still run a step or apply an order: false once the game has ended.
bool netmatch_open(const NetMatch* n);
// Takes in a step of dtime seconds the world has just run; true when that step ended the game.
bool netmatch_after_step(NetMatch* n, const GameEnv* env, float dtime);
// True once the game has ended.
bool netmatch_ended(const NetMatch* n);
