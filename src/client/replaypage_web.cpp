// The page's replay controls: "Save replay" and "Watch a replay" (a file picker, or a file
// dropped on the canvas) call these from page.js. The page starts the game with --record into
// its in-memory file system, so the game so far can always be saved; nothing persists.
#include <emscripten.h>

#include "recording.h"
#include "shell.h"
#include "watch.h"

extern "C" {

// The current (or last) game's replay file in the page's file system, brought up to date;
// "" before the first game.
EMSCRIPTEN_KEEPALIVE const char* quorvale_replay_file()
{
    recording_flush_now();
    return recording_path();
}

// Opens the replay the page wrote to `path`: a game in progress ends first (its file
// complete), and the replay opens under the pause menu, since the page holds the pointer only
// after a click. 0, or 2 when the file cannot be watched (the reason is on the log).
EMSCRIPTEN_KEEPALIVE int quorvale_watch_replay(const char* path)
{
    if (main_state == PS_INGAME || main_state == PS_PAUSEMENU) {
        recording_game_over();
        watch_stop();
        set_program_state(PS_MAINMENU);
        delete_game();
    }
    if (!watch_start(path))
        return 2;
    set_program_state(PS_PAUSEMENU);
    return 0;
}

}  // extern "C"
