// The world update for worlds of idle units with their timers running, with content checks from
// the occupancy index and, for comparison, from a walk of the entity list.
#include <benchmark/benchmark.h>

#include "../tests/world_fixture.h"
#include "game.h"

namespace {

// n idle units of two parties spread over a 64 x 64 floor, too far apart to shoot.
void fill_idle_world(GameEnv* env, int n)
{
    make_flat_world(env, 64, 64, 16, 4);
    mysrand(1);
    for (int i = 0; i < n; i++) {
        Entity* e = add_unit(env, (i * 7) % 64, (i * 13 + i / 64) % 64, 5, i % 2);
        e->shoot_range = 0;
    }
}

// scan: content checks walk the entity list, as they did before the occupancy index.
template <bool scan>
void run_idle(benchmark::State& state)
{
    GameEnv env;
    fill_idle_world(&env, (int)state.range(0));
    env.scan_for_content = scan;
    for (auto _ : state)
        gameenv_run(&env, 0.02f);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    gameenv_free(&env);
}

void BM_GameenvRunIdle(benchmark::State& s) { run_idle<false>(s); }
void BM_GameenvRunIdleListWalk(benchmark::State& s) { run_idle<true>(s); }
BENCHMARK(BM_GameenvRunIdle)->Arg(50)->Arg(1000);
BENCHMARK(BM_GameenvRunIdleListWalk)->Arg(50)->Arg(1000);

}  // namespace
