// The program: start-up, the frame loop and the orderly shut-down.
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <SDL/SDL.h>
#include <GL/gl.h>

#include "camera.h"
#include "datadir.h"
#include "frametime.h"
#include "game.h"
#include "glmisc.h"
#include "input.h"
#include "keep_libraries.h"
#include "platform.h"
#include "random.h"
#include "selection.h"
#include "shell.h"
#include "sound.h"
#include "textures.h"
#include "versus.h"
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
    if (main_key_states[SDLK_F1])
        dtime *= 10;
    update_pointing();
    // After the end of a game against the computer the world stands still under the result.
    if (versus_ended())
        return;
    versus_before_step(dtime);
    gameenv_run(&main_gameenv, dtime);
    versus_after_step(dtime);
}

// The frame loop's own state: the tick count at the start of the last frame and the
// frame-rate report.
u32 last_ticks = 0;
FpsCounter fps_counter = {0, 0};

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
    while (platform_poll_event(&event))
        handle_event(&event);

    if (main_state == PS_INGAME)
        run_play_frame(dtime);

    if (main_screen)
        draw_screen();
    // The delay above counts towards the next frame.
    last_ticks = ticks;
}

}  // namespace

int SDL_main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--opponent") == 0)
            versus_set_enabled(true);
    if (start_up() != 0)
        return error_exit();
    platform_run_frames(run_frame, shut_down);
    return 0;
}

int main(int argc, char** argv)
{
    // Progress lines must reach a pipe or a log at once.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return SDL_main(argc, argv);
}
