// Route searches on generated maps, the game's search against the plain selection scan, and the
// world update for a battle and for a thousand units ordered across a large map.
#include <benchmark/benchmark.h>
#include <vector>

#include "../tests/astar_reference.h"
#include "../tests/battle_fixture.h"
#include "game.h"
#include "pathfind.h"

namespace {

struct Query {
    V3i from, to;
};

// A generated 64 x 64 map and standing cells for queries: far apart (opposite quarters), or
// aimed at a cell buried in the ground (unreachable: the search spends its whole budget).
struct MapFixture {
    GameEnv env;
    std::vector<Query> far, unreachable;
    MapFixture()
    {
        gameenv_init(&env);
        Area a = {0, 0, 0, 64, 64, 16};
        voxeldata_allocate(&env.voxeldata, &a);
        genmap(&env.voxeldata, 1234);
        mysrand(5);
        while (far.size() < 64 || unreachable.size() < 64) {
            V3i from = stand(myrand() % 16, myrand() % 16);
            V3i to = stand(48 + myrand() % 16, 48 + myrand() % 16);
            if (from.z < 0 || to.z < 0)
                continue;
            if (far.size() < 64)
                far.push_back({from, to});
            V3i buried = {to.x, to.y, 0};
            if (unreachable.size() < 64)
                unreachable.push_back({from, buried});
        }
    }
    ~MapFixture() { gameenv_free(&env); }
    V3i stand(int x, int y)
    {
        u8 m;
        int z = battle::column_ground(&env.voxeldata, x, y, &m);
        if (m == MATERIAL_TREE || m == MATERIAL_WATER || z + 1 >= 16)
            return {x, y, -1};
        return {x, y, z + 1};
    }
};

MapFixture& map_fixture()
{
    static MapFixture f;
    return f;
}

template <bool plain>
void run_queries(benchmark::State& state, std::vector<Query>& queries)
{
    MapFixture& f = map_fixture();
    Path path;
    path_init(&path);
    size_t i = 0;
    for (auto _ : state) {
        Query& q = queries[i++ % queries.size()];
        int r = plain ? astar_reference::pathfind_astar_plain(&path, &q.from, &q.to, &f.env, GF_WALK,
                                                              1000, nullptr, 0, 0)
                      : pathfind_astar(&path, &q.from, &q.to, &f.env, GF_WALK, 1000, nullptr, 0, 0);
        benchmark::DoNotOptimize(r);
    }
    path_free(&path);
}

void BM_AstarFar(benchmark::State& s) { run_queries<false>(s, map_fixture().far); }
void BM_AstarFarPlainScan(benchmark::State& s) { run_queries<true>(s, map_fixture().far); }
void BM_AstarUnreachable(benchmark::State& s) { run_queries<false>(s, map_fixture().unreachable); }
void BM_AstarUnreachablePlainScan(benchmark::State& s) { run_queries<true>(s, map_fixture().unreachable); }
BENCHMARK(BM_AstarFar);
BENCHMARK(BM_AstarFarPlainScan);
BENCHMARK(BM_AstarUnreachable);
BENCHMARK(BM_AstarUnreachablePlainScan);

// The world benchmarks run twice: content checks from the occupancy index, and from a walk of the
// entity list as before the index (the ...ListWalk twins), for the ratio in one run.

// The default battle: party 0 marches on party 1, timed over its first ten seconds.
template <bool scan>
void run_battle(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        GameEnv& env = *battle::make_battle(1234);
        env.scan_for_content = scan;
        battle::order_travel(&env, 0, battle::party_centre(&env, 1));
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

// About a thousand units in a 32 x 32 block on a 128 x 128 map, all sent to one far cell.
GameEnv* make_crowd(bool scan)
{
    GameEnv* env = battle::make_world(4321, 128, 128);
    env->scan_for_content = scan;
    add_entity_bunch(40, 40, 32, 0);
    V3i goal = {100, 100, 0};
    u8 m;
    goal.z = battle::column_ground(&env->voxeldata, goal.x, goal.y, &m) + 1;
    battle::order_travel(env, 0, goal);
    return env;
}

template <bool scan>
void crowd_first_frame(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        GameEnv& env = *make_crowd(scan);
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
    GameEnv& env = *make_crowd(scan);
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
