// The desktop game's platform: the program drives its own frame loop, sleeps where a frame is
// short, warps the system pointer and switches the video mode for fullscreen.
#include "platform.h"

#include <SDL/SDL.h>

#include "shell.h"
#include "window.h"

namespace {

// In the menus the world does not advance, so nothing is gained by running them faster than
// a display shows them (and most of their frames draw nothing); a menu frame lasts at least
// this long, which is how soon the menus answer an event.
constexpr u32 MENU_FRAME_MS = 17;

bool fullscreen = false;
int windowed_w = WINDOW_START_W, windowed_h = WINDOW_START_H;  // size to return to
int desktop_w = 0, desktop_h = 0;  // the display's size, read before the first video mode

bool world_is_frozen()
{
    return main_state == PS_MAINMENU || main_state == PS_PAUSEMENU;
}

// Sleeps what is left of a menu frame that began at `start`. A frame longer than that, or a
// tick counter that wrapped meanwhile, sleeps nothing.
void pace_menu_frame(u32 start)
{
    u32 now = SDL_GetTicks();
    if (now >= start && now - start < MENU_FRAME_MS)
        SDL_Delay(MENU_FRAME_MS - (now - start));
}

}  // namespace

void platform_before_window()
{
    // Once the window exists SDL reports the window's mode instead of the display's.
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info && desktop_w == 0) {
        desktop_w = info->current_w;
        desktop_h = info->current_h;
    }
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
}

void platform_run_frames(void (*frame)(), void (*finish)())
{
    while (main_run) {
        u32 start = SDL_GetTicks();
        frame();
        if (main_run && world_is_frozen())
            pace_menu_frame(start);
    }
    finish();
}

u32 platform_ticks()
{
    return SDL_GetTicks();
}

bool platform_poll_event(SDL_Event* event)
{
    return SDL_PollEvent(event) != 0;
}

u32 platform_graphics_generation()
{
    return 0;
}

void platform_delay(u32 ms)
{
    SDL_Delay(ms);
}

void platform_warp_pointer(int x, int y)
{
    SDL_WarpMouse(x, y);
}

void platform_toggle_fullscreen()
{
    if (!main_screen)
        return;
    if (fullscreen) {
        fullscreen = false;
        window_set_mode(windowed_w, windowed_h, false);
        return;
    }
    if (desktop_w <= 0 || desktop_h <= 0)
        return;
    windowed_w = main_screen->w;
    windowed_h = main_screen->h;
    fullscreen = window_set_mode(desktop_w, desktop_h, true);
}
