#include "newgame.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game.h"
#include "materialtypes.h"
#include "mesh.h"
#include "pathfind.h"
#include "random.h"
#include "shell.h"

namespace {

class NewGameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gameenv_init(&main_gameenv);
        Area a;
        area_set_xyzwhd(&a, 0, 0, 0, 64, 64, 16);
        ASSERT_EQ(voxeldata_allocate(&main_gameenv.voxeldata, &a), 0);
        for (int x = 0; x < 64; x++)
            for (int y = 0; y < 64; y++)
                for (int z = 0; z < 16; z++)
                    set(x, y, z, z < 4 ? MATERIAL_STONE : z == 4 ? MATERIAL_GRASS : MATERIAL_AIR);
        mysrand(4242);
    }
    void TearDown() override { gameenv_free(&main_gameenv); }

    void set(int x, int y, int z, u8 material)
    {
        V3i p = {x, y, z};
        voxeldata_get(&main_gameenv.voxeldata, &p)->material = material;
    }
    std::vector<Entity*> entities(int party, EntityType type)
    {
        std::vector<Entity*> found;
        for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
            if (e->party == party && e->type == type)
                found.push_back(e);
        return found;
    }
    Entity* at(int x, int y)
    {
        for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
            if (e->p0.x == x && e->p0.y == y)
                return e;
        return nullptr;
    }
    static bool is_missile_unit(const Entity* e) { return e->projectile_type == PT_MISSILE; }
};

TEST_F(NewGameTest, UnitBlocksCoverTheirOffsetsAndStandOnTheGround)
{
    const int sizes[] = {3, 4, 5};
    const int lowest[] = {-1, -2, -2};
    const int highest[] = {1, 1, 2};
    for (int i = 0; i < 3; i++) {
        int d = sizes[i];
        u32 first_uid = (u32)next_entity_uid;
        add_entity_bunch(20, 40, d, 1);
        std::vector<Entity*> units = entities(1, ET_UNIT);
        ASSERT_EQ((int)units.size(), d * d);
        int min_x = INT_MAX, max_x = INT_MIN, min_y = INT_MAX, max_y = INT_MIN;
        for (Entity* e : units) {
            min_x = std::min(min_x, e->p0.x);
            max_x = std::max(max_x, e->p0.x);
            min_y = std::min(min_y, e->p0.y);
            max_y = std::max(max_y, e->p0.y);
            EXPECT_EQ(e->p0.z, 5);
            EXPECT_EQ(e->pf.z, 5.0f);
            EXPECT_GE(e->uid, first_uid);
        }
        EXPECT_EQ(min_x, 20 + lowest[i]);
        EXPECT_EQ(max_x, 20 + highest[i]);
        EXPECT_EQ(min_y, 40 + lowest[i]);
        EXPECT_EQ(max_y, 40 + highest[i]);
        EXPECT_EQ(next_entity_uid, (int)first_uid + d * d);
        EXPECT_EQ(main_gameenv.entities.lh_first->uid, first_uid + d * d - 1) << "newest first";
        gameenv_free(&main_gameenv);
        SetUp();
    }
}

TEST_F(NewGameTest, TreesStayEmptyAndWaterAlwaysGetsAMissileUnit)
{
    set(31, 31, 5, MATERIAL_TREE);
    set(32, 32, 4, MATERIAL_WATER);
    int turret_units = 0;
    for (unsigned seed = 1; seed <= 20; seed++) {
        mysrand(seed);
        add_entity_bunch(32, 32, 3, 0);
        EXPECT_EQ(at(31, 31), nullptr);
        Entity* on_water = at(32, 32);
        ASSERT_NE(on_water, nullptr);
        EXPECT_TRUE(is_missile_unit(on_water));
        EXPECT_TRUE(on_water->base_graphflags & GF_ON_WATER);
        for (Entity* e : entities(0, ET_UNIT))
            turret_units += !is_missile_unit(e);
        EXPECT_EQ((int)entities(0, ET_UNIT).size(), 8);
        gameenv_free(&main_gameenv);
        SetUp();
        set(31, 31, 5, MATERIAL_TREE);
        set(32, 32, 4, MATERIAL_WATER);
    }
    EXPECT_GT(turret_units, 0) << "dry columns draw both kinds";
}

TEST_F(NewGameTest, BuildingsStandOnTheHighestGroundOfTheirFootprintUnlessATreeStopsTheScan)
{
    set(26, 29, 5, MATERIAL_STONE);  // under (25, 28)'s footprint, one higher
    set(29, 26, 5, MATERIAL_TREE);   // the highest cell under (28, 25)'s footprint
    add_building_bunch(28, 28, 2, 0);
    std::vector<Entity*> buildings = entities(0, ET_BUILDING);
    ASSERT_EQ(buildings.size(), 3u);
    ASSERT_NE(at(25, 25), nullptr);
    EXPECT_EQ(at(25, 25)->p0.z, 5);
    ASSERT_NE(at(25, 28), nullptr);
    EXPECT_EQ(at(25, 28)->p0.z, 6);
    EXPECT_EQ(at(28, 25), nullptr);
    ASSERT_NE(at(28, 28), nullptr);
    for (Entity* e : buildings) {
        EXPECT_EQ(e->base_graphflags, 0);
        float half = (e->building_size.x - 1) * 0.5f;
        EXPECT_EQ(e->pf.x, e->p0.x + half) << "a carage's position is the middle of its footprint";
    }
}

TEST_F(NewGameTest, ArmiesFollowTheDrawsInTheirOrder)
{
    for (unsigned seed : {7u, 99u, 2024u}) {
        mysrand(seed);
        int d = myrand_range(3, 5);
        int offsets[4];
        for (int& o : offsets) {
            int magnitude = myrand_range(d, 7);
            o = (myrand() % 2) ? magnitude : -magnitude;
        }
        mysrand(seed);
        add_some_units();
        for (int party = 0; party < 2; party++) {
            std::vector<Entity*> units = entities(party, ET_UNIT);
            ASSERT_EQ((int)units.size(), d * d) << "flat grass: no column refused";
            int min_x = INT_MAX, min_y = INT_MAX;
            for (Entity* e : units) {
                min_x = std::min(min_x, e->p0.x);
                min_y = std::min(min_y, e->p0.y);
            }
            EXPECT_EQ(min_x, 32 + offsets[party * 2] - d / 2) << "seed " << seed;
            EXPECT_EQ(min_y, 32 + offsets[party * 2 + 1] - d / 2) << "seed " << seed;
            EXPECT_EQ(entities(party, ET_BUILDING).size(), 4u);
        }
        ASSERT_NE(at(33, 33), nullptr);
        EXPECT_EQ(at(36, 36)->party, 1);
        gameenv_free(&main_gameenv);
        SetUp();
    }
}

TEST_F(NewGameTest, CreateGameBuildsAWorldTheArmiesAndTheStartingView)
{
    gameenv_free(&main_gameenv);
    mesh_init(&main_voxel_mesh);
    main_voxel_texture = 77;
    testing::internal::CaptureStdout();
    create_game();
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::regex_match(out, std::regex("Generating map\\.\\.\\.\nDone in [0-9]+ ms\\.\n"
                                                 "Generating mesh\\.\\.\\.\nDone in [0-9]+ ms\\.\n")))
        << out;
    EXPECT_GT(main_voxel_mesh.vertex_count, 0);
    EXPECT_EQ(main_voxel_mesh.texture_handle, 77u);

    int units = (int)(entities(0, ET_UNIT).size() + entities(1, ET_UNIT).size());
    int buildings = (int)(entities(0, ET_BUILDING).size() + entities(1, ET_BUILDING).size());
    // The world comes from the calendar second, and on some maps (about one second in a
    // hundred) much of an army finds no free ground: 10 units were seen. Each party has some.
    EXPECT_GT(entities(0, ET_UNIT).size(), 0u);
    EXPECT_GT(entities(1, ET_UNIT).size(), 0u);
    EXPECT_LE(units, 50);
    EXPECT_LE(buildings, 8);
    EXPECT_LE(entities(0, ET_BUILDING).size(), 4u);
    EXPECT_NEAR(main_cam_pos.x, 31.5f, 1e-5);
    EXPECT_NEAR(main_cam_pos.y, 14.9f, 1e-5);
    EXPECT_NEAR(main_cam_pos.z, 19.2f, 1e-5);
    EXPECT_FLOAT_EQ(main_cam_pitch, -0.275f * 3.14159265f);
    EXPECT_FLOAT_EQ(main_cam_yaw, 3.14159265f / 2);

    // A second game's uids continue where the first game's stopped.
    u32 last_uid = main_gameenv.entities.lh_first->uid;
    delete_game();
    testing::internal::CaptureStdout();
    create_game();
    testing::internal::GetCapturedStdout();
    Entity* first = nullptr;
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
        first = e;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->uid, last_uid + 1);
    delete_game();
}

}  // namespace
