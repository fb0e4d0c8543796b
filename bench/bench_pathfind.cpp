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

// The default battle: party 0 marches on party 1, timed over its first ten seconds.
void BM_GameenvRunBattle(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        GameEnv& env = *battle::make_battle(1234);
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
BENCHMARK(BM_GameenvRunBattle)->Unit(benchmark::kMillisecond);

// About a thousand units in a 32 x 32 block on a 128 x 128 map, all sent to one far cell.
GameEnv* make_crowd()
{
    GameEnv* env = battle::make_world(4321, 128, 128);
    add_entity_bunch(40, 40, 32, 0);
    V3i goal = {100, 100, 0};
    u8 m;
    goal.z = battle::column_ground(&env->voxeldata, goal.x, goal.y, &m) + 1;
    battle::order_travel(env, 0, goal);
    return env;
}

void BM_CrowdFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        GameEnv& env = *make_crowd();
        state.ResumeTiming();
        gameenv_run(&env, 0.02f);  // plans every route
        state.PauseTiming();
        gameenv_free(&env);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CrowdFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CrowdMarching(benchmark::State& state)
{
    GameEnv& env = *make_crowd();
    gameenv_run(&env, 0.02f);
    for (auto _ : state)
        gameenv_run(&env, 0.02f);
    state.counters["units"] = list_count(&env.entities);
    gameenv_free(&env);
}
BENCHMARK(BM_CrowdMarching)->Unit(benchmark::kMillisecond);

}  // namespace
