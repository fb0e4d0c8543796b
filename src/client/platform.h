// What the desktop game and the browser page do differently, behind one small interface:
// who drives the frames, how frames are paced, how the pointer is held and how the window
// goes fullscreen. The build compiles exactly one of platform_desktop.cpp and
// platform_web.cpp.
#pragma once

#include <SDL/SDL.h>

#include "types.h"

// Prepares the first video mode: asks for buffer swaps paced by the display's refresh (a
// driver that cannot pace them ignores it) and notes the display's size for fullscreen.
void platform_before_window();
// Calls frame() once a frame while main_run is set, then finish() once. On the desktop it
// returns after finish(); in the browser the page drives the frames.
void platform_run_frames(void (*frame)(), void (*finish)());
// The frame clock in milliseconds: SDL's tick counter, less the time the game was away (a
// hidden browser page), which no frame may simulate.
u32 platform_ticks();
// Takes the next event from SDL's queue as the game's input rules expect it. False when the
// queue is empty.
bool platform_poll_event(SDL_Event* event);
// Counts the graphics contexts given back after a loss (the browser's WebGL context): a new
// one holds no picture until a frame is drawn into it. Always 0 on the desktop.
u32 platform_graphics_generation();
// Sleeps away the rest of a frame shorter than the frame-time floor.
void platform_delay(u32 ms);
// Puts the pointer at (x, y), window pixels from the top left.
void platform_warp_pointer(int x, int y);
// Switches between the window and fullscreen at the desktop's size and back to the
// window's previous size; the drawing state survives.
void platform_toggle_fullscreen();
