// The work the simulation benchmarks time, shared with the timing program of the browser build
// (bench/web/sim_timing.cpp) so that both builds are timed on the same input.
#pragma once

#include <vector>

#include "../tests/battle_fixture.h"
#include "../tests/world_fixture.h"
#include "game.h"
#include "pathfind.h"

namespace workloads {

struct Query {
    V3i from, to;
};

// A generated 64 x 64 map and standing cells for queries: far apart (opposite quarters), or
// aimed at a cell buried in the ground (unreachable: the search spends its whole budget).
struct RouteMap {
    GameEnv env;
    std::vector<Query> far, unreachable;
    RouteMap()
    {
        gameenv_init(&env);
        Area a = {0, 0, 0, 64, 64, 16};
        voxeldata_allocate(&env.voxeldata, &a);
        genmap(&env.voxeldata, 1234);
        mysrand(5);
        while (far.size() < 64 || unreachable.size() < 64) {
            // One draw per statement, rows first as the queries were always drawn: the order
            // of a call's arguments is the compiler's choice.
            int y = myrand() % 16;
            V3i from = stand(myrand() % 16, y);
            y = 48 + myrand() % 16;
            V3i to = stand(48 + myrand() % 16, y);
            if (from.z < 0 || to.z < 0)
                continue;
            if (far.size() < 64)
                far.push_back({from, to});
            V3i buried = {to.x, to.y, 0};
            if (unreachable.size() < 64)
                unreachable.push_back({from, buried});
        }
    }
    ~RouteMap() { gameenv_free(&env); }
    V3i stand(int x, int y)
    {
        u8 m;
        int z = battle::column_ground(&env.voxeldata, x, y, &m);
        if (m == MATERIAL_TREE || m == MATERIAL_WATER || z + 1 >= 16)
            return {x, y, -1};
        return {x, y, z + 1};
    }
};

// The search every route benchmark times: walking, a budget of 1000 expansions.
inline int route_search(Path* path, Query& q, GameEnv* env)
{
    return pathfind_astar(path, &q.from, &q.to, env, GF_WALK, 1000, nullptr, 0, 0);
}

// The default battle before its first frame: party 0 ordered to march on party 1.
inline GameEnv* make_default_battle(bool scan)
{
    GameEnv* env = battle::make_battle(1234);
    env->scan_for_content = scan;
    battle::order_travel(env, 0, battle::party_centre(env, 1));
    return env;
}

// About a thousand units in a 32 x 32 block on a 128 x 128 map, all sent to one far cell.
inline GameEnv* make_crowd(bool scan)
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

// n idle units of two parties spread over a 64 x 64 floor, too far apart to shoot.
inline void fill_idle_world(GameEnv* env, int n)
{
    make_flat_world(env, 64, 64, 16, 4);
    mysrand(1);
    for (int i = 0; i < n; i++) {
        Entity* e = add_unit(env, (i * 7) % 64, (i * 13 + i / 64) % 64, 5, i % 2);
        e->shoot_range = 0;
    }
}

}  // namespace workloads
