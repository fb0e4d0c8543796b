#include "watch.h"

#include <cstdio>
#include <string>

#include "gamerecord.h"
#include "gui.h"
#include "replay.h"
#include "replayworld.h"
#include "shell.h"
#include "sound.h"

namespace {

// At 10x a display frame plays at most this much game time, so a slow machine falls behind
// instead of spending ever longer frames catching up.
constexpr float MAX_FRAME_GAME_TIME = 0.5f;
// Steps of no time take none of that budget; a frame plays no more of them than this.
constexpr int MAX_FRAME_STEPS = 20000;

GameRecord record;
Replay replay;
std::string name;
bool active = false;
bool announced = false;   // the end or the divergence has been printed
float budget = 0;         // game time the replay may still play this frame
GuiElem* banner = nullptr;  // the line at the top of the view

void show(const char* text)
{
    if (banner)
        std::snprintf(banner->text, sizeof banner->text, "%s", text);
}

// The line while it plays: the time watched of the whole.
void show_progress()
{
    char text[80];
    int t = (int)replay.game_time, total = (int)record.game_seconds;
    std::snprintf(text, sizeof text, "Replay %d:%02d / %d:%02d", t / 60, t % 60, total / 60, total % 60);
    show(text);
}

void announce(ReplayResult r)
{
    if (announced)
        return;
    announced = true;
    char text[GUI_TEXT_SIZE];
    if (r == REPLAY_ENDED) {
        std::printf("Replay ended\n");
        show("Replay ended");
        return;
    }
    if (r == REPLAY_DIVERGED)
        std::snprintf(text, sizeof text, "Replay diverged at frame %u", replay.diverged_at);
    else
        std::snprintf(text, sizeof text, "%.190s", replay.why);
    std::fprintf(stderr, "%s\n", text);
    show(text);
}

}  // namespace

bool watch_start(const char* path)
{
    static char err[400];
    if (!gamerecord_load(path, &record, err, sizeof err)) {
        std::fprintf(stderr, "%s\n", err);
        return false;
    }
    name = path;
    set_program_state(PS_INGAME);
    ReplayWorld w = replay_build_world(&record, name.c_str(), true, err, sizeof err);
    if (w == REPLAY_WORLD_BAD) {
        std::fprintf(stderr, "%s\n", err);
        set_program_state(PS_MAINMENU);
        delete_game();
        return false;
    }
    replay_begin(&replay, &record, name.c_str());
    // A game whose sounds never drew from the world's generator (a network game's) is watched
    // with the viewer's sounds drawing from their own, or the first shot would change the world.
    sound_set_own_choices(record.start.sounds == 0);
    active = true;
    announced = false;
    budget = 0;
    if (!banner && main_guielemc < MAIN_GUIELEMS_SIZE) {
        banner = &main_guielems[main_guielemc++];
        guielem_init(banner);
        banner->type = GUI_LABEL;
        banner->group = GROUP_INGAME;
        banner->x = 0;
        banner->y = 270;
        gui_enable_group(main_guielems, main_guielemc, GROUP_INGAME);
    }
    std::printf("Watching %s: %u frames, %.1f s of game time\n", path, record.frames, record.game_seconds);
    if (w == REPLAY_WORLD_DIFFERS) {
        replay.state = REPLAY_DIVERGED;
        replay.diverged_at = 0;
        announce(REPLAY_DIVERGED);
    } else {
        show_progress();
    }
    return true;
}

bool watch_active()
{
    return active;
}

void watch_frame(float real_dtime, bool fast)
{
    if (!active)
        return;
    if (replay.state != REPLAY_STEPPED) {
        announce(replay.state);
        return;
    }
    budget += real_dtime * (fast ? 10 : 1);
    if (budget > MAX_FRAME_GAME_TIME)
        budget = MAX_FRAME_GAME_TIME;
    for (int steps = 0; budget > 0 && steps < MAX_FRAME_STEPS; steps++) {
        double before = replay.game_time;
        ReplayResult r = replay_step(&replay, &main_gameenv);
        if (r != REPLAY_STEPPED) {
            announce(r);
            return;
        }
        budget -= (float)(replay.game_time - before);
    }
    show_progress();
}

void watch_stop()
{
    active = false;
    sound_set_own_choices(false);
    if (banner)
        banner->text[0] = '\0';
}
