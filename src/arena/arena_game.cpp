#include "arena_game.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "charge.h"
#include "gamerecord.h"
#include "newgame.h"
#include "opponent.h"
#include "random.h"
#include "shell.h"

namespace {

constexpr const char* kNames[] = {"idle", "charge", "opponent"};

// A party's controller with its state; the big records are made once per run.
struct Side {
    ControllerKind kind;
    Charge charge;
    Opponent opponent;
};
Side* sides[2];

// Orders for this step from the party's controller; *orders points at them.
int controller_step(Side* c, GameEnv* env, float dtime, const Order** orders)
{
    switch (c->kind) {
    case CONTROLLER_CHARGE:
        *orders = c->charge.orders;
        return charge_step(&c->charge, env, dtime);
    case CONTROLLER_OPPONENT:
        *orders = c->opponent.orders;
        return opponent_step(&c->opponent, env, dtime);
    default:
        return 0;
    }
}

// The world of a new game started in `second`, as the game builds it when started then: its
// map and both armies, drawn from the generator seeded with the same second. How it began is
// in main_game_start, both parties commanded by the computer.
bool build_world(int second)
{
    gameenv_init(&main_gameenv);
    mysrand((unsigned)second);
    next_entity_uid = 1;
    if (!create_world_at(second)) {
        std::fprintf(stderr, "quorvale-arena: out of memory for the world\n");
        gameenv_free(&main_gameenv);
        return false;
    }
    main_game_start.controllers[0] = main_game_start.controllers[1] = CONTROLLER_COMPUTER;
    return true;
}

ArenaKind kind_of(const Entity* e)
{
    if (e->type == ET_BUILDING)
        return e->can_attack ? ARENA_TURRET_TOWERS : ARENA_CARAGES;
    return (e->base_graphflags & GF_ON_WATER) ? ARENA_MISSILE_UNITS : ARENA_TURRET_UNITS;
}

void count_kinds(const GameEnv* env, int count[2][ARENA_KINDS])
{
    std::memset(count, 0, sizeof(int) * 2 * ARENA_KINDS);
    for (const Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->party == 0 || e->party == 1)
            count[e->party][kind_of(e)]++;
}

bool in_range_of_each_other(const GameEnv* env)
{
    for (const Entity* a = env->entities.lh_first; a; a = a->entries.le_next)
        for (const Entity* b = env->entities.lh_first; b; b = b->entries.le_next) {
            if (a->party < 0 || b->party < 0 || a->party == b->party || !a->can_attack)
                continue;
            if (v3i_distance(&a->p0, &b->p0) <= a->shoot_range)
                return true;
        }
    return false;
}

}  // namespace

bool controller_from_name(const char* name, ControllerKind* kind)
{
    for (int i = 0; i < 3; i++)
        if (std::strcmp(name, kNames[i]) == 0) {
            *kind = (ControllerKind)i;
            return true;
        }
    return false;
}

const char* controller_name(ControllerKind kind)
{
    return kNames[kind];
}

bool arena_play(ArenaGame* game)
{
    for (int p = 0; p < 2; p++) {
        if (!sides[p])
            sides[p] = new (std::nothrow) Side;
        if (!sides[p]) {
            std::fprintf(stderr, "quorvale-arena: out of memory for a controller\n");
            return false;
        }
        Side* c = sides[p];
        c->kind = game->controller[p];
        charge_init(&c->charge, p);
        opponent_init(&c->opponent, p);
        game->orders[p] = 0;
    }
    if (!build_world(game->second))
        return false;
    GameEnv* env = &main_gameenv;
    match_start(&game->match, env);
    game->capped = false;
    game->in_range_at_start = in_range_of_each_other(env);
    count_kinds(env, game->started);
    game->reach_found = game->find_reach && arena_reach(env, 0, &game->reach_start[0]) &&
                        arena_reach(env, 1, &game->reach_start[1]);
    GameRecorder recorder;
    if (game->record_path) {
        char err[300];
        if (!recorder_open(&recorder, game->record_path, &main_game_start, env, err, sizeof err)) {
            std::fprintf(stderr, "quorvale-arena: %s\n", err);
            gameenv_free(env);
            return false;
        }
    }
    while (game->match.outcome == MATCH_ON) {
        if (game->match.game_time >= ARENA_CAP_SECONDS) {
            game->capped = true;
            break;
        }
        for (int p = 0; p < 2; p++) {
            const Order* orders = nullptr;
            int n = controller_step(sides[p], env, ARENA_STEP_SECONDS, &orders);
            for (int i = 0; i < n; i++) {
                // Checked as the game checks every order it records.
                if (!order_valid(env, &orders[i], nullptr, 0))
                    continue;
                if (game->record_path)
                    recorder_order(&recorder, &orders[i]);
                order_apply(env, &orders[i]);
            }
            game->orders[p] += n;
        }
        if (game->record_path)
            recorder_before_step(&recorder);
        gameenv_run(env, ARENA_STEP_SECONDS);
        if (game->record_path)
            recorder_after_step(&recorder, ARENA_STEP_SECONDS, env);
        match_update(&game->match, env, ARENA_STEP_SECONDS);
    }
    count_kinds(env, game->left);
    game->reach_found = game->reach_found && arena_reach(env, 0, &game->reach_end[0]) &&
                        arena_reach(env, 1, &game->reach_end[1]);
    bool saved = !game->record_path || recorder_close(&recorder, env);
    if (!saved)
        std::fprintf(stderr, "quorvale-arena: cannot write %s\n", game->record_path);
    gameenv_free(env);
    return saved;
}
