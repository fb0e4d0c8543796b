// One frame drawn with the OpenGL calls the game makes, in the patterns it makes them: the same
// source is built against Mesa and against the browser's WebGL layer, and the two pictures are
// compared.
#pragma once

constexpr int SCENE_W = 800;  // window size in pixels
constexpr int SCENE_H = 600;

// Loads the textures from the raw RGBA files scene_native writes and makes the map of seed 1
// and its terrain mesh; call once the OpenGL window exists. False when a file is missing.
bool scene_init(const char* folder);
// Draws frame number `frame`; unless `animate`, every frame is the first one.
void scene_draw(int frame, bool animate);
