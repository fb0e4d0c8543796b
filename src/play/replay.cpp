#include "replay.h"

#include <cstdio>
#include <cstring>

#include "random.h"
#include "worldhash.h"

namespace {

const char* replay_name = "";

// The hash against the world as the recorded game had it: the generator restored first, in
// case the viewer drew from it since.
bool hash_matches(Replay* r, const GameEnv* env, u64 recorded)
{
    mysrand(r->generator);
    if (world_hash(env) != recorded)
        return false;
    r->checked++;
    return true;
}

ReplayResult finish(Replay* r, ReplayResult result)
{
    r->state = result;
    return result;
}

}  // namespace

void replay_begin(Replay* replay, const GameRecord* record, const char* name)
{
    std::memset(replay, 0, sizeof *replay);
    replay->record = record;
    replay->generator = myrand_state();
    replay->state = REPLAY_STEPPED;
    record_cursor_init(&replay->cursor, record);
    replay_name = name;
}

ReplayResult replay_step(Replay* r, GameEnv* env)
{
    if (r->state != REPLAY_STEPPED)
        return r->state;
    static RecordEvent ev;  // holds a whole order: kept off the stack
    bool stepped = false;
    for (;;) {
        // After a step only the hash that belongs to it is taken; anything else waits.
        RecordCursor before = r->cursor;
        record_cursor_next(&r->cursor, &ev);
        if (stepped && ev.type != EVENT_HASH && ev.type != EVENT_END) {
            r->cursor = before;
            return REPLAY_STEPPED;
        }
        switch (ev.type) {
        case EVENT_ORDER: {
            char why[160];
            if (!order_valid(env, &ev.order, why, sizeof why)) {
                std::snprintf(r->why, sizeof r->why, "%s: before frame %u: %s", replay_name, r->frame + 1, why);
                return finish(r, REPLAY_BAD);
            }
            order_apply(env, &ev.order);
            break;
        }
        case EVENT_GENERATOR:
            r->generator = ev.generator;
            break;
        case EVENT_STEP:
            mysrand(r->generator);
            gameenv_run(env, ev.dtime);
            r->generator = myrand_state();
            r->frame++;
            r->game_time += ev.dtime;
            stepped = true;
            break;
        case EVENT_HASH:
        case EVENT_END:
            if (!hash_matches(r, env, ev.hash)) {
                r->diverged_at = ev.frame;
                return finish(r, REPLAY_DIVERGED);
            }
            if (ev.type == EVENT_END)
                return finish(r, stepped ? REPLAY_STEPPED : REPLAY_ENDED);
            if (stepped)
                return REPLAY_STEPPED;
            break;
        case EVENT_NONE:
            return finish(r, stepped ? REPLAY_STEPPED : REPLAY_ENDED);
        }
    }
}
