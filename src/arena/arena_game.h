// One game of the arena: the world a new game builds for a calendar second, two controllers
// giving orders to the two parties, the game's own update at a 60 Hz display's time step and
// the end rule, with no window and no sound.
#pragma once

#include "arena_reach.h"
#include "matchend.h"

enum ControllerKind {
    CONTROLLER_IDLE = 0,      // gives no order; the units fight what comes in range
    CONTROLLER_CHARGE = 1,    // every unit attacks its nearest enemy every few seconds
    CONTROLLER_OPPONENT = 2,  // the computer opponent
};

constexpr float ARENA_STEP_SECONDS = 1.0f / 60;
constexpr double ARENA_CAP_SECONDS = 600;  // game time after which a game counts as a draw

// What a party has, by kind, for the detail a maintainer reads when tuning the opponent.
enum ArenaKind {
    ARENA_MISSILE_UNITS = 0,
    ARENA_TURRET_UNITS = 1,
    ARENA_TURRET_TOWERS = 2,
    ARENA_CARAGES = 3,
    ARENA_KINDS = 4,
};

struct ArenaGame {
    int second;                  // the calendar second the world is built from
    ControllerKind controller[2];  // per party
    MatchState match;            // the end as the rule saw it
    bool capped;                 // stopped at ARENA_CAP_SECONDS (a draw)
    int orders[2];               // order records each party's controller gave
    int started[2][ARENA_KINDS]; // per party, what it started with, by kind
    int left[2][ARENA_KINDS];    // per party, what it had left at the end, by kind
    bool in_range_at_start;      // some entity of one party could fire on one of the other's at
                                 // once: the game opens with a fight rather than an approach
    const char* record_path;     // where to save the game as a replay; null for nowhere
    bool find_reach;             // work out reach_start and reach_end (a search over the map
                                 // for each side, at the start and at the end)
    bool reach_found;            // reach_start and reach_end hold what was found
    ArenaReach reach_start[2];   // per party, what its units could reach at the start
    ArenaReach reach_end[2];     // per party, what its units left could reach of what was left
};

// The controller of this name ("idle", "charge", "opponent"); false when there is none.
bool controller_from_name(const char* name, ControllerKind* kind);
const char* controller_name(ControllerKind kind);

// Builds the world of game->second into the game's world record, plays it to its end (saving
// it as a replay at record_path when given) and releases it. False, with a message on standard
// error, when the world cannot be built or the replay cannot be written.
bool arena_play(ArenaGame* game);
