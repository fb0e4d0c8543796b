// The scene: terrain, camera-facing sprites of units and buildings, building
// models, projectiles, selection and pointing markers. Main thread only.
#pragma once

#include "types.h"

// Draws one frame of the world with the current camera; keeps no state between frames.
void draw_game();

// The four corners (p_ps, view space, lower-left first, counter-clockwise as seen) of a
// camera-facing square of edge `size` for an object at epf0 (voxel units), moved
// cpdir_off extra toward the camera. Also the unit camera-to-object direction, the
// quad's screen-left and screen-down vectors, the heading of the camera-to-object ray
// and whether the side row (1) or the from-above row (0) of the sprite applies.
// Every output may be null.
void get_sprite_pos(V3f* epf0, float size, float cpdir_off, V3f* p_ps, V3f* p_cpdir, V3f* p_horiz, V3f* p_vert,
                    float* p_cam_yaw, bool* p_use_side_texture);
// The sprite column 0..7 for an object heading `heading` seen along a ray of heading `cam_yaw`.
int sprite_sector(float heading, float cam_yaw);
// The vertical field of view in degrees for a window of w x h pixels; wide windows get less.
double scene_field_of_view(int w, int h);
// The texture cell (x, y, w, h) of column `column` and row `row` of a sprite block.
TxCoords sprite_cell(const TxCoords* block, int column, int row);
// Sends one quad with corners ps[0..3] and the upright corner order of the cell `tx`;
// must be called inside a quad batch.
void emit_sprite_quad(const V3f* ps, const TxCoords* tx);
