// The computer opponent: commands one party through order records, as a player does. It reads
// the world as it is and never changes it; its orders go through order_apply like a click's.
// Everything it decides follows from the world and its own record, fed the game's time steps:
// no clock, no draws from the game's generator, the entity list walked in its order, so a game
// against it plays the same wherever it runs and its orders can be recorded like any other.
#pragma once

#include "game.h"
#include "order.h"
#include "types.h"

constexpr float OPPONENT_THINK_SECONDS = 0.25f;  // game time between two looks at the world
constexpr int OPPONENT_MAX_ORDERS = 16;           // orders one look can give
constexpr int OPPONENT_ROUTE_CHECKS = 2;          // route searches one look may spend
constexpr int OPPONENT_REACH_SLOTS = ORDER_MAX_UIDS;  // route facts kept, one per enemy entity

// Whether units of one kind of movement get within firing range of an enemy entity, as the
// route search answered it.
struct OpponentReach {
    u32 uid;          // the enemy entity; 0 for a free slot
    signed char reach[2];// per movement kind (0 walking, 1 floating too): -1 unknown, 0 no, 1 yes
    double asked_at[2];  // per movement kind: game time of the answer
};

struct Opponent {
    int party;                 // the party it commands
    double game_time;          // seconds of game time fed so far
    double next_think;         // game time of the next look
    int route_checks_left;     // route searches left in the current look
    double gather_started;     // game time the army began to gather; -1 while not gathering
    bool gathered;             // the army has met since its last fight: it advances now
    int reach_count;           // used entries of reach
    OpponentReach reach[OPPONENT_REACH_SLOTS];
    int order_count;           // orders of the last look, in orders
    Order orders[OPPONENT_MAX_ORDERS];  // what the last look decided; applied by the caller
};

// A fresh opponent for `party`; its first look comes with its first step.
void opponent_init(Opponent* o, int party);
// Advances its clock by one step of dtime seconds (the step the world is about to run); when a
// look is due, reads the world and fills o->orders. Returns how many orders the caller should
// apply before running the step (0 on most steps). env is not changed beyond the route search's
// own scratch.
int opponent_step(Opponent* o, GameEnv* env, float dtime);
