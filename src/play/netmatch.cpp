#include "netmatch.h"

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
