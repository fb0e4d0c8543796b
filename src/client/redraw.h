// Which frames are drawn. In play the world moves and every frame is drawn. In the main menu
// and the pause menu the picture changes only with the player's input or with what happens to
// the window, so a frame that would show exactly what the last drawn one shows is not drawn
// at all: the window keeps showing that one, and a game left at a menu costs next to nothing.
// The frame loop itself still runs at the menus' pace and answers every event.
#pragma once

#include <SDL/SDL.h>

#include "shell.h"  // ProgramState
#include "types.h"

// What decides a menu's picture besides input: the program state and the window.
struct FrameLook {
    ProgramState state;
    int w, h;         // window size in pixels; 0 without a window
    bool fullscreen;  // the window covers the screen
    u32 graphics;     // platform_graphics_generation(): a new context holds no picture yet
    u32 status;       // a hash of the line over the menus (a network game's state); 0: none
    bool world_moves; // the world goes on under the pause menu (a network game)
};

struct RedrawGate {
    bool drawn;      // a frame was drawn since the gate was made
    bool changed;    // an event since the last drawn frame may have changed the picture
    FrameLook last;  // the look of the last drawn frame
};

// A gate before the first frame, which is always drawn.
void redraw_gate_init(RedrawGate* gate);
// Notes a handled event. The pointer moving, a key or a mouse button, and a window resized,
// exposed or (de)activated make the next frame drawn; any other event changes nothing seen.
void redraw_note_event(RedrawGate* gate, const SDL_Event* event);
// True when the frame that would look like `look` must be drawn: always in play and over a
// world that moves; in a menu when it is the first frame, an event was noted or the look
// differs from the last drawn one.
// A true result counts the frame as drawn.
bool redraw_frame_due(RedrawGate* gate, const FrameLook& look);
// The look of the frame the game would draw now, from the program state and main_screen.
FrameLook current_frame_look();
