// Route searches on generated maps, the game's search against the first form of the search and
// the plain selection scan (the same routes, cell for cell), and the
// world update for a battle and for a thousand units ordered across a large map.
#include <benchmark/benchmark.h>
#include <vector>

#include "../tests/astar_reference.h"
#include "../tests/thread_clock.h"
#include "game.h"
#include "pathfind.h"
#include "workloads.h"

namespace {

using workloads::Query;
using MapFixture = workloads::RouteMap;

MapFixture& map_fixture()
{
    static MapFixture f;
    return f;
}

enum Form { GAME, FIRST_FORM, PLAIN_SCAN };

int search(Form form, Path* path, Query& q, GameEnv* env)
{
    switch (form) {
    case FIRST_FORM:
        return astar_reference::pathfind_astar_trees(path, &q.from, &q.to, env, GF_WALK, 1000,
                                                     nullptr, 0, 0);
    case PLAIN_SCAN:
        return astar_reference::pathfind_astar_plain(path, &q.from, &q.to, env, GF_WALK, 1000,
                                                     nullptr, 0, 0);
    default:
        return workloads::route_search(path, q, env);
    }
}

// Every form expands the same cells; the first form counts them.
long expansions_of(std::vector<Query>& queries, size_t i)
{
    static std::vector<long> counts[2];
    std::vector<long>& c = counts[&queries == &map_fixture().far ? 0 : 1];
    if (c.empty()) {
        Path path;
        path_init(&path);
        for (Query& q : queries) {
            search(FIRST_FORM, &path, q, &map_fixture().env);
            c.push_back(astar_reference::expansions);
        }
        path_free(&path);
    }
    return c[i];
}

// One query per iteration, cycling through the set; reports the time per expanded cell.
void run_queries(benchmark::State& state, Form form, std::vector<Query>& queries)
{
    MapFixture& f = map_fixture();
    Path path;
    path_init(&path);
    size_t i = 0;
    long expanded = expansions_of(queries, 0) * 0;  // counted before the clock starts
    for (auto _ : state) {
        size_t k = i++ % queries.size();
        int r = search(form, &path, queries[k], &f.env);
        benchmark::DoNotOptimize(r);
        expanded += expansions_of(queries, k);
    }
    path_free(&path);
    state.counters["expansions"] = (double)expanded / (double)state.iterations();
    state.counters["ns_per_expansion"] =
        benchmark::Counter((double)expanded * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_AstarFar(benchmark::State& s) { run_queries(s, GAME, map_fixture().far); }
void BM_AstarFarFirstForm(benchmark::State& s) { run_queries(s, FIRST_FORM, map_fixture().far); }
void BM_AstarFarPlainScan(benchmark::State& s) { run_queries(s, PLAIN_SCAN, map_fixture().far); }
void BM_AstarUnreachable(benchmark::State& s) { run_queries(s, GAME, map_fixture().unreachable); }
void BM_AstarUnreachableFirstForm(benchmark::State& s) { run_queries(s, FIRST_FORM, map_fixture().unreachable); }
void BM_AstarUnreachablePlainScan(benchmark::State& s) { run_queries(s, PLAIN_SCAN, map_fixture().unreachable); }
BENCHMARK(BM_AstarFar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AstarFarFirstForm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AstarFarPlainScan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AstarUnreachable)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AstarUnreachableFirstForm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AstarUnreachablePlainScan)->Unit(benchmark::kMicrosecond);

// Each query through all three forms in turn, so that a busy machine weighs on them alike;
// reports the game's time per expansion and how many times slower the other forms are.
void BM_AstarSideBySide(benchmark::State& state)
{
    MapFixture& f = map_fixture();
    std::vector<Query>& queries = state.range(0) ? f.unreachable : f.far;
    Path path;
    path_init(&path);
    double seconds[3] = {0, 0, 0};
    long expanded = expansions_of(queries, 0) * 0;
    size_t i = 0;
    for (auto _ : state) {
        size_t k = i++ % queries.size();
        for (Form form : {GAME, FIRST_FORM, PLAIN_SCAN}) {
            double t0 = thread_cpu_seconds();
            benchmark::DoNotOptimize(search(form, &path, queries[k], &f.env));
            seconds[form] += thread_cpu_seconds() - t0;
        }
        expanded += expansions_of(queries, k);
    }
    path_free(&path);
    state.counters["game_ns_per_expansion"] = seconds[GAME] * 1e9 / (double)expanded;
    state.counters["first_form_x"] = seconds[FIRST_FORM] / seconds[GAME];
    state.counters["plain_scan_x"] = seconds[PLAIN_SCAN] / seconds[GAME];
    state.SetLabel(state.range(0) ? "unreachable" : "far");
}
BENCHMARK(BM_AstarSideBySide)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// The world benchmarks run twice: content checks from the occupancy index, and from a walk of the
// entity list as before the index (the ...ListWalk twins), for the ratio in one run.

// The default battle: party 0 marches on party 1, timed over its first ten seconds.
template <bool scan>
void run_battle(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        GameEnv& env = *workloads::make_default_battle(scan);
        state.ResumeTiming();
        for (int frame = 0; frame < 500; frame++)
            gameenv_run(&env, 0.02f);
        state.PauseTiming();
        gameenv_free(&env);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 500);  // frames
}
void BM_GameenvRunBattle(benchmark::State& s) { run_battle<false>(s); }
void BM_GameenvRunBattleListWalk(benchmark::State& s) { run_battle<true>(s); }
BENCHMARK(BM_GameenvRunBattle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameenvRunBattleListWalk)->Unit(benchmark::kMillisecond);

template <bool scan>
void crowd_first_frame(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        GameEnv& env = *workloads::make_crowd(scan);
        state.ResumeTiming();
        gameenv_run(&env, 0.02f);  // plans every route
        state.PauseTiming();
        gameenv_free(&env);
        state.ResumeTiming();
    }
}
void BM_CrowdFirstFrame(benchmark::State& s) { crowd_first_frame<false>(s); }
void BM_CrowdFirstFrameListWalk(benchmark::State& s) { crowd_first_frame<true>(s); }
BENCHMARK(BM_CrowdFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CrowdFirstFrameListWalk)->Unit(benchmark::kMillisecond)->Iterations(3);

template <bool scan>
void crowd_marching(benchmark::State& state)
{
    GameEnv& env = *workloads::make_crowd(scan);
    gameenv_run(&env, 0.02f);
    for (auto _ : state)
        gameenv_run(&env, 0.02f);
    state.counters["units"] = list_count(&env.entities);
    gameenv_free(&env);
}
void BM_CrowdMarching(benchmark::State& s) { crowd_marching<false>(s); }
void BM_CrowdMarchingListWalk(benchmark::State& s) { crowd_marching<true>(s); }
BENCHMARK(BM_CrowdMarching)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrowdMarchingListWalk)->Unit(benchmark::kMillisecond);

}  // namespace
