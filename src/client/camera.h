// The free-flying camera, the pointing ray under the crosshair and the
// right-button gesture (pan over the ground, orbit around a unit).
// The camera state itself is program-wide (main_cam_* in shell.h).
#pragma once

#include "types.h"

struct Entity;

enum PointedThingType {
    PTT_NOTHING = 0,
    PTT_VOXEL = 1,
    PTT_ENTITY = 2,
};

// What the centre of the view points at.
struct PointedThing {
    char desc[20];    // "voxel (x,y,z)" or "entity (x,y,z)"; empty when nothing is pointed
    float distance;   // camera to hit in view units; 1e9 when nothing is pointed
    V3i pos;          // the pointed voxel, or the pointed entity's p1
    PointedThingType type;
    union {
        struct {
            bool pointed_found;   // a solid voxel was hit
            V3i pointed;          // the hit voxel
            bool adjacent_found;  // a free voxel in front of the hit is known
            V3i adjacent;         // the last free voxel before the hit: where units are sent
        } voxel;
        struct {
            Entity* entity;  // owned by the entity list; use pointedthing_entity, which checks it still exists
            u32 uid;         // the pointed entity's uid, to tell whether the world update removed it
        } entity;
    };
};

// What the centre of the view points at this frame (program-wide; defined with the camera).
extern PointedThing main_pointed_thing;

// Bits of the filter given to get_pointed_thing.
constexpr u32 POINT_VOXELS = 1;
constexpr u32 POINT_ENTITIES = 2;

// Mouse look limits the pitch to just short of straight up or down.
constexpr float CAMERA_PITCH_LIMIT = 1.5607964f;
// Panning never takes the camera beyond this on any axis (view units).
constexpr float CAMERA_PAN_BOUND = 500.0f;

// The unit view direction for a pitch (positive looks up) and a yaw (0 looks along +x).
void get_camera_dir(float pitch, float yaw, V3f* result);
// Nothing pointed: empty description, distance 1e9; the union is left as it was.
void pointedthing_init(PointedThing* pt);
// True when the camera is below the world or inside a solid voxel.
bool check_camera_inside_ground();
// Marches the view ray through the world: the hit voxel, the free voxel before it, and the
// hit distance (1e8 with nothing found). Inside the ground the roles of solid and free swap.
void get_pointed_voxel(V3i* p_pointed, bool* p_pointed_found, V3i* p_adjacent, bool* p_adjacent_found,
                       float* p_distance);
// What the crosshair points at, testing voxels (POINT_VOXELS) and/or entities (POINT_ENTITIES).
void get_pointed_thing(PointedThing* result, u32 point_filter);
// The view-space point the right button was pressed on; false when there is none or its entity is gone.
bool get_rdown_center(V3f* p_center_p);
// The pointer moved: x, y in window pixels with y up; dx, dy relative with dy up.
void on_mouse_move(int x, int y, int dx, int dy);
// One frame of keyboard flight, or of the orbit around the right-button entity.
void move_viewpoint(float dtime);
// Slides the camera so that center_p stays under the crosshair after a drag of (dx, dy) pixels.
void pan_camera(const V3f* center_p, int dx, int dy);

// The right button went down while the pointer is held: records what it was pressed on.
void camera_rbutton_press();
// The right button came up: ends the gesture; a click that never became a drag deselects all.
void camera_rbutton_release();
// The pointed entity if it is still in the world; otherwise drops the pointing (PTT_NOTHING) and
// returns null. The world update may remove an entity between the pointing and its use.
Entity* pointedthing_entity(PointedThing* pt);
