#include "matchend.h"

#include <cstdio>

void match_start(MatchState* m, const GameEnv* env)
{
    m->outcome = MATCH_ON;
    m->winner = -1;
    m->game_time = 0;
    m->quiet_time = 0;
    m->hits_seen = env->party_hits;
    for (int p = 0; p < MATCH_PARTIES; p++) {
        m->start_count[p] = match_party_count(env, p);
        m->losses[p] = 0;
    }
}

int match_party_count(const GameEnv* env, int party)
{
    int n = 0;
    for (const Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->party == party)
            n++;
    return n;
}

MatchOutcome match_update(MatchState* m, const GameEnv* env, float dtime)
{
    if (m->outcome != MATCH_ON)
        return m->outcome;
    m->game_time += dtime;
    if (env->party_hits != m->hits_seen) {
        m->hits_seen = env->party_hits;
        m->quiet_time = 0;
    } else {
        m->quiet_time += dtime;
    }
    bool alive[MATCH_PARTIES];
    for (int p = 0; p < MATCH_PARTIES; p++) {
        int n = match_party_count(env, p);
        // Nobody gains entities in a game, but a caller may start the count before the armies
        // are all placed; losses never go below zero.
        m->losses[p] = m->start_count[p] > n ? m->start_count[p] - n : 0;
        alive[p] = n > 0;
    }
    if (alive[0] != alive[1]) {
        m->outcome = MATCH_WON;
        m->winner = alive[0] ? 0 : 1;
    } else if (!alive[0] || m->quiet_time >= MATCH_QUIET_SECONDS) {
        m->outcome = MATCH_DRAW;
    }
    return m->outcome;
}

const char* match_result_word(const MatchState* m, int party)
{
    switch (m->outcome) {
    case MATCH_WON:
        return m->winner == party ? "Victory" : "Defeat";
    case MATCH_DRAW:
        return "Draw";
    default:
        return "";
    }
}

char* match_format_time(double seconds, char* buf, int size)
{
    long s = seconds > 0 ? (long)seconds : 0;
    std::snprintf(buf, (size_t)size, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

void match_result_line(const MatchState* m, int party, char* buf, int size)
{
    char time[24];  // the longest "M:SS" the format can give
    std::snprintf(buf, size, "%s after %s", match_result_word(m, party),
                  match_format_time(m->game_time, time, sizeof time));
}
