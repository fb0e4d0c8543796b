// Times the simulation benchmarks' work in one program that builds natively and to
// WebAssembly (Google Benchmark is native only), so that scripts/web-check can run both on the
// same input and report the browser build's speed as a ratio. One line per workload:
//
//   NAME MIN_MS MEDIAN_MS CHECK
//
// in milliseconds of processor time over `reps` timed runs (5 unless given) after one untimed
// run (node compiles hot WebAssembly functions again with its optimising compiler). CHECK
// digests what the work produced; both builds must print the same, or they did not do the same
// work.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../workloads.h"
#include "cpu_clock.h"
#include "genmesh.h"

namespace {

struct Workload {
    const char* name;
    int rounds;                    // set-up, run, tear-down this many times per timed run
    void (*setup)();               // untimed
    unsigned long long (*run)();   // timed; returns the check
    void (*teardown)();            // untimed
};

GameEnv* world;
u32 first_uid;  // of the newest entity at set-up: uids keep counting from run to run
workloads::RouteMap* route_map;
GameEnv idle_world;

unsigned long long mix(unsigned long long h, unsigned long long v)
{
    return battle::mix(h, v);
}

// 500 frames of the default battle, as BM_GameenvRunBattle.
void battle_setup()
{
    world = workloads::make_default_battle(false);
    first_uid = world->entities.lh_first->uid;
}
unsigned long long battle_run()
{
    for (int frame = 0; frame < 500; frame++)
        gameenv_run(world, 0.02f);
    return battle::frame_hash(world, first_uid);
}
void world_teardown() { gameenv_free(world); }

// The 64 far and 64 unreachable queries of the route benchmarks, each once.
void routes_setup()
{
    if (!route_map)
        route_map = new workloads::RouteMap;
}
unsigned long long run_queries(std::vector<workloads::Query>& queries)
{
    unsigned long long h = 0;
    Path path;
    path_init(&path);
    for (workloads::Query& q : queries) {
        h = mix(h, (unsigned long long)workloads::route_search(&path, q, &route_map->env));
        h = mix(h, (unsigned long long)path.length);
    }
    path_free(&path);
    return h;
}
unsigned long long routes_far_run() { return run_queries(route_map->far); }
unsigned long long routes_unreachable_run() { return run_queries(route_map->unreachable); }
void no_teardown() {}

// The thousand-unit crowd: its first frame plans every route (BM_CrowdFirstFrame), then
// 100 frames of marching (BM_CrowdMarching).
void crowd_setup()
{
    world = workloads::make_crowd(false);
    first_uid = world->entities.lh_first->uid;
}
unsigned long long crowd_first_run()
{
    gameenv_run(world, 0.02f);
    return battle::frame_hash(world, first_uid);
}
void crowd_marching_setup()
{
    crowd_setup();
    gameenv_run(world, 0.02f);
}
unsigned long long crowd_marching_run()
{
    for (int frame = 0; frame < 100; frame++)
        gameenv_run(world, 0.02f);
    return battle::frame_hash(world, first_uid);
}

// 100 frames of a thousand idle units (BM_GameenvRunIdle/1000).
void idle_setup()
{
    workloads::fill_idle_world(&idle_world, 1000);
    first_uid = idle_world.entities.lh_first->uid;
}
unsigned long long idle_run()
{
    for (int frame = 0; frame < 100; frame++)
        gameenv_run(&idle_world, 0.02f);
    return battle::frame_hash(&idle_world, first_uid);
}
void idle_teardown() { gameenv_free(&idle_world); }

// A new game's map and terrain mesh for the seeds of the world benchmarks.
unsigned long long new_world_run()
{
    unsigned long long h = 0;
    VoxelData vd;
    voxeldata_init(&vd);
    Area area = {0, 0, 0, 64, 64, 16};
    voxeldata_allocate(&vd, &area);
    Mesh mesh;
    mesh_init(&mesh);
    for (int seed : {1, 77, 1765155600, -123456}) {
        genmap(&vd, seed);
        genmesh(&vd, &area, &mesh);
        h = mix(h, (unsigned long long)mesh.vertex_count);
        h = mix(h, battle::bits(mesh.vertex_list[mesh.vertex_count * 3 - 1]));
    }
    mesh_free(&mesh);
    voxeldata_free(&vd);
    return h;
}
void no_setup() {}

const Workload kWorkloads[] = {
    {"battle_500_frames_x10", 10, battle_setup, battle_run, world_teardown},
    {"routes_far_64_x10", 10, routes_setup, routes_far_run, no_teardown},
    {"routes_unreachable_64_x10", 10, routes_setup, routes_unreachable_run, no_teardown},
    {"crowd_first_frame", 1, crowd_setup, crowd_first_run, world_teardown},
    {"crowd_100_frames", 1, crowd_marching_setup, crowd_marching_run, world_teardown},
    {"idle_1000_units_100_frames_x10", 10, idle_setup, idle_run, idle_teardown},
    {"new_world_4_seeds", 1, no_setup, new_world_run, no_teardown},
};

double run_once(const Workload& w, unsigned long long* check)
{
    double ms = 0;
    for (int i = 0; i < w.rounds; i++) {
        w.setup();
        double t0 = cpu_milliseconds();
        *check = w.run();
        ms += cpu_milliseconds() - t0;
        w.teardown();
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = argc > 1 ? std::atoi(argv[1]) : 5;
    const char* only = argc > 2 ? argv[2] : nullptr;  // one workload, for a profiler
    if (reps < 1 || argc > 3) {
        std::fprintf(stderr, "usage: sim_timing [REPS [WORKLOAD]]\n");
        return 2;
    }
    // Without sounds loaded (as in the benchmarks) every shot and hit prints that its sound
    // collection is empty. Buffered, the messages cost both builds their formatting only, not a
    // write each, which in the browser build is a call out to node per line.
    static char message_buffer[1 << 16];
    std::setvbuf(stderr, message_buffer, _IOFBF, sizeof message_buffer);
    for (const Workload& w : kWorkloads) {
        if (only && std::strcmp(only, w.name) != 0)
            continue;
        unsigned long long check = 0, first_check = 0;
        run_once(w, &first_check);
        std::vector<double> ms;
        for (int i = 0; i < reps; i++) {
            ms.push_back(run_once(w, &check));
            if (check != first_check) {
                std::printf("%s differs between runs\n", w.name);
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%s %.3f %.3f %016llx\n", w.name, ms.front(), ms[ms.size() / 2], check);
        std::fflush(stdout);
    }
    delete route_map;
    return 0;
}
