#include "input.h"

#include <cstdlib>

#include "camera.h"
#include "gui.h"
#include "netgame.h"
#include "platform.h"
#include "selection.h"
#include "shell.h"
#include "versus.h"
#include "window.h"

namespace {

void on_escape()
{
    switch (main_state) {
    case PS_PAUSEMENU:
        set_program_state(PS_INGAME);
        break;
    case PS_MAINMENU:
        main_run = false;
        break;
    case PS_INGAME:
        set_program_state(PS_PAUSEMENU);
        break;
    default:
        break;
    }
}

void on_key_down(const SDL_KeyboardEvent* key)
{
    int sym = key->keysym.sym;
    if (sym >= 0 && sym < MAIN_KEY_COUNT)
        main_key_states[sym] = true;
    // The window switch works everywhere, before the menus take Return.
    if (sym == SDLK_F11 || (sym == SDLK_RETURN && (key->keysym.mod & KMOD_ALT))) {
        platform_toggle_fullscreen();
        return;
    }
    // At the end of a game against the computer or another player, Return or Escape leaves it
    // for the main menu.
    if (main_state == PS_INGAME && (versus_ended() || netgame_ended()) &&
        (sym == SDLK_RETURN || sym == SDLK_ESCAPE)) {
        versus_stop();
        set_program_state(PS_MAINMENU);
        delete_game();
        return;
    }
    // Ctrl chords are play commands; the menus never see them.
    if (main_key_states[SDLK_LCTRL]) {
        if (sym == SDLK_a)
            select_all_units();
        return;
    }
    if (gui_press_key(main_guielems, main_guielemc, sym))
        return;
    if (sym == SDLK_ESCAPE)
        on_escape();
    else if (sym == SDLK_i)
        print_point_info();
}

void on_key_up(const SDL_KeyboardEvent* key)
{
    int sym = key->keysym.sym;
    if (sym >= 0 && sym < MAIN_KEY_COUNT)
        main_key_states[sym] = false;
}

void warp_to_centre()
{
    platform_warp_pointer(main_screen->w / 2, main_screen->h / 2);
}

void on_mouse_motion(const SDL_MouseMotionEvent* motion)
{
    int w = main_screen->w, h = main_screen->h;
    if (main_ignore_next_mouse_movements > 0) {
        main_ignore_next_mouse_movements--;
        if (main_mouse_grabbed)
            warp_to_centre();
        return;
    }
    int x = motion->x, y = motion->y, xrel = motion->xrel, yrel = motion->yrel;
    if (!main_mouse_grabbed) {
        on_mouse_move(x, h - 1 - y, xrel, -yrel);
        return;
    }
    // A held pointer inside the central half turns the camera where it is; a jump larger than
    // a fifth of the window there is the echo of a warp and is dropped.
    if (std::abs(x - w / 2) < w / 4 && std::abs(y - h / 2) < h / 4) {
        if (std::abs(xrel) < w / 5 && std::abs(yrel) < h / 5)
            on_mouse_move(x, h - 1 - y, xrel, -yrel);
        return;
    }
    on_mouse_move(x, h - 1 - y, xrel, -yrel);
    warp_to_centre();
}

void on_mouse_button_down(const SDL_MouseButtonEvent* button)
{
    int b = button->button;
    if (b < MAIN_BUTTON_COUNT)
        main_button_states[b] = true;
    if (!main_mouse_grabbed) {
        gui_mouse_press(main_guielems, main_guielemc, main_screen->w / 2, main_screen->h / 2,
                        button->x, main_screen->h - 1 - button->y, b);
        return;
    }
    // A finished game takes no more orders.
    if (b == SDL_BUTTON_LEFT && !versus_ended() && !netgame_ended())
        play_left_click();
    else if (b == SDL_BUTTON_RIGHT)
        camera_rbutton_press();
}

void on_mouse_button_up(const SDL_MouseButtonEvent* button)
{
    int b = button->button;
    if (b >= MAIN_BUTTON_COUNT)
        return;
    main_button_states[b] = false;
    if (b == SDL_BUTTON_RIGHT)
        camera_rbutton_release();
}

}  // namespace

void handle_event(SDL_Event* event)
{
    switch (event->type) {
    case SDL_VIDEORESIZE:
        window_set_mode(event->resize.w, event->resize.h, false);
        break;
    case SDL_KEYDOWN:
        on_key_down(&event->key);
        break;
    case SDL_KEYUP:
        on_key_up(&event->key);
        break;
    case SDL_MOUSEMOTION:
        if (main_screen)
            on_mouse_motion(&event->motion);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (main_screen)
            on_mouse_button_down(&event->button);
        break;
    case SDL_MOUSEBUTTONUP:
        on_mouse_button_up(&event->button);
        break;
    case SDL_QUIT:
        main_run = false;
        break;
    default:
        break;
    }
}
