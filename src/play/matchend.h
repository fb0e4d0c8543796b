// How a game against the computer ends: a party with neither units nor buildings left loses,
// and a long enough time without a hit between the parties is a draw. The sandbox game never
// consults it. The rule only reads the world; the caller feeds it every step it runs.
#pragma once

#include "game.h"
#include "types.h"

constexpr int MATCH_PARTIES = 2;            // parties 0 and 1
constexpr float MATCH_QUIET_SECONDS = 120;  // game time without a hit that makes a draw

enum MatchOutcome {
    MATCH_ON = 0,    // the game goes on
    MATCH_WON = 1,   // MatchState::winner has won, the other party has lost
    MATCH_DRAW = 2,  // nobody hit anybody for MATCH_QUIET_SECONDS, or both fell in one step
};

struct MatchState {
    MatchOutcome outcome;
    int winner;                    // the winning party while outcome is MATCH_WON, else -1
    double game_time;              // seconds of game time fed so far; stops at the end
    double quiet_time;             // seconds since a party last hit the other
    u64 hits_seen;                 // GameEnv::party_hits at the last update
    int start_count[MATCH_PARTIES];  // units and buildings each party had at match_start
    int losses[MATCH_PARTIES];       // of those, how many are gone (destroyed)
};

// Starts the count on the world as it is now (both armies placed).
void match_start(MatchState* m, const GameEnv* env);
// Takes in one step of dtime seconds that the world has just run; returns the outcome, which
// stays fixed once the game has ended (further steps change nothing).
MatchOutcome match_update(MatchState* m, const GameEnv* env, float dtime);
// Units and buildings of `party` in the world now (wrecks belong to nobody).
int match_party_count(const GameEnv* env, int party);
// "Victory", "Defeat" or "Draw" as seen by `party`; "" while the game goes on.
const char* match_result_word(const MatchState* m, int party);
// Writes "M:SS" of the game time (whole seconds, rounded down) into buf; returns buf.
char* match_format_time(double seconds, char* buf, int size);
// Writes the printed result as seen by `party`, "Victory after M:SS" and the like, into buf.
void match_result_line(const MatchState* m, int party, char* buf, int size);
