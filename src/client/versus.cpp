#include "versus.h"

#include <cstdio>
#include <new>

#include "gamerecord.h"
#include "matchscreen.h"
#include "newgame.h"
#include "opponent.h"
#include "orders.h"
#include "shell.h"

namespace {

bool enabled = false;
bool running = false;  // a game against the computer is under way or at its end
MatchState match;
// The opponent's record holds its orders; made once, on the first game.
Opponent* opponent = nullptr;

}  // namespace

void versus_set_enabled(bool on)
{
    enabled = on;
}

bool versus_enabled()
{
    return enabled;
}

void versus_start()
{
    if (!enabled)
        return;
    if (!opponent)
        opponent = new (std::nothrow) Opponent;
    if (!opponent) {
        std::fprintf(stderr, "versus: out of memory for the computer opponent\n");
        return;
    }
    opponent_init(opponent, VERSUS_COMPUTER_PARTY);
    match_start(&match, &main_gameenv);
    running = true;
    // A recording of this game says who gave party 1's orders; watching it needs only them.
    main_game_start.controllers[VERSUS_COMPUTER_PARTY] = CONTROLLER_COMPUTER;
}

void versus_before_step(float dtime)
{
    if (!running || match.outcome != MATCH_ON)
        return;
    int n = opponent_step(opponent, &main_gameenv, dtime);
    for (int i = 0; i < n; i++)
        submit_order(&opponent->orders[i]);
}

void versus_after_step(float dtime)
{
    if (!running || match.outcome != MATCH_ON)
        return;
    if (match_update(&match, &main_gameenv, dtime) == MATCH_ON)
        return;
    char line[64];
    match_result_line(&match, VERSUS_PLAYER_PARTY, line, sizeof line);
    std::printf("%s\n", line);
}

bool versus_ended()
{
    return running && match.outcome != MATCH_ON;
}

bool versus_may_select(int party)
{
    return !enabled || party == VERSUS_PLAYER_PARTY;
}

void versus_draw_end(int w, int h)
{
    if (versus_ended())
        match_draw_end(&match, VERSUS_PLAYER_PARTY, "computer", w, h);
}

void versus_stop()
{
    running = false;
}
