#include "replayworld.h"

#include <cstdio>

#include "newgame.h"
#include "random.h"
#include "shell.h"
#include "worldhash.h"

ReplayWorld replay_build_world(const GameRecord* rec, const char* name, bool window, char* err,
                               size_t err_size)
{
    const GameStart& st = rec->start;
    mysrand(st.generator);
    next_entity_uid = (int)st.uid_counter;
    if (window) {
        create_game_at(st.second);
    } else if (!create_world_at(st.second)) {
        std::snprintf(err, err_size, "%s: out of memory for the world", name);
        return REPLAY_WORLD_BAD;
    }
    const Area& a = main_gameenv.voxeldata.area;
    if (a.w != st.map_w || a.h != st.map_h || a.d != st.map_d) {
        std::snprintf(err, err_size, "%s: recorded on a map of %u x %u x %u cells; this game makes %d x %d x %d",
                      name, st.map_w, st.map_h, st.map_d, a.w, a.h, a.d);
        return REPLAY_WORLD_BAD;
    }
    if (terrain_hash(&main_gameenv.voxeldata) != st.terrain)
        return REPLAY_WORLD_DIFFERS;
    return REPLAY_WORLD_OK;
}
