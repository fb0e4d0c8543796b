// The world update for worlds of idle units with their timers running, with content checks from
// the occupancy index and, for comparison, from a walk of the entity list.
#include <benchmark/benchmark.h>

#include "game.h"
#include "workloads.h"

namespace {

// scan: content checks walk the entity list, as they did before the occupancy index.
template <bool scan>
void run_idle(benchmark::State& state)
{
    GameEnv env;
    workloads::fill_idle_world(&env, (int)state.range(0));
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
