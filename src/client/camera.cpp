#include "camera.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include <SDL/SDL.h>

#include "game.h"
#include "gui.h"
#include "materialtypes.h"
#include "selection.h"
#include "shell.h"
#include "voxel.h"

PointedThing main_pointed_thing;

namespace {

constexpr float PI_F = 3.1415927f;
constexpr int POINT_STEPS = 400;      // the ray reaches 100 view units
constexpr float POINT_STEP = 0.25f;   // view units between ray samples
constexpr int PAN_THRESHOLD = 8;      // pixels of drag before a right press becomes a pan

bool is_solid(u8 material)
{
    return material > MATERIAL_AIR;
}

Entity* find_entity(u32 uid)
{
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
        if (e->uid == uid)
            return e;
    return nullptr;
}

// The description is cut to fit its field, as long entity positions would overflow it.
[[gnu::format(printf, 2, 3)]] void set_desc(PointedThing* pt, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(pt->desc, sizeof pt->desc, format, args);
    va_end(args);
}

float pointer_sensitivity()
{
    return 1.5f / main_screen->h;
}

}  // namespace

void get_camera_dir(float pitch, float yaw, V3f* result)
{
    float horiz = std::cos(pitch);
    float vert = std::sin(pitch);
    v3f_set_xyz(result, std::cos(yaw) * horiz, std::sin(yaw) * horiz, vert);
    v3f_normalize(result);
}

void pointedthing_init(PointedThing* pt)
{
    pt->desc[0] = '\0';
    pt->distance = 1e9f;
    pt->type = PTT_NOTHING;
}

Entity* pointedthing_entity(PointedThing* pt)
{
    if (pt->type != PTT_ENTITY)
        return nullptr;
    Entity* e = find_entity(pt->entity.uid);
    if (!e) {
        pointedthing_init(pt);
        return nullptr;
    }
    pt->entity.entity = e;
    return e;
}

bool check_camera_inside_ground()
{
    if (main_cam_pos.z < -0.5f)
        return true;
    V3i v;
    scale_from_view(&main_cam_pos, &v);
    const VoxelData* vd = &main_gameenv.voxeldata;
    if (!area_contains(&vd->area, &v))
        return false;
    return is_solid(voxeldata_get_material(vd, &v));
}

void get_pointed_voxel(V3i* p_pointed, bool* p_pointed_found, V3i* p_adjacent, bool* p_adjacent_found,
                       float* p_distance)
{
    V3f cdir;
    get_camera_dir(main_cam_pitch, main_cam_yaw, &cdir);
    // From inside the ground the ray looks for the way out, so solid and free swap roles.
    bool inside = check_camera_inside_ground();
    const VoxelData* vd = &main_gameenv.voxeldata;

    V3i hit = {0, 0, 0};
    V3i passed = {0, 0, 0};
    bool hit_found = false;
    bool passed_found = false;
    float distance = 1e8f;
    for (int i = 0; i < POINT_STEPS; i++) {
        float t = POINT_STEP * i;
        V3f p = {main_cam_pos.x + cdir.x * t, main_cam_pos.y + cdir.y * t, main_cam_pos.z + cdir.z * t};
        V3i v;
        scale_from_view(&p, &v);
        if (!area_contains(&vd->area, &v))
            continue;
        if (is_solid(voxeldata_get_material(vd, &v)) != inside) {
            hit = v;
            hit_found = true;
            distance = t;
            break;
        }
        passed = v;
        passed_found = true;
    }

    if (!inside) {
        *p_pointed = hit;
        *p_pointed_found = hit_found;
        *p_adjacent = passed;
        *p_adjacent_found = passed_found;
    } else {
        *p_pointed = passed;
        *p_pointed_found = passed_found;
        *p_adjacent = hit;
        *p_adjacent_found = hit_found;
    }
    *p_distance = distance;
}

void get_pointed_thing(PointedThing* result, u32 point_filter)
{
    pointedthing_init(result);

    if (point_filter & POINT_VOXELS) {
        V3i pointed, adjacent;
        bool pointed_found, adjacent_found;
        float distance;
        get_pointed_voxel(&pointed, &pointed_found, &adjacent, &adjacent_found, &distance);
        if (pointed_found) {
            set_desc(result, "voxel (%i,%i,%i)", (int)pointed.x, (int)pointed.y,
                          (int)pointed.z);
            result->distance = distance;
            result->pos = pointed;
            result->type = PTT_VOXEL;
            result->voxel.pointed_found = pointed_found;
            result->voxel.pointed = pointed;
            result->voxel.adjacent_found = adjacent_found;
            result->voxel.adjacent = adjacent;
        }
    }

    if (point_filter & POINT_ENTITIES) {
        V3f cdir;
        get_camera_dir(main_cam_pitch, main_cam_yaw, &cdir);
        V3f up = {0, 0, 1};
        V3f horiz = up;
        v3f_cross(&horiz, &cdir);
        // Looking straight up or down leaves no horizontal axis; the heading still gives one.
        if (v3f_length(&horiz) < 1e-6f)
            v3f_set_xyz(&horiz, -std::sin(main_cam_yaw), std::cos(main_cam_yaw), 0);
        v3f_normalize(&horiz);
        V3f vert = horiz;
        v3f_cross(&vert, &cdir);
        v3f_normalize(&vert);

        for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
            // Aim at the middle of the sprite rather than at the entity's feet.
            V3f pf = e->pf;
            scale_to_view_f(&pf);
            v3f_add_xyz(&pf, vert.x * 0.225f, vert.y * 0.225f, vert.z * 0.225f);
            V3f to_e = pf;
            v3f_sub(&to_e, &main_cam_pos);
            float distance = v3f_length(&to_e);
            if (!(distance > 1e-6f))
                continue;
            // An entity standing on the pointed ground may be a little farther than the ground hit.
            float limit = result->type == PTT_VOXEL ? result->distance + 1.0f : result->distance;
            if (distance > limit)
                continue;
            v3f_mul(&to_e, 1.0f / distance);
            if (v3f_dot(&cdir, &to_e) < std::cos(e->size / 1.75f / distance))
                continue;
            set_desc(result, "entity (%.1f,%.1f,%.1f)", e->pf.x, e->pf.y,
                          e->pf.z);
            result->distance = distance;
            result->pos = e->p1;
            result->type = PTT_ENTITY;
            result->entity.entity = e;
            result->entity.uid = e->uid;
        }
    }
}

bool get_rdown_center(V3f* p_center_p)
{
    switch (main_rdown_target.type) {
    case TARGET_COORDS:
        scale_to_view(&main_rdown_target.p, p_center_p);
        return true;
    case TARGET_ENTITY: {
        Entity* e = find_entity((u32)main_rdown_target.uid);
        if (!e)
            return false;
        *p_center_p = e->pf;
        scale_to_view_f(p_center_p);
        return true;
    }
    default:
        return false;
    }
}

void pan_camera(const V3f* center_p, int dx, int dy)
{
    float wind = pointer_sensitivity();
    V3f du = {std::cos(main_cam_yaw), std::sin(main_cam_yaw), 0};
    V3f dv = {std::cos(main_cam_yaw - PI_F / 2), std::sin(main_cam_yaw - PI_F / 2), 0};

    V3f cam_to_p = *center_p;
    v3f_sub(&cam_to_p, &main_cam_pos);
    float distance = v3f_length(&cam_to_p);
    float d = std::hypot(cam_to_p.x, cam_to_p.y);
    float z = cam_to_p.z;

    float side = wind * dx * d;
    main_cam_pos.x -= dv.x * side;
    main_cam_pos.y -= dv.y * side;
    // The forward slide divides by the height over the point; level with it there is none.
    if (z != 0) {
        float forward = wind * dy * distance * distance / -z;
        if (std::isfinite(forward)) {
            main_cam_pos.x -= du.x * forward;
            main_cam_pos.y -= du.y * forward;
        }
    }
    main_cam_pos.x = flimit(main_cam_pos.x, -CAMERA_PAN_BOUND, CAMERA_PAN_BOUND);
    main_cam_pos.y = flimit(main_cam_pos.y, -CAMERA_PAN_BOUND, CAMERA_PAN_BOUND);
    main_cam_pos.z = flimit(main_cam_pos.z, -CAMERA_PAN_BOUND, CAMERA_PAN_BOUND);

    // Keep the dragged point under the crosshair; this may look beyond the mouse-look limit.
    cam_to_p = *center_p;
    v3f_sub(&cam_to_p, &main_cam_pos);
    main_cam_pitch = std::atan2(cam_to_p.z, std::hypot(cam_to_p.x, cam_to_p.y));
    main_cam_yaw = std::atan2(cam_to_p.y, cam_to_p.x);
}

void on_mouse_move(int x, int y, int dx, int dy)
{
    float wind = pointer_sensitivity();
    if (!main_mouse_grabbed) {
        gui_mouse_move(main_guielems, main_guielemc, main_screen->w / 2, main_screen->h / 2, x, y);
        return;
    }

    V3f center_p;
    bool center_found = get_rdown_center(&center_p);
    if (main_button_states[SDL_BUTTON_RIGHT] && center_found) {
        main_rdown_pan_distance += std::abs(dx) + std::abs(dy);
        if (main_rdown_pan_distance > PAN_THRESHOLD)
            main_rdown_pan_active = true;
        if (main_rdown_pan_active && main_rdown_target.type != TARGET_ENTITY) {
            pan_camera(&center_p, dx, dy);
            return;
        }
    }

    // Mouse look; while orbiting an entity this circles it (move_viewpoint places the camera).
    main_cam_yaw = fwrap(main_cam_yaw - dx * wind, -PI_F, PI_F);
    main_cam_pitch = flimit(main_cam_pitch + dy * wind, -CAMERA_PITCH_LIMIT, CAMERA_PITCH_LIMIT);
}

void move_viewpoint(float dtime)
{
    const bool* keys = main_key_states;
    bool ctrl = keys[SDLK_LCTRL];

    V3f center_p;
    bool center_found = get_rdown_center(&center_p);
    if (center_found && main_rdown_pan_active && main_rdown_target.type == TARGET_ENTITY &&
        !main_select_is_attack) {
        V3f dir;
        get_camera_dir(main_cam_pitch, main_cam_yaw, &dir);
        float distance = main_rdown_camera_distance;
        main_cam_pos = center_p;
        v3f_add_xyz(&main_cam_pos, -dir.x * distance, -dir.y * distance, -dir.z * distance);
        if (!ctrl) {
            float change = 0;
            if (keys[SDLK_w] || keys[SDLK_e])
                change -= dtime * distance * 2;
            if (keys[SDLK_s] || keys[SDLK_SPACE])
                change += dtime * distance * 2;
            main_rdown_camera_distance = distance + change;
        }
        return;
    }

    // Flight speeds up with the distance from the map, so the way back is never long.
    const Area* a = &main_gameenv.voxeldata.area;
    int hw = a->w / 2, hh = a->h / 2;
    float limiter = (float)std::max(0, std::abs((int)(main_cam_pos.x - hw)) - hw) +
                    (float)std::max(0, std::abs((int)(main_cam_pos.y - hh)) - hh) +
                    std::fabs(main_cam_pos.z - a->d / 4);
    float ds = (std::pow(limiter, 1.1f) * 0.5f + 10.0f) * dtime;

    // Ctrl chords (Ctrl+A) must not fly the camera.
    if (ctrl)
        return;

    V3f move = {0, 0, 0};
    auto along = [&](float heading) { v3f_add_xyz(&move, std::cos(heading) * ds, std::sin(heading) * ds, 0); };
    if (keys[SDLK_w])
        along(main_cam_yaw);
    if (keys[SDLK_s])
        along(main_cam_yaw + PI_F);
    if (keys[SDLK_a])
        along(main_cam_yaw + PI_F / 2);
    if (keys[SDLK_d])
        along(main_cam_yaw - PI_F / 2);
    if (keys[SDLK_SPACE])
        move.z += ds;
    if (keys[SDLK_e])
        move.z -= ds;

    if ((move.x != 0 || move.y != 0 || move.z != 0) && ds != 0) {
        // Diagonal flight is no faster than straight flight.
        float xy = std::hypot(move.x, move.y);
        if (xy > ds) {
            move.x *= ds / xy;
            move.y *= ds / xy;
        }
    }
    v3f_add(&main_cam_pos, &move);
}

void camera_rbutton_press()
{
    main_rdown_pan_distance = 0;
    main_rdown_pan_active = false;
    PointedThing pt;
    get_pointed_thing(&pt, POINT_VOXELS | POINT_ENTITIES);
    if (pt.type == PTT_VOXEL) {
        main_rdown_target.type = TARGET_COORDS;
        main_rdown_target.p = pt.voxel.pointed;
    } else if (pt.type == PTT_ENTITY) {
        main_rdown_target.type = TARGET_ENTITY;
        main_rdown_target.uid = (int)pt.entity.uid;
        // With nothing selected a press on a unit orbits it at once, without a drag.
        if (count_selected_entities() == 0)
            main_rdown_pan_active = true;
    } else {
        main_rdown_target.type = TARGET_NONE;
    }
    V3f center_p;
    if (get_rdown_center(&center_p))
        main_rdown_camera_distance = v3f_distance(&main_cam_pos, &center_p);
}

void camera_rbutton_release()
{
    main_rdown_target.type = TARGET_NONE;
    if (!main_rdown_pan_active)
        for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
            e->selected = false;
}
