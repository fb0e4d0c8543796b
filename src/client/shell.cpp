#include "shell.h"

#include <cstdio>

#include "camera.h"
#include "check.h"
#include "netgame.h"
#include "newgame.h"
#include "platform.h"
#include "recording.h"
#include "versus.h"
#include "watch.h"

SDL_Surface* main_screen = nullptr;
bool main_run = true;
GLuint main_voxel_texture = 0;
GLuint main_entity_textures[2] = {0, 0};
GLuint main_misc_texture = 0;
int main_friendly_party = 0;
V3f main_cam_pos = {0, 0, 0};
float main_cam_pitch = 0;
float main_cam_yaw = 0;
bool main_key_states[MAIN_KEY_COUNT] = {};
bool main_mouse_grabbed = false;
int main_ignore_next_mouse_movements = 2;
bool main_button_states[MAIN_BUTTON_COUNT] = {};
bool main_select_is_attack = false;
bool main_pointed_draw_adjacent = false;
Target main_rdown_target = {};
float main_rdown_camera_distance = 10.0f;
int main_rdown_pan_distance = 0;
bool main_rdown_pan_active = false;
GameEnv main_gameenv = {};
Mesh main_voxel_mesh = {};
GuiElem main_guielems[MAIN_GUIELEMS_SIZE];
int main_guielemc = 0;
ProgramState main_state = PS_NONE;

namespace {

const char* const helptext =
    "Controls:\n"
    "WASD/E/Space=move, MouseL=point, MouseR=deselect/pan\n"
    "Ctrl+A=select all";

// The menu group shown in each state; -1 for none.
int state_group(ProgramState state)
{
    switch (state) {
    case PS_INGAME:
        return GROUP_INGAME;
    case PS_INGAMEMENU:
        return GROUP_INGAMEMENU;
    case PS_PAUSEMENU:
        return GROUP_PAUSEMENU;
    case PS_MAINMENU:
        return GROUP_MAINMENU;
    default:
        return -1;
    }
}

void warp_to_centre()
{
    if (main_screen)
        platform_warp_pointer(main_screen->w / 2, main_screen->h / 2);
}

// Takes the next free menu element, initialised, or stops the program when the table is full.
GuiElem* add_guielem(int group, GuiElementType type, int x, int y, const char* text)
{
    CHECK(main_guielemc < MAIN_GUIELEMS_SIZE);
    GuiElem* e = &main_guielems[main_guielemc++];
    guielem_init(e);
    e->group = group;
    e->type = type;
    e->x = x;
    e->y = y;
    std::snprintf(e->text, sizeof(e->text), "%s", text);
    return e;
}

void make_button(GuiElem* e, bool first, void (*cb)(int))
{
    e->selectable = true;
    e->browseable = true;
    e->select_when_enabling_group = first;
    e->cb_action = cb;
}

}  // namespace

void grab_mouse()
{
    if (main_mouse_grabbed)
        return;
    warp_to_centre();
    main_ignore_next_mouse_movements = 1;
    main_mouse_grabbed = true;
}

void ungrab_mouse()
{
    if (!main_mouse_grabbed)
        return;
    warp_to_centre();
    main_mouse_grabbed = false;
}

void set_program_state(ProgramState state)
{
    if (state == PS_INGAME)
        grab_mouse();
    else
        ungrab_mouse();
    int old_group = state_group(main_state);
    if (old_group >= 0)
        gui_disable_group(main_guielems, main_guielemc, old_group);
    int new_group = state_group(state);
    if (new_group >= 0)
        gui_enable_group(main_guielems, main_guielemc, new_group);
    main_state = state;
}

void build_menus()
{
    make_button(add_guielem(GROUP_PAUSEMENU, GUI_BUTTON, 0, 40, "Continue"), true,
                cb_pausemenu_continue);
    make_button(add_guielem(GROUP_PAUSEMENU, GUI_BUTTON, 0, 0, "Quit"), false, cb_pausemenu_quit);
    add_guielem(GROUP_PAUSEMENU, GUI_LABEL, 0, -120, helptext);
    add_guielem(GROUP_MAINMENU, GUI_LABEL, 0, 120, "Quorvale")->text_size = 48;
    add_guielem(GROUP_MAINMENU, GUI_LABEL, 0, -120, helptext);
    make_button(add_guielem(GROUP_MAINMENU, GUI_BUTTON, 0, 40, "Play"), true, cb_mainmenu_play);
    make_button(add_guielem(GROUP_MAINMENU, GUI_BUTTON, 0, 0, "Quit"), false, cb_mainmenu_quit);
}

void cb_mainmenu_play(int)
{
    CHECK(main_state == PS_MAINMENU);
    // A network game is started by the server when both players are in, never from here.
    if (netgame_active())
        return;
    // The new game opens paused, under the pause menu with its controls text.
    set_program_state(PS_PAUSEMENU);
    create_game();
    // The computer's party is noted before the record's header is written.
    versus_start();
    recording_game_created();
}

void cb_mainmenu_quit(int)
{
    CHECK(main_state == PS_MAINMENU);
    main_run = false;
}

void cb_pausemenu_continue(int)
{
    CHECK(main_state == PS_PAUSEMENU);
    set_program_state(PS_INGAME);
}

void cb_pausemenu_quit(int)
{
    CHECK(main_state == PS_PAUSEMENU);
    set_program_state(PS_MAINMENU);
    versus_stop();
    recording_game_over();
    watch_stop();
    delete_game();
}

void main_init_globals()
{
    gameenv_init(&main_gameenv);
    mesh_init(&main_voxel_mesh);
    pointedthing_init(&main_pointed_thing);
}

void main_free_globals()
{
    mesh_free(&main_voxel_mesh);
    gameenv_free(&main_gameenv);
}

void delete_game()
{
    main_free_globals();
}
