// The program-wide state of the game shell and the operations on the program
// state. Every long-lived object of the game is one of these main_* variables,
// shared by start-up, the frame loop, input, camera, new-game set-up and drawing.
// All of it lives on the main thread.
#pragma once

#include <SDL/SDL.h>
#include <GL/gl.h>

#include "entitytask.h"  // Target
#include "game.h"        // GameEnv
#include "gui.h"
#include "mesh.h"
#include "types.h"

enum ProgramState {
    PS_NONE = 0,        // before the first state change; no menu group active
    PS_INGAME = 1,      // a game runs: camera and world move, pointer held at the centre
    PS_INGAMEMENU = 2,  // reserved; nothing enters it
    PS_PAUSEMENU = 3,   // a game exists but is frozen under the pause menu
    PS_MAINMENU = 4,    // no game; the main menu on a black screen
};

// One entry for every key code the SDL headers in use define, 0..SDLK_LAST: 324 with SDL 1.2's
// own headers; the browser's SDL numbers the keys that type no character 1024 + scan code (F1 is
// 1082, left Ctrl 1248), so its table has 1537.
constexpr int MAIN_KEY_COUNT = SDLK_LAST + 1;
constexpr int MAIN_BUTTON_COUNT = 8;    // SDL mouse buttons 0..7 (1 left, 3 right)
constexpr int MAIN_GUIELEMS_SIZE = 20;  // capacity of main_guielems

// The keys the game reads from main_key_states by their code.
static_assert(SDLK_w < MAIN_KEY_COUNT && SDLK_a < MAIN_KEY_COUNT && SDLK_s < MAIN_KEY_COUNT &&
              SDLK_d < MAIN_KEY_COUNT && SDLK_e < MAIN_KEY_COUNT && SDLK_SPACE < MAIN_KEY_COUNT &&
              SDLK_LCTRL < MAIN_KEY_COUNT && SDLK_LSHIFT < MAIN_KEY_COUNT &&
              SDLK_F1 < MAIN_KEY_COUNT);

// Menu groups, one per program state that shows a menu.
constexpr int GROUP_PAUSEMENU = 1;
constexpr int GROUP_MAINMENU = 2;
constexpr int GROUP_INGAMEMENU = 3;
constexpr int GROUP_INGAME = 4;

extern SDL_Surface* main_screen;   // the window; w and h are the window size in pixels
extern bool main_run;              // the frame loop continues while set
extern GLuint main_voxel_texture;  // terrain atlas
extern GLuint main_entity_textures[2];  // sprite atlas per party, index = party
extern GLuint main_misc_texture;   // font, pointer, markers, button
extern int main_friendly_party;    // party of the first selected entity, -1 if none; per frame
extern V3f main_cam_pos;           // camera position, view coordinates
extern float main_cam_pitch;       // radians, positive looks up
extern float main_cam_yaw;         // radians in the x-y plane, 0 looks along +x
extern bool main_key_states[MAIN_KEY_COUNT];       // held keys by SDL key code
extern bool main_mouse_grabbed;    // pointer held at the centre, driving the camera (in play)
extern int main_ignore_next_mouse_movements;       // coming motion events to discard
extern bool main_button_states[MAIN_BUTTON_COUNT]; // held mouse buttons
extern bool main_select_is_attack;       // a left click on the pointed entity orders an attack
extern bool main_pointed_draw_adjacent;  // mark the free voxel in front of the pointed one
extern Target main_rdown_target;         // what the right button was pressed on
extern float main_rdown_camera_distance; // orbit distance in view units, kept between gestures
extern int main_rdown_pan_distance;      // pointer travel in pixels since the right press
extern bool main_rdown_pan_active;       // the right press has become a pan or orbit
extern GameEnv main_gameenv;             // the world: voxel data, entities, projectiles
extern Mesh main_voxel_mesh;             // terrain mesh of the current game
extern GuiElem main_guielems[MAIN_GUIELEMS_SIZE];  // every menu element
extern int main_guielemc;                // used entries of main_guielems
extern ProgramState main_state;

// Switches the program state: holds or frees the pointer, swaps the menu groups.
void set_program_state(ProgramState state);
// Holds the pointer at the window centre (warps it there once) unless already held.
void grab_mouse();
// Frees the pointer (warping it to the centre) if it was held.
void ungrab_mouse();

// Appends the seven menu elements of the main and pause menus to main_guielems.
void build_menus();
// The menu callbacks; each stops the program if called outside its own state.
void cb_mainmenu_play(int i);
void cb_mainmenu_quit(int i);
void cb_pausemenu_continue(int i);
void cb_pausemenu_quit(int i);

// Empties the world and the terrain mesh and resets the pointing result.
void main_init_globals();
// Releases the world and the terrain mesh.
void main_free_globals();
// Releases the current game; the world can be filled again by a new game.
void delete_game();

// Draws one frame (world or black screen, then the overlay) and swaps buffers.
void draw_screen();
// Draws the overlay: crosshair, menus and the drawn pointer, in window pixels.
void draw_gui();
