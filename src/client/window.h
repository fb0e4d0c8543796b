// The game window's video mode: made at start-up, re-made when the player resizes the window
// or switches to fullscreen. OpenGL state (textures, buffers) survives a re-made mode.
#pragma once

#include "types.h"

constexpr int WINDOW_START_W = 800;  // pixels, the window's size at start
constexpr int WINDOW_START_H = 600;

// Makes the first video mode, a resizable OpenGL window of the start size, with frames paced
// by the display where the driver can. False when SDL gives no window.
bool window_open();
// Makes a new video mode of w x h pixels (fullscreen or a resizable window) and sets the
// viewport to it. If SDL cannot make it the game goes on with the surface SDL still has; with
// none left the frame loop ends. False when the mode could not be made.
bool window_set_mode(int w, int h, bool fullscreen);
