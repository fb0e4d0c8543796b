#include "checkreplay.h"

#include <cinttypes>
#include <cstdio>

#include "gamerecord.h"
#include "replay.h"
#include "replayworld.h"
#include "shell.h"
#include "sound.h"
#include "worldhash.h"

namespace {

// Unheard, the game must still draw for each sound it plays where the recorded game could.
void give_recorded_sounds(u8 sounds)
{
    for (int i = 0; i < 6; i++)
        if ((sounds & (1 << i)) && sound_collection_size(GAMERECORD_SOUND_COLLECTIONS[i]) == 0)
            sound_add_silent(GAMERECORD_SOUND_COLLECTIONS[i]);
}

}  // namespace

int check_replay(const char* path)
{
    static GameRecord record;
    char err[400];
    if (!gamerecord_load(path, &record, err, sizeof err)) {
        std::fprintf(stderr, "%s\n", err);
        return 2;
    }
    give_recorded_sounds(record.start.sounds);
    main_init_globals();
    int status = 0;
    ReplayWorld w = replay_build_world(&record, path, false, err, sizeof err);
    static Replay replay;
    replay_begin(&replay, &record, path);
    if (w == REPLAY_WORLD_BAD) {
        std::fprintf(stderr, "%s\n", err);
        status = 2;
    } else if (w == REPLAY_WORLD_DIFFERS) {
        std::fprintf(stderr, "Replay diverged at frame 0\n");
        status = 1;
    } else {
        ReplayResult r;
        while ((r = replay_step(&replay, &main_gameenv)) == REPLAY_STEPPED) {
        }
        if (r == REPLAY_DIVERGED) {
            std::fprintf(stderr, "Replay diverged at frame %u\n", replay.diverged_at);
            status = 1;
        } else if (r == REPLAY_BAD) {
            std::fprintf(stderr, "%s\n", replay.why);
            status = 2;
        }
    }
    std::printf("%s: %u frames, %.3f s of game time, %u hashes matched, final world hash %016" PRIx64 "%s\n",
                path, replay.frame, replay.game_time, replay.checked, world_hash(&main_gameenv),
                record.finished ? "" : " (the recording was cut off: it has no end)");
    main_free_globals();
    return status;
}
