#include "camera.h"

#include <cmath>

#include <gtest/gtest.h>

#include "play_world.h"

namespace {

constexpr float PI_F = 3.1415927f;

V3f dir_of(float pitch, float yaw)
{
    V3f d;
    get_camera_dir(pitch, yaw, &d);
    return d;
}

TEST(CameraDirTest, FollowsYawAndPitchAndIsUnitLength)
{
    V3f d = dir_of(0, 0);
    EXPECT_NEAR(d.x, 1, 1e-6);
    EXPECT_NEAR(d.y, 0, 1e-6);
    EXPECT_NEAR(d.z, 0, 1e-6);
    d = dir_of(0, PI_F / 2);
    EXPECT_NEAR(d.x, 0, 1e-6);
    EXPECT_NEAR(d.y, 1, 1e-6);
    d = dir_of(0.5f, 0);
    EXPECT_GT(d.z, 0) << "positive pitch looks up";
    EXPECT_NEAR(d.z, std::sin(0.5f), 1e-6);
    for (float pitch : {-1.5f, -0.3f, 0.7f, 1.56f})
        for (float yaw : {-3.0f, 0.2f, 2.5f}) {
            d = dir_of(pitch, yaw);
            EXPECT_NEAR(v3f_length(&d), 1, 1e-5);
        }
}

class PointingTest : public PlayWorldTest {
protected:
    void SetUp() override
    {
        PlayWorldTest::SetUp();
        // A stone wall x = 10..12 across the whole map, the camera looking at it along +x.
        fill(10, 0, 0, 12, 63, 15, MATERIAL_STONE);
        v3f_set_xyz(&main_cam_pos, 2, 5, 1);  // voxel z 2
        main_cam_pitch = 0;
        main_cam_yaw = 0;
    }
};

TEST_F(PointingTest, VoxelHitGivesTheWallAndTheFreeCellBeforeIt)
{
    PointedThing pt;
    get_pointed_thing(&pt, POINT_VOXELS | POINT_ENTITIES);
    ASSERT_EQ(pt.type, PTT_VOXEL);
    // The sample at x = 9.5 rounds to the even cell 10: the 31st step, 7.5 units out.
    EXPECT_FLOAT_EQ(pt.distance, 7.5f);
    EXPECT_EQ(std::fmod(pt.distance, 0.25f), 0.0f);
    EXPECT_TRUE(v3i_eq_xyz(&pt.voxel.pointed, 10, 5, 2));
    EXPECT_TRUE(v3i_eq_xyz(&pt.pos, 10, 5, 2));
    EXPECT_TRUE(pt.voxel.pointed_found);
    EXPECT_TRUE(pt.voxel.adjacent_found);
    EXPECT_TRUE(v3i_eq_xyz(&pt.voxel.adjacent, 9, 5, 2));
    EXPECT_STREQ(pt.desc, "voxel (10,5,2)");
}

TEST_F(PointingTest, EntitiesOnlyFilterIgnoresTheGround)
{
    PointedThing pt;
    get_pointed_thing(&pt, POINT_ENTITIES);
    EXPECT_EQ(pt.type, PTT_NOTHING);
    EXPECT_EQ(pt.distance, 1e9f);
    EXPECT_STREQ(pt.desc, "");
}

TEST_F(PointingTest, RayThatMissesEverythingFindsNothing)
{
    main_cam_yaw = PI_F;  // away from the wall, off the map within 100 units
    V3i pointed, adjacent;
    bool pointed_found, adjacent_found;
    float distance;
    get_pointed_voxel(&pointed, &pointed_found, &adjacent, &adjacent_found, &distance);
    EXPECT_FALSE(pointed_found);
    EXPECT_EQ(distance, 1e8f);
    EXPECT_TRUE(v3i_eq_xyz(&pointed, 0, 0, 0));
}

TEST_F(PointingTest, FromInsideTheGroundThePointedVoxelIsTheLastSolidOne)
{
    v3f_set_xyz(&main_cam_pos, 10.6f, 5, 1);  // inside the wall, in cell 11
    ASSERT_TRUE(check_camera_inside_ground());
    PointedThing pt;
    get_pointed_thing(&pt, POINT_VOXELS);
    ASSERT_EQ(pt.type, PTT_VOXEL);
    EXPECT_TRUE(v3i_eq_xyz(&pt.voxel.pointed, 12, 5, 2));
    EXPECT_TRUE(v3i_eq_xyz(&pt.voxel.adjacent, 13, 5, 2));
    EXPECT_FLOAT_EQ(pt.distance, 2.0f);
}

TEST_F(PointingTest, BelowTheWorldCountsAsInsideTheGround)
{
    fill(0, 0, 0, 9, 63, 1, MATERIAL_STONE);  // two layers of ground before the wall
    v3f_set_xyz(&main_cam_pos, 4.3f, 4.3f, -0.9f);
    main_cam_pitch = CAMERA_PITCH_LIMIT;  // looking up through the ground
    ASSERT_TRUE(check_camera_inside_ground());
    PointedThing pt;
    get_pointed_thing(&pt, POINT_VOXELS);
    ASSERT_EQ(pt.type, PTT_VOXEL);
    EXPECT_TRUE(v3i_eq_xyz(&pt.voxel.pointed, 4, 4, 1));
    EXPECT_TRUE(v3i_eq_xyz(&pt.voxel.adjacent, 4, 4, 2));

    v3f_set_xyz(&main_cam_pos, 4.3f, 4.3f, 5);
    EXPECT_FALSE(check_camera_inside_ground());
}

TEST_F(PointingTest, EntityJustBehindTheGroundHitStillWins)
{
    // The wall is hit at 7.5; an entity is accepted up to 1.0 beyond that.
    Entity* near_wall = add_unit(10.4f, 5, 2);
    PointedThing pt;
    get_pointed_thing(&pt, POINT_VOXELS | POINT_ENTITIES);
    ASSERT_EQ(pt.type, PTT_ENTITY);
    EXPECT_EQ(pt.entity.entity, near_wall);
    EXPECT_EQ(pt.entity.uid, near_wall->uid);
    EXPECT_TRUE(v3i_eq(&pt.pos, &near_wall->p1));
    EXPECT_STREQ(pt.desc, "entity (10.4,5.0,2.");  // cut to the 19 characters of the field

    list_init(&main_gameenv.entities);
    occupancy_invalidate(&main_gameenv);
    add_unit(10.7f, 5, 2);
    get_pointed_thing(&pt, POINT_VOXELS | POINT_ENTITIES);
    EXPECT_EQ(pt.type, PTT_VOXEL);
}

TEST_F(PointingTest, NearestEntityInTheConeWinsAndOthersAreIgnored)
{
    add_unit(7, 5, 2);
    Entity* nearest = add_unit(5, 5, 2);
    add_unit(4, 8, 2);  // well off the line of sight
    PointedThing pt;
    get_pointed_thing(&pt, POINT_ENTITIES);
    ASSERT_EQ(pt.type, PTT_ENTITY);
    EXPECT_EQ(pt.entity.entity, nearest);
    EXPECT_NEAR(pt.distance, 3.0f, 0.02f);

    list_init(&main_gameenv.entities);
    occupancy_invalidate(&main_gameenv);
    add_unit(4, 8, 2);
    get_pointed_thing(&pt, POINT_ENTITIES);
    EXPECT_EQ(pt.type, PTT_NOTHING);
}

TEST_F(PointingTest, PointedEntityRemovedByTheWorldIsDropped)
{
    Entity* e = add_unit(5, 5, 2);
    get_pointed_thing(&main_pointed_thing, POINT_ENTITIES);
    ASSERT_EQ(pointedthing_entity(&main_pointed_thing), e);
    gameenv_remove_entity(&main_gameenv, e);  // as the world update removes a finished wreck
    EXPECT_EQ(pointedthing_entity(&main_pointed_thing), nullptr);
    EXPECT_EQ(main_pointed_thing.type, PTT_NOTHING);
}

class FlightTest : public PlayWorldTest {
protected:
    void SetUp() override
    {
        PlayWorldTest::SetUp();
        v3f_set_xyz(&main_cam_pos, 32, 32, 4);  // mid-map, mid-height
        main_cam_yaw = 0.3f;
    }
    float step(float dtime)
    {
        V3f before = main_cam_pos;
        move_viewpoint(dtime);
        return v3f_distance(&main_cam_pos, &before);
    }
};

TEST_F(FlightTest, TenUnitsPerSecondNearTheMapAndDiagonalsNoFaster)
{
    main_key_states[SDLK_w] = true;
    V3f before = main_cam_pos;
    EXPECT_NEAR(step(0.1f), 1.0f, 1e-4);
    EXPECT_NEAR(std::atan2(main_cam_pos.y - before.y, main_cam_pos.x - before.x), 0.3f, 1e-4);

    main_key_states[SDLK_a] = true;
    before = main_cam_pos;
    EXPECT_NEAR(step(0.1f), 1.0f, 1e-4);
    EXPECT_NEAR(std::atan2(main_cam_pos.y - before.y, main_cam_pos.x - before.x), 0.3f + PI_F / 4, 1e-4);
    EXPECT_EQ(main_cam_pos.z, before.z);
}

TEST_F(FlightTest, SpaceRisesEDescendsAndCtrlFreezes)
{
    main_key_states[SDLK_SPACE] = true;
    move_viewpoint(0.01f);
    EXPECT_NEAR(main_cam_pos.z, 4.1f, 1e-4);
    main_key_states[SDLK_SPACE] = false;
    main_key_states[SDLK_e] = true;
    main_key_states[SDLK_w] = true;
    main_key_states[SDLK_LCTRL] = true;
    EXPECT_EQ(step(0.5f), 0.0f);
}

TEST_F(FlightTest, FarFromTheMapTheCameraFliesFaster)
{
    main_key_states[SDLK_w] = true;
    v3f_set_xyz(&main_cam_pos, 200, 32, 4);  // 136 beyond the map's edge
    float expected = (std::pow(136.0f, 1.1f) * 0.5f + 10) * 0.1f;
    EXPECT_NEAR(step(0.1f), expected, 1e-3);
    EXPECT_GT(expected, 10.0f);
}

class MouseTest : public PlayWorldTest {};

TEST_F(MouseTest, MouseLookTurnsWrapsAndStopsAtThePitchLimit)
{
    const float wind = 1.5f / 600;
    on_mouse_move(400, 300, 100, 0);
    EXPECT_NEAR(main_cam_yaw, -100 * wind, 1e-6) << "moving right turns right";
    main_cam_yaw = 3.0f;
    on_mouse_move(400, 300, -200, 0);
    EXPECT_NEAR(main_cam_yaw, 3.0f + 200 * wind - 2 * PI_F, 1e-5);
    on_mouse_move(400, 300, 0, 5000);
    EXPECT_EQ(main_cam_pitch, CAMERA_PITCH_LIMIT);
    on_mouse_move(400, 300, 0, -20000);
    EXPECT_EQ(main_cam_pitch, -CAMERA_PITCH_LIMIT);
}

class GestureTest : public PlayWorldTest {
protected:
    void SetUp() override
    {
        PlayWorldTest::SetUp();
        fill(0, 0, 0, 63, 63, 1, MATERIAL_GRASS);  // flat ground, top at voxel z 1
        v3f_set_xyz(&main_cam_pos, 32, 20, 8);
        main_cam_yaw = PI_F / 2;
        main_cam_pitch = -0.8f;
    }
    void press()
    {
        main_button_states[SDL_BUTTON_RIGHT] = true;
        camera_rbutton_press();
    }
    void release()
    {
        main_button_states[SDL_BUTTON_RIGHT] = false;
        camera_rbutton_release();
    }
    // The camera looks exactly at p (view space).
    void expect_looking_at(const V3f& p)
    {
        V3f to_p = p;
        v3f_sub(&to_p, &main_cam_pos);
        v3f_normalize(&to_p);
        V3f dir = dir_of(main_cam_pitch, main_cam_yaw);
        EXPECT_NEAR(v3f_dot(&dir, &to_p), 1.0f, 1e-5);
    }
};

TEST_F(GestureTest, ClickWithoutDragDeselectsAndDragPansKeepingSelection)
{
    Entity* selected = add_unit(5, 5, 2);
    selected->selected = true;

    press();
    ASSERT_EQ(main_rdown_target.type, TARGET_COORDS);
    release();
    EXPECT_FALSE(selected->selected);
    EXPECT_EQ(main_rdown_target.type, TARGET_NONE);

    selected->selected = true;
    press();
    V3f center;
    ASSERT_TRUE(get_rdown_center(&center));
    EXPECT_NEAR(main_rdown_camera_distance, v3f_distance(&main_cam_pos, &center), 1e-4);
    V3f before = main_cam_pos;
    on_mouse_move(400, 300, 3, 0);
    on_mouse_move(400, 300, 3, 0);
    EXPECT_FALSE(main_rdown_pan_active) << "6 pixels is not a drag yet";
    on_mouse_move(400, 300, 0, 3);
    EXPECT_TRUE(main_rdown_pan_active);
    on_mouse_move(400, 300, 20, 10);
    EXPECT_NE(main_cam_pos.x, before.x);
    EXPECT_EQ(main_cam_pos.z, before.z) << "a pan keeps the height";
    expect_looking_at(center);
    release();
    EXPECT_TRUE(selected->selected);
}

TEST_F(GestureTest, PanStaysWithinBoundsAndMayLookStraightDown)
{
    press();
    V3f center;
    ASSERT_TRUE(get_rdown_center(&center));
    for (int i = 0; i < 50; i++)
        on_mouse_move(400, 300, 4000, -4000);
    EXPECT_LE(std::fabs(main_cam_pos.x), CAMERA_PAN_BOUND);
    EXPECT_LE(std::fabs(main_cam_pos.y), CAMERA_PAN_BOUND);
    expect_looking_at(center);

    // Right above the dragged point the re-aim looks beyond the mouse-look limit.
    v3f_set_xyz(&main_cam_pos, center.x, center.y, center.z + 6);
    main_cam_yaw = PI_F / 2;
    on_mouse_move(400, 300, 0, 1);
    EXPECT_LT(main_cam_pitch, -CAMERA_PITCH_LIMIT);
}

TEST_F(GestureTest, PanLevelWithTheDraggedPointSkipsTheForwardSlide)
{
    press();
    V3f center;
    ASSERT_TRUE(get_rdown_center(&center));
    v3f_set_xyz(&main_cam_pos, center.x, center.y - 10, center.z);
    main_cam_yaw = PI_F / 2;
    main_rdown_pan_active = true;
    on_mouse_move(400, 300, 0, 50);
    EXPECT_TRUE(std::isfinite(main_cam_pos.x));
    EXPECT_TRUE(std::isfinite(main_cam_pos.y));
    EXPECT_NEAR(main_cam_pos.y, center.y - 10, 1e-4) << "no forward slide";
    on_mouse_move(400, 300, 30, 0);
    EXPECT_NEAR(std::fabs(main_cam_pos.x - center.x), 0.75f, 1e-3) << "the side slide still works";
    expect_looking_at(center);
}

TEST_F(GestureTest, PressOnAUnitOrbitsItAtOnceAndWZooms)
{
    Entity* e = add_unit(32, 26, 2);
    main_cam_pitch = std::atan2(1 - 8.0f, 6.0f);  // looking at the unit
    press();
    ASSERT_EQ(main_rdown_target.type, TARGET_ENTITY);
    EXPECT_TRUE(main_rdown_pan_active) << "nothing selected: orbit without a drag";
    float distance = main_rdown_camera_distance;

    on_mouse_move(400, 300, 60, 0);  // circles instead of panning
    move_viewpoint(0.01f);
    V3f center = e->pf;
    scale_to_view_f(&center);
    EXPECT_NEAR(v3f_distance(&main_cam_pos, &center), distance, 1e-3);
    expect_looking_at(center);

    main_key_states[SDLK_w] = true;
    main_key_states[SDLK_LCTRL] = true;
    move_viewpoint(0.1f);
    EXPECT_FLOAT_EQ(main_rdown_camera_distance, distance) << "Ctrl+W does not zoom";
    main_key_states[SDLK_LCTRL] = false;
    move_viewpoint(0.1f);
    EXPECT_NEAR(main_rdown_camera_distance, distance * 0.8f, 1e-4);

    // The unit vanishes: the orbit ends while the button is still held.
    gameenv_remove_entity(&main_gameenv, e);
    V3f unused;
    EXPECT_FALSE(get_rdown_center(&unused));
    V3f before = main_cam_pos;
    main_key_states[SDLK_w] = false;
    move_viewpoint(0.1f);
    EXPECT_EQ(v3f_distance(&main_cam_pos, &before), 0.0f);
    release();
}

}  // namespace
