// The computer opponent's cost per frame on the arena's worlds: each world is played from its
// start against an idle party at a 60 Hz display's time step, and only the opponent's own
// work (its looks at the world, its route searches and its orders) is timed, in the thread's
// processor time so that other programs on a busy machine do not count. The mean per frame is
// the reported time per iteration; the worst single frame is the counter max_frame_us.
#include <benchmark/benchmark.h>

#include "../tests/battle_fixture.h"
#include "../tests/thread_clock.h"
#include "matchend.h"
#include "opponent.h"

namespace {

constexpr float kStep = 1.0f / 60;
constexpr int kFirstWorld = 1765000000;  // the arena's worlds, as `--worlds 1765000000 5` plays
constexpr int kWorlds = 5;

struct Arena {
    Opponent opponent;
    MatchState match;
    int world = 0;
    int party = 0;
    bool live = false;

    // The next world (and side) once a game has ended or run for three minutes.
    void next_game()
    {
        if (live)
            gameenv_free(&main_gameenv);
        int second = kFirstWorld + world % kWorlds;
        party = (world / kWorlds) % 2;
        world++;
        next_entity_uid = 1;
        battle::make_battle(second);
        opponent_init(&opponent, party);
        match_start(&match, &main_gameenv);
        live = true;
    }
};

void BM_OpponentFrame(benchmark::State& state)
{
    Arena* a = new Arena;
    a->next_game();
    double worst = 0;
    for (auto _ : state) {
        double t0 = thread_cpu_seconds();
        int n = opponent_step(&a->opponent, &main_gameenv, kStep);
        for (int i = 0; i < n; i++)
            order_apply(&main_gameenv, &a->opponent.orders[i]);
        double s = thread_cpu_seconds() - t0;
        state.SetIterationTime(s);
        worst = s > worst ? s : worst;
        gameenv_run(&main_gameenv, kStep);
        if (match_update(&a->match, &main_gameenv, kStep) != MATCH_ON || a->match.game_time > 180)
            a->next_game();
    }
    state.counters["max_frame_us"] = worst * 1e6;
    state.counters["games"] = a->world;
    gameenv_free(&main_gameenv);
    delete a;
}
BENCHMARK(BM_OpponentFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(60 * 60 * 20);

}  // namespace
