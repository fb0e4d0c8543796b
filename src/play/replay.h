// Playing a game record again: its orders and steps applied to a world set up from its start,
// every recorded hash checked as it is reached. A difference stops the replay for good; so does
// an order that no click could have given in the world as it stands (a damaged or hostile
// file). Whoever plays it (the window, the checker, the page) decides the pace.
#pragma once

#include <cstddef>

#include "gamerecord.h"

enum ReplayResult {
    REPLAY_STEPPED = 0,   // one step played, the game goes on
    REPLAY_ENDED = 1,     // the record is over; nothing more happens
    REPLAY_DIVERGED = 2,  // a hash differed: not the recorded game any more
    REPLAY_BAD = 3,       // the record asks for something impossible (why says what)
};

struct Replay {
    const GameRecord* record;
    RecordCursor cursor;
    u32 frame;          // steps played
    double game_time;   // their sum in seconds
    u32 generator;      // the generator as the recorded game had it between updates
    u32 checked;        // hashes that matched
    ReplayResult state; // REPLAY_STEPPED while it goes on
    u32 diverged_at;    // the frame whose hash differed
    char why[256];      // REPLAY_BAD: the file's name and what is wrong
};

// Starts playing `record` (kept by the caller) on `env`, which the caller has just set up from
// its start: the map of start.second, the generator at start.generator and the uid counter at
// start.uid_counter when the armies were placed, and nothing drawn from the generator since.
// `name` stands for the file in messages and must outlive the replay.
void replay_begin(Replay* replay, const GameRecord* record, const char* name);
// Plays up to and including the next step: the orders before it (each checked), the generator
// it saw, the update, and the hash recorded after it. Anything but REPLAY_STEPPED is final.
// The player's own draws from the generator between steps (a selection's answer) do not reach
// the world: the recorded state is set before each update.
ReplayResult replay_step(Replay* replay, GameEnv* env);
