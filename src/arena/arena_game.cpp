#include "arena_game.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "charge.h"
#include "genmap.h"
#include "newgame.h"
#include "opponent.h"
#include "random.h"
#include "shell.h"

namespace {

constexpr const char* kNames[] = {"idle", "charge", "opponent"};

// A party's controller with its state; the big records are made once per run.
struct Controller {
    ControllerKind kind;
    Charge charge;
    Opponent opponent;
};
Controller* controllers[2];

// Orders for this step from the party's controller; *orders points at them.
int controller_step(Controller* c, GameEnv* env, float dtime, const Order** orders)
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

// The world of a new game started in `second`: its map and both armies, drawn from the
// generator seeded with the same second.
bool build_world(int second)
{
    GameEnv* env = &main_gameenv;
    gameenv_init(env);
    Area a = {0, 0, 0, 64, 64, 16};
    if (voxeldata_allocate(&env->voxeldata, &a) != 0) {
        std::fprintf(stderr, "quorvale-arena: out of memory for the world\n");
        return false;
    }
    genmap(&env->voxeldata, second);
    mysrand((unsigned)second);
    next_entity_uid = 1;
    add_some_units();
    return true;
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
        if (!controllers[p])
            controllers[p] = new (std::nothrow) Controller;
        if (!controllers[p]) {
            std::fprintf(stderr, "quorvale-arena: out of memory for a controller\n");
            return false;
        }
        Controller* c = controllers[p];
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
    while (game->match.outcome == MATCH_ON) {
        if (game->match.game_time >= ARENA_CAP_SECONDS) {
            game->capped = true;
            break;
        }
        for (int p = 0; p < 2; p++) {
            const Order* orders = nullptr;
            int n = controller_step(controllers[p], env, ARENA_STEP_SECONDS, &orders);
            for (int i = 0; i < n; i++)
                order_apply(env, &orders[i]);
            game->orders[p] += n;
        }
        gameenv_run(env, ARENA_STEP_SECONDS);
        match_update(&game->match, env, ARENA_STEP_SECONDS);
    }
    gameenv_free(env);
    return true;
}
