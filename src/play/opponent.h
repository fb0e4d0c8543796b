// The computer opponent: commands one party through order records, as a player does. It reads
// the world as it is and never changes it; its orders go through order_apply like a click's.
// Everything it decides follows from the world and its own record, fed the game's time steps:
// no clock, no draws from the game's generator, the entity list walked in its order, so a game
// against it plays the same wherever it runs and its orders can be recorded like any other.
#pragma once

#include "game.h"
#include "order.h"
#include "types.h"

// Game time between two looks at the world: five a second, as a quick player clicks. The fights
// turn on fractions of a second (a missile unit back in range the moment its pair is loaded, a
// shooter moved off a target already as good as destroyed): at four looks a second the computer
// lost more units and won fewer games, at two far fewer.
constexpr float OPPONENT_THINK_SECONDS = 0.2f;
constexpr int OPPONENT_MAX_ORDERS = 48;           // orders one look can give
constexpr int OPPONENT_ROUTE_CHECKS = 2;          // route searches one look may spend
constexpr int OPPONENT_REACH_SLOTS = 4096;  // route facts kept; a power of two

// A route question: from a unit's cell, by its kind of movement, to an enemy's cell.
struct OpponentRouteKey {
    signed char kind;  // movement kind: 0 walking, 1 floating too
    V3i from;          // the unit's cell
    V3i to;            // the enemy's cell
};

// Whether a unit of one kind of movement standing in one cell gets within firing range of an
// enemy entity standing in another, as the route search answered it. The terrain never
// changes, so a fact holds as long as both stand where they stood.
struct OpponentReach {
    bool used;          // false for a free slot
    signed char reach;  // the answer: OPPONENT_NO_ROUTE, OPPONENT_ROUTE or OPPONENT_LONG_ROUTE
    OpponentRouteKey key;
};
enum {
    OPPONENT_NO_ROUTE = 0,
    OPPONENT_ROUTE = 1,       // a unit's own travel finds its way there
    OPPONENT_LONG_ROUTE = 2,  // only a longer search does: the unit is led there in stages
};

constexpr int OPPONENT_ROUTES = 8;             // long routes kept, the oldest replaced
constexpr int OPPONENT_ROUTE_CELLS = 256;      // cells kept of one; a longer one is cut
constexpr int OPPONENT_ROUTE_STAGE = 10;       // cells of a long route one travel order covers

// A long route as the search found it.
struct OpponentRoute {
    int length;            // cells in cells; 0 for a free entry
    OpponentRouteKey key;  // the question it answers
    V3i cells[OPPONENT_ROUTE_CELLS];
};

constexpr int OPPONENT_MAX_UNITS = ORDER_MAX_UIDS;  // own units whose standing is kept

// An own unit as the looks saw it: where it stood, since when, and the detour it was sent on
// when it stood too long on its way.
struct OpponentStanding {
    u32 uid;
    V3i cell;
    double since;  // game time it came to this cell
    V3i detour;    // the cell it was sent to round what held it
    bool detouring;
};

struct Opponent {
    int party;                 // the party it commands
    double game_time;          // seconds of game time fed so far
    double next_think;         // game time of the next look
    int route_checks_left;     // route searches left in the current look
    double gather_started;     // game time the army began to gather; -1 while not gathering
    bool gathered;             // the army has met since its last fight: it advances now
    double contact_since;      // game time the current contact with the enemy began; -1 for none
    float enemy_cost;          // what it would take to destroy every enemy, at the last look
    double progress_at;        // game time the enemy was last seen to lose something; -1 never
    int reach_count;           // used entries of reach
    OpponentReach reach[OPPONENT_REACH_SLOTS];
    int next_route;            // the entry of routes the next long route replaces
    OpponentRoute routes[OPPONENT_ROUTES];
    int standing_count;        // entries of standing, own units in list order at the last look
    OpponentStanding standing[OPPONENT_MAX_UNITS];
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
