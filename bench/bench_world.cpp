// Time to build the world of a new game: the 64 x 64 x 16 map and its terrain mesh, the
// game's mesher beside its first form (the same vertices in the same order).
#include <benchmark/benchmark.h>
#include <string>

#include "../tests/genmesh_reference.h"
#include "../tests/thread_clock.h"
#include "genmap.h"
#include "genmesh.h"

namespace {

const int kSeeds[] = {1, 77, 1765155600, -123456};

struct NewGameWorld {
    NewGameWorld()
    {
        voxeldata_init(&vd);
        area_set_xyzwhd(&area, 0, 0, 0, 64, 64, 16);
        voxeldata_allocate(&vd, &area);
    }
    ~NewGameWorld() { voxeldata_free(&vd); }
    VoxelData vd;
    Area area;
};

void BM_Genmap(benchmark::State& state)
{
    NewGameWorld world;
    int seed = kSeeds[state.range(0)];
    for (auto _ : state) {
        genmap(&world.vd, seed);
        benchmark::DoNotOptimize(world.vd.data);
        benchmark::ClobberMemory();
    }
    state.SetLabel("seed " + std::to_string(seed));
}
BENCHMARK(BM_Genmap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

template <int (*mesher)(VoxelData*, const Area*, Mesh*)>
void run_genmesh(benchmark::State& state)
{
    NewGameWorld world;
    int seed = kSeeds[state.range(0)];
    genmap(&world.vd, seed);
    Mesh mesh;
    mesh_init(&mesh);
    for (auto _ : state) {
        mesher(&world.vd, &world.area, &mesh);
        benchmark::DoNotOptimize(mesh.vertex_list);
    }
    state.counters["vertices"] = mesh.vertex_count;
    state.SetLabel("seed " + std::to_string(seed));
    mesh_free(&mesh);
}

void BM_Genmesh(benchmark::State& s) { run_genmesh<genmesh>(s); }
void BM_GenmeshFirstForm(benchmark::State& s) { run_genmesh<genmesh_reference::genmesh_pieces>(s); }
BENCHMARK(BM_Genmesh)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenmeshFirstForm)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// Both meshers in turn on the same world, so that a busy machine weighs on them alike.
void BM_GenmeshSideBySide(benchmark::State& state)
{
    NewGameWorld world;
    int seed = kSeeds[state.range(0)];
    genmap(&world.vd, seed);
    Mesh mesh;
    mesh_init(&mesh);
    double game = 0, first_form = 0;
    for (auto _ : state) {
        double t0 = thread_cpu_seconds();
        genmesh(&world.vd, &world.area, &mesh);
        double t1 = thread_cpu_seconds();
        genmesh_reference::genmesh_pieces(&world.vd, &world.area, &mesh);
        first_form += thread_cpu_seconds() - t1;
        game += t1 - t0;
    }
    state.counters["game_ms"] = game * 1e3 / (double)state.iterations();
    state.counters["first_form_x"] = first_form / game;
    state.SetLabel("seed " + std::to_string(seed));
    mesh_free(&mesh);
}
BENCHMARK(BM_GenmeshSideBySide)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
