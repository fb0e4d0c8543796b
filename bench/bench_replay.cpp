// What recording costs and what replays weigh: a battle played with and without its recording
// (the same orders and steps, so the difference is the recorder's), and games of 1 and 10
// minutes at the 333-frame cap recorded and then checked as --check-replay does. The file sizes
// come out as the "bytes" counter.
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include "checkreplay.h"
#include "gamerecord.h"
#include "materialtypes.h"
#include "newgame.h"
#include "random.h"
#include "shell.h"
#include "sound.h"

namespace {

void give_sounds()
{
    for (const char* c : GAMERECORD_SOUND_COLLECTIONS)
        if (sound_collection_size(c) == 0)
            sound_add_silent(c);
}

// The battle of map 1 as a new game places it.
void new_battle()
{
    main_free_globals();
    main_init_globals();
    mysrand(1);
    create_world_at(1);
}

// Every three seconds of game time an order for one party to a cell on the ground, and its unit's answer drawn from the
// generator, as a player's clicks give them.
void maybe_order(int frame, int frames_per_order, GameRecorder* rec)
{
    if (frame % frames_per_order != 0)
        return;
    static Order order;
    int party = (frame / frames_per_order) % 2;
    order_init(&order, ORDER_TRAVEL, party);
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
        if (e->party == party && e->type == ET_UNIT)
            order_add_uid(&order, e->uid);
    order.group_size = order.uid_count;
    // A cell on the ground, as a click on the terrain gives.
    order.cell = V3i{8 + (frame * 7) % 48, 8 + (frame * 13) % 48, 0};
    const VoxelData* vd = &main_gameenv.voxeldata;
    for (int z = vd->area.d - 1; z >= 0; z--) {
        V3i p = {order.cell.x, order.cell.y, z};
        if (voxeldata_get_material(vd, &p) > MATERIAL_AIR) {
            order.cell.z = z + 1;
            break;
        }
    }
    if (order.uid_count == 0 || !order_valid(&main_gameenv, &order, nullptr, 0))
        return;
    if (rec)
        recorder_order(rec, &order);
    order_apply(&main_gameenv, &order);
    myrand();
}

// The steps of a game at the frame cap: 3 ms, and one frame in ten a millisecond late.
float capped_step(int frame)
{
    return frame % 10 == 9 ? 0.004f : 0.003f;
}

// Plays `frames` frames of the battle, recording into `path` unless it is null; flushes once
// a second of game time as the game does once a second.
void play(int frames, const char* path)
{
    GameRecorder rec;
    char err[300];
    if (path && !recorder_open(&rec, path, &main_game_start, &main_gameenv, err, sizeof err)) {
        std::fprintf(stderr, "%s\n", err);
        return;
    }
    for (int f = 0; f < frames; f++) {
        maybe_order(f, 1000, path ? &rec : nullptr);
        float dt = capped_step(f);
        if (path)
            recorder_before_step(&rec);
        gameenv_run(&main_gameenv, dt);
        if (path) {
            recorder_after_step(&rec, dt, &main_gameenv);
            if (f % 300 == 299)
                recorder_flush(&rec);
        }
    }
    if (path)
        recorder_close(&rec, &main_gameenv);
}

std::string scratch_path()
{
    return "/tmp/quorvale-bench-replay.qrep";
}

// 2000 frames of the battle; with `record` the recorder's calls too.
template <bool record>
void battle_frames(benchmark::State& state)
{
    give_sounds();
    std::string path = scratch_path();
    for (auto _ : state) {
        state.PauseTiming();
        new_battle();
        state.ResumeTiming();
        play(2000, record ? path.c_str() : nullptr);
    }
    state.SetItemsProcessed(state.iterations() * 2000);
    std::remove(path.c_str());
}
void BM_BattleFrames(benchmark::State& s) { battle_frames<false>(s); }
void BM_BattleFramesRecorded(benchmark::State& s) { battle_frames<true>(s); }
BENCHMARK(BM_BattleFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BattleFramesRecorded)->Unit(benchmark::kMillisecond);

// A game of `minutes` at the cap recorded once, then checked in every iteration.
void BM_CheckReplay(benchmark::State& state)
{
    give_sounds();
    int minutes = (int)state.range(0);
    std::string path = "/tmp/quorvale-bench-replay-" + std::to_string(minutes) + "min.qrep";
    new_battle();
    play(minutes * 60 * 1000 * 10 / 31, path.c_str());  // 3.1 ms a frame on average
    struct stat st;
    stat(path.c_str(), &st);
    // check_replay prints its summary line each time.
    for (auto _ : state)
        if (check_replay(path.c_str()) != 0)
            state.SkipWithError("the recorded game did not check");
    state.counters["bytes"] = (double)st.st_size;
    std::remove(path.c_str());
}
BENCHMARK(BM_CheckReplay)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
