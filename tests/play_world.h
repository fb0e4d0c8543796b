// A small hand-made world for the camera, pointing and selection tests: a
// window size without a window, an all-air voxel box the test fills as it
// likes, and entities owned by the fixture (not allocated, never freed by the
// world). Every program-wide camera and input variable starts from rest.
#pragma once

#include <cstring>
#include <deque>

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "game.h"
#include "materialtypes.h"
#include "shell.h"
#include "voxel.h"

class PlayWorldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&screen, 0, sizeof screen);
        screen.w = 800;
        screen.h = 600;
        main_screen = &screen;

        voxeldata_init(&main_gameenv.voxeldata);
        list_init(&main_gameenv.entities);
        list_init(&main_gameenv.projectiles);
        occupancy_init(&main_gameenv.occupancy);
        Area a;
        area_set_xyzwhd(&a, 0, 0, 0, 64, 64, 16);
        ASSERT_EQ(voxeldata_allocate(&main_gameenv.voxeldata, &a), 0);
        for (int i = 0; i < area_size(&a); i++)
            main_gameenv.voxeldata.data[i].material = MATERIAL_AIR;

        v3f_set_xyz(&main_cam_pos, 0, 0, 0);
        main_cam_pitch = 0;
        main_cam_yaw = 0;
        std::memset(main_key_states, 0, sizeof main_key_states);
        std::memset(main_button_states, 0, sizeof main_button_states);
        main_mouse_grabbed = true;
        main_ignore_next_mouse_movements = 0;
        main_select_is_attack = false;
        main_pointed_draw_adjacent = false;
        main_friendly_party = -1;
        main_rdown_target.type = TARGET_NONE;
        main_rdown_camera_distance = 10.0f;
        main_rdown_pan_distance = 0;
        main_rdown_pan_active = false;
        pointedthing_init(&main_pointed_thing);
    }

    void TearDown() override
    {
        list_init(&main_gameenv.entities);
        occupancy_free(&main_gameenv.occupancy);
        voxeldata_free(&main_gameenv.voxeldata);
        main_screen = nullptr;
        main_mouse_grabbed = false;
        pointedthing_init(&main_pointed_thing);
    }

    void set_material(int x, int y, int z, u8 material)
    {
        V3i p = {x, y, z};
        Voxel* v = voxeldata_get(&main_gameenv.voxeldata, &p);
        ASSERT_NE(v, nullptr);
        v->material = material;
    }

    // Fills the box x0..x1, y0..y1, z0..z1 (inclusive) with `material`.
    void fill(int x0, int y0, int z0, int x1, int y1, int z1, u8 material)
    {
        for (int x = x0; x <= x1; x++)
            for (int y = y0; y <= y1; y++)
                for (int z = z0; z <= z1; z++)
                    set_material(x, y, z, material);
    }

    // A unit standing at voxel position (x, y, z), linked at the head of the entity list.
    Entity* add_unit(float x, float y, float z, int party = 0, u32 uid = 0)
    {
        Entity& e = entities.emplace_back();
        std::memset(&e, 0, sizeof e);
        e.type = ET_UNIT;
        e.uid = uid ? uid : next_uid++;
        e.party = party;
        e.size = 1.0f;
        e.health = 1.0f;
        e.durability = 5.0f;
        e.can_attack = true;
        e.base_graphflags = 1;
        v3f_set_xyz(&e.pf, x, y, z);
        v3i_set_xyz(&e.p0, (int)x, (int)y, (int)z);
        e.p1 = e.p0;
        gameenv_add_entity(&main_gameenv, &e);
        return &e;
    }

    SDL_Surface screen;
    std::deque<Entity> entities;  // stable addresses; the list only links them
    u32 next_uid = 100;
};
