#include "netmatch.h"

#include <cstdio>

void netmatch_start(NetMatch* n, const GameEnv* env)
{
    match_start(&n->match, env);
    n->running = true;
}

bool netmatch_open(const NetMatch* n)
{
    return !netmatch_ended(n);
}

bool netmatch_after_step(NetMatch* n, const GameEnv* env, float dtime)
{
    if (!netmatch_open(n))
        return false;
    return match_update(&n->match, env, dtime) != MATCH_ON;
}

bool netmatch_ended(const NetMatch* n)
{
    return n->running && n->match.outcome != MATCH_ON;
}

void netmatch_result_line(const NetMatch* n, int party, char* buf, int size)
{
    char time[16];
    std::snprintf(buf, size, "%s after %s", match_result_word(&n->match, party),
                  match_format_time(n->match.game_time, time, sizeof time));
}
