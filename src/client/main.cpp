// The program: start-up, the frame loop and the orderly shut-down.
#include <climits>
#include <cstdio>
#include <ctime>
#include <string>

#include <SDL/SDL.h>
#include <GL/gl.h>

#include "camera.h"
#include "checkreplay.h"
#include "datadir.h"
#include "frametime.h"
#include "game.h"
#include "glmisc.h"
#include "input.h"
#include "keep_libraries.h"
#include "netgame.h"
#include "platform.h"
#include "random.h"
#include "recording.h"
#include "redraw.h"
#include "selection.h"
#include "shell.h"
#include "sound.h"
#include "textures.h"
#include "versus.h"
#include "watch.h"
#include "window.h"

namespace {

// The sound collections and their files under resources/sounds/, in loading order.
struct CollectionFiles {
    const char* name;
    const char* prefix;  // file name before the number
    int count;           // files numbered 0 .. count - 1
};
constexpr CollectionFiles collection_files[] = {
    {"ok", "roger", 1},
    {"ok", "okay", 2},
    {"shoot", "shoot", 2},
    {"shoot_missile", "shoot_missile", 4},
    {"explode_large", "explode_large", 6},
    {"explode", "explode", 7},
    {"hit", "hit", 8},
};

// A missing or unreadable file only leaves its collection smaller.
void load_sound_collections()
{
    for (const CollectionFiles& c : collection_files) {
        for (int i = 0; i < c.count; i++) {
            char file[100], path[PATH_MAX];
            std::snprintf(file, sizeof(file), "resources/sounds/%s%i.wav", c.prefix, i);
            sound_load_collection(c.name, data_path(file, path, sizeof(path)));
        }
    }
}

// Only the sanitizer build needs its libraries pinned at quit, for its leak report.
void keep_libraries_mapped_for_leak_report()
{
#if defined(__SANITIZE_ADDRESS__)
    keep_libraries_mapped();
#endif
}

// Everything the program started, in reverse order; safe after a failed or skipped start.
void shut_down()
{
    netgame_stop();
    // A game ended by closing the window or by an interrupt is a complete replay too.
    recording_game_over();
    keep_libraries_mapped_for_leak_report();
    SDL_Quit();
    sound_deinit();
    main_free_globals();
}

int error_exit()
{
    std::fprintf(stderr, "Error occurred.\n");
    shut_down();
    return -1;
}

// Opens the window and makes everything the menus need. 0, or -1 after its message.
int start_up()
{
    main_init_globals();
    init_data_dir();
    mysrand(static_cast<unsigned int>(std::time(nullptr)));
    if (sound_init() != 0) {
        std::fprintf(stderr, "Failed to initialize sound\n");
        return -1;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init failed\n");
        return -1;
    }
    if (!window_open())
        return -1;
    // The system pointer stays hidden for the whole run; the overlay draws its own.
    SDL_ShowCursor(SDL_DISABLE);
    gl_load_extensions();
    load_sound_collections();
    if (load_textures() != 0)
        return -1;
    build_menus();
    set_program_state(PS_MAINMENU);
    return 0;
}

// One frame of play: the camera moves with the real time step, the world with F1's fast forward.
void run_play_frame(float dtime)
{
    main_friendly_party = get_selected_party();
    move_viewpoint(dtime);
    sound_set_listener_position(&main_cam_pos);
    // A network game's world runs at the server's pace: no fast forward.
    bool fast = main_key_states[SDLK_F1] && !netgame_active();
    update_pointing();
    if (watch_active()) {
        watch_frame(dtime, fast);
        return;
    }
    // After the end of a game against the computer the world stands still under the result.
    if (versus_ended())
        return;
    if (netgame_active())
        return;  // its steps come from netgame_frame
    if (fast)
        dtime *= 10;
    // The computer's orders go through submit_order, so a recorded game holds them as it
    // holds the player's clicks.
    versus_before_step(dtime);
    recording_before_update();
    gameenv_run(&main_gameenv, dtime);
    recording_after_update(dtime);
    versus_after_step(dtime);
}

// The frame loop's own state: the tick count at the start of the last frame, the frame-rate
// report (which counts every frame, drawn or not) and what the last drawn frame showed.
u32 last_ticks = 0;
FpsCounter fps_counter = {0, 0};
RedrawGate redraw_gate = {};

void run_frame()
{
    u32 ticks = platform_ticks();
    u32 delay_ms;
    float dtime = frame_time_step(ticks, last_ticks, &delay_ms);
    if (delay_ms > 0)
        platform_delay(delay_ms);

    float fps;
    if (fps_count_frame(&fps_counter, dtime, &fps))
        std::printf("FPS: %.2f\n", fps);

    SDL_Event event;
    // In a network game nothing the player does alone may draw from the world's generator.
    unsigned int generator = myrand_state();
    while (platform_poll_event(&event)) {
        handle_event(&event);
        redraw_note_event(&redraw_gate, &event);
    }
    if (netgame_active()) {
        mysrand(generator);
        netgame_frame(dtime);
    }

    if (main_state == PS_INGAME)
        run_play_frame(dtime);
    recording_frame(ticks);

    if (main_screen && redraw_frame_due(&redraw_gate, current_frame_look()))
        draw_screen();
    // The delay above counts towards the next frame.
    last_ticks = ticks;
}

// What the command line asks for; every field empty for the game as it always was.
struct Options {
    const char* record_dir = nullptr;
    const char* replay_file = nullptr;
    const char* check_file = nullptr;
    bool opponent = false;  // play against the computer
    const char* host_url = nullptr;  // --host URL
    const char* join_url = nullptr;  // --join URL CODE
    const char* join_code = nullptr;
    bool help = false;
};

const char* const usage =
    "Usage: quorvale [--opponent] [--record DIR]\n"
    "                [--replay FILE | --check-replay FILE | --host URL | --join URL CODE]\n"
    "  --opponent           play against the computer: you command party 0, it party 1\n"
    "  --record DIR         write every game into DIR as quorvale-YYYYMMDD-HHMMSS.qrep\n"
    "  --replay FILE        watch a recorded game\n"
    "  --check-replay FILE  play a recorded game without a window and check it; exit status\n"
    "                       0 same game, 1 diverged, 2 unreadable\n"
    "  --host URL           host a game on the server at URL (ws://HOST:PORT) and command\n"
    "                       party 0; the game code to give the other player is shown\n"
    "  --join URL CODE      join the game CODE on the server at URL and command party 1\n";

// False, with a message, for an argument the game does not know or one without its value.
bool parse_options(int argc, char** argv, Options* o)
{
    int modes = 0;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        const char** slot = nullptr;
        if (a == "--record")
            slot = &o->record_dir;
        else if (a == "--replay")
            slot = &o->replay_file;
        else if (a == "--check-replay")
            slot = &o->check_file;
        else if (a == "--opponent") {
            o->opponent = true;
            continue;
        } else if (a == "--host")
            slot = &o->host_url;
        else if (a == "--join") {
            if (i + 2 >= argc) {
                std::fprintf(stderr, "--join needs a URL and a game code\n%s", usage);
                return false;
            }
            o->join_url = argv[++i];
            o->join_code = argv[++i];
            modes++;
            continue;
        } else if (a == "--help" || a == "-h") {
            o->help = true;
            continue;
        } else {
            std::fprintf(stderr, "Unknown argument: %s\n%s", argv[i], usage);
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n%s", argv[i], usage);
            return false;
        }
        *slot = argv[++i];
        modes++;
    }
    if (modes > 1 && !(modes == 2 && o->record_dir && (o->host_url || o->join_url))) {
        std::fprintf(stderr, "Only one of --record, --replay, --check-replay, --host and --join at a time"
                             " (--record goes with --host or --join)\n%s", usage);
        return false;
    }
    return true;
}

}  // namespace

int SDL_main(int argc, char** argv)
{
    Options options;
    if (!parse_options(argc, argv, &options))
        return 2;
    if (options.help) {
        std::printf("%s", usage);
        return 0;
    }
    if (options.check_file)
        return check_replay(options.check_file);
    // Games that could not be kept must not be played in the belief that they are.
    if (options.record_dir && !recording_set_folder(options.record_dir))
        return 2;
    if (options.opponent && (options.replay_file || options.check_file)) {
        std::fprintf(stderr, "--opponent plays a new game; a replay holds the computer's orders\n%s", usage);
        return 2;
    }
    if (options.opponent && (options.host_url || options.join_url)) {
        std::fprintf(stderr, "--opponent plays against the computer, not over the network\n%s", usage);
        return 2;
    }
    versus_set_enabled(options.opponent);
    if (start_up() != 0)
        return error_exit();
    const char* net_url = options.host_url ? options.host_url : options.join_url;
    if (net_url && !netgame_start(net_url, options.join_code, options.record_dir != nullptr)) {
        shut_down();
        return 2;
    }
    if (options.replay_file && !watch_start(options.replay_file)) {
        shut_down();
        return 2;
    }
    platform_run_frames(run_frame, shut_down);
    return 0;
}

int main(int argc, char** argv)
{
    // Progress lines must reach a pipe or a log at once.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return SDL_main(argc, argv);
}
