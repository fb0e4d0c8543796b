// Entities: placement, commands, the task queue, turret and body aim, firing and movement.
#include "game.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "world_fixture.h"

namespace {

struct EntityTest : ::testing::Test {
    GameEnv env;
    void SetUp() override { make_flat_world(&env, 32, 32, 8, 4); }
    void TearDown() override { gameenv_free(&env); }
};

TEST_F(EntityTest, SetPosCentresBuildingsOnTheirFootprint)
{
    Entity b;
    entity_init(&b);
    b.type = ET_BUILDING;
    b.building_size = {2, 2, 1};
    V3i p = {10, 20, 5};
    entity_set_pos(&b, &p);
    EXPECT_FLOAT_EQ(b.pf.x, 10.5f);
    EXPECT_FLOAT_EQ(b.pf.y, 20.5f);
    EXPECT_FLOAT_EQ(b.pf.z, 5.0f);
    EXPECT_TRUE(v3i_eq(&b.p0, &p) && v3i_eq(&b.p1, &p));

    Entity u;
    entity_init(&u);
    entity_set_pos(&u, &p);
    EXPECT_FLOAT_EQ(u.pf.x, 10.0f);
    EXPECT_FLOAT_EQ(u.pf.y, 20.0f);
}

TEST_F(EntityTest, LockedEntityIgnoresEveryCommand)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    entitytask_init_explode(&e->task);
    e->task_locked = true;
    e->shoot_target = coords_target(6, 5, 5);
    Target t = coords_target(9, 9, 5);
    V3i p = {6, 5, 5};
    entity_start_travel(e, &t, 1);
    entity_start_attack(e, &t);
    entity_start_steptravel(e, &p);
    EXPECT_EQ(e->task.type, ETT_EXPLODE);
    EXPECT_EQ(e->shoot_target.type, TARGET_COORDS);

    // Unlocked, a command replaces the task and forgets the shooting target.
    e->task_locked = false;
    entity_start_attack(e, &t);
    EXPECT_EQ(e->task.type, ETT_ATTACK);
    EXPECT_EQ(e->shoot_target.type, TARGET_NONE);
}

TEST_F(EntityTest, QueueRunsIndexOneThenZeroThenIdle)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    V3i own = e->p0;
    Target gone;
    gone.type = TARGET_ENTITY;
    gone.uid = 999999;
    entitytask_init_attack(&e->task_queue[0], &gone);       // ends when it finds no target
    entitytask_init_steptravel(&e->task_queue[1], &own);    // ends at once
    e->task_queue_len = 2;

    entity_run(e, 0.02f, &env);
    EXPECT_EQ(e->task_queue_len, 1);
    EXPECT_EQ(e->task_queue[0].type, ETT_ATTACK);
    EXPECT_EQ(e->task.type, ETT_NONE);
    entity_run(e, 0.02f, &env);
    EXPECT_EQ(e->task_queue_len, 0);
    EXPECT_EQ(e->task.type, ETT_NONE);
    entity_run(e, 0.02f, &env);
    EXPECT_EQ(e->task.type, ETT_IDLE);
}

TEST_F(EntityTest, DeleteTypeIsRemovedInTheSameUpdateWithoutFiringOrMoving)
{
    Entity* keep = add_unit(&env, 2, 2, 5, 0);
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    e->idle_type = IT_DELETE;
    e->peripheral = PT_TURRET;
    e->reload_timer = 100;
    e->shoot_target = coords_target(6, 5, 5);
    e->p1 = {6, 5, 5};
    occupancy_invalidate(&env);
    gameenv_run(&env, 0.02f);
    EXPECT_EQ(list_count(&env.entities), 1);
    EXPECT_EQ(env.entities.lh_first, keep);
    EXPECT_TRUE(list_empty(&env.projectiles));
}

TEST_F(EntityTest, TurretReadinessEdge)
{
    Entity e;
    entity_init(&e);
    EXPECT_TRUE(entity_peripheral_yaw_ready(&e));  // no turret: always ready
    e.peripheral = PT_TURRET;
    e.peripheral_wanted_yaw = 0.5f;
    e.peripheral_yaw = 0.48f;
    EXPECT_TRUE(entity_peripheral_yaw_ready(&e));
    e.peripheral_yaw = 0.47f;
    EXPECT_FALSE(entity_peripheral_yaw_ready(&e));
    // The difference is wrapped: nearly a full turn apart is nearly aligned.
    e.peripheral_wanted_yaw = 3.13f;
    e.peripheral_yaw = -3.14f;
    EXPECT_TRUE(entity_peripheral_yaw_ready(&e));
}

// A turret unit with a loaded gun and a cell target straight along +x.
Entity* add_turret_unit(GameEnv* env, float peripheral_yaw)
{
    Entity* e = add_unit(env, 5, 5, 5, 0);
    e->peripheral = PT_TURRET;
    e->reload_timer = 100;
    e->peripheral_yaw = peripheral_yaw;
    e->shoot_target = coords_target(8, 5, 5);
    return e;
}

TEST_F(EntityTest, TurretFiresOnlyWhenAligned)
{
    Entity* aligned = add_turret_unit(&env, -0.02f);
    entity_run(aligned, 0, &env);
    EXPECT_EQ(list_count(&env.projectiles), 1);
    EXPECT_EQ(env.projectiles.lh_first->target_uid, -1);

    Entity* off = add_turret_unit(&env, -0.031f);
    entity_run(off, 0, &env);
    EXPECT_EQ(list_count(&env.projectiles), 1);
}

TEST_F(EntityTest, TurretTurnsBeforeItFires)
{
    Entity* e = add_turret_unit(&env, -1.0f);
    int fired_frame = 0;
    for (int frame = 1; frame <= 10 && !fired_frame; frame++) {
        entity_run(e, 0.05f, &env);  // at most 0.314 rad per frame
        if (!list_empty(&env.projectiles))
            fired_frame = frame;
    }
    EXPECT_EQ(fired_frame, 4);
    EXPECT_FLOAT_EQ(e->peripheral_yaw, 0.0f);
}

TEST_F(EntityTest, ShotAtAnEntityCarriesItsUidAndStartsAtTheMuzzle)
{
    Entity* enemy = add_unit(&env, 8, 5, 5, 1);
    Entity* e = add_turret_unit(&env, 0);
    e->peripheral_pf = {0, 0, 0.75f};
    e->shoot_target = entity_target(enemy);
    entity_run(e, 0.02f, &env);
    ASSERT_EQ(list_count(&env.projectiles), 1);
    Projectile* pr = env.projectiles.lh_first;
    EXPECT_EQ(pr->target_uid, (int)enemy->uid);
    EXPECT_FLOAT_EQ(pr->pos.z, (5 + 0.75f) / 2);  // view space
    EXPECT_FLOAT_EQ(pr->dest.x, 8.0f);
    EXPECT_FLOAT_EQ(pr->dest.z, 2.5f);
}

TEST_F(EntityTest, OutOfRangeTargetIsTrackedButNotFired)
{
    Entity* e = add_turret_unit(&env, 0);
    e->shoot_target = coords_target(5, 10, 5);  // 5 cells, range 4
    for (int i = 0; i < 50; i++)
        entity_run(e, 0.05f, &env);
    EXPECT_TRUE(list_empty(&env.projectiles));
    EXPECT_NEAR(e->peripheral_yaw, M_PI / 2, 1e-6);
}

TEST_F(EntityTest, DoubleWeaponFiresInPairs)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    e->shoot_requires_body_aim = true;
    e->double_weapon = true;
    e->reload_timer = 100;
    e->shoot_target = coords_target(8, 5, 5);
    std::vector<int> shots;
    for (int frame = 1; frame <= 200; frame++) {
        entity_run(e, 0.03f, &env);
        if (e->reload_timer == 0)
            shots.push_back(frame);
    }
    // 0.2 s needs 7 frames of 0.03 s and 2.5847 s needs 87.
    std::vector<int> expected = {1, 88, 95, 182, 189};
    EXPECT_EQ(shots, expected);
    EXPECT_EQ(list_count(&env.projectiles), 5);
}

TEST_F(EntityTest, BodyAimTurnsBeforeFiring)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    e->shoot_requires_body_aim = true;
    e->turn_speed = 1.0f;  // 0.314 rad per 0.05 s frame
    e->reload_timer = 100;
    e->yaw = (float)M_PI;
    e->shoot_target = coords_target(8, 5, 5);
    int fired_frame = 0;
    for (int frame = 1; frame <= 20 && !fired_frame; frame++) {
        entity_run(e, 0.05f, &env);
        if (!list_empty(&env.projectiles))
            fired_frame = frame;
    }
    EXPECT_EQ(fired_frame, 10);
    EXPECT_NEAR(fwrap(e->yaw, -3.1415927f, 3.1415927f), 0.0f, 1e-5);
}

TEST_F(EntityTest, EntityWithoutTurretOrBodyAimNeverFires)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    e->reload_timer = 100;
    e->shoot_target = coords_target(6, 5, 5);
    for (int i = 0; i < 10; i++)
        entity_run(e, 0.1f, &env);
    EXPECT_TRUE(list_empty(&env.projectiles));
}

TEST_F(EntityTest, MoveStepsAndSnapsShortOfTheCell)
{
    Entity* e = add_unit(&env, 10, 10, 5, 0);
    e->p1 = {11, 10, 5};
    occupancy_invalidate(&env);
    for (int frame = 1; frame <= 8; frame++) {
        entity_run(e, 0.1f, &env);
        ASSERT_EQ(e->p0.x, 10) << "frame " << frame;
        ASSERT_NEAR(e->pf.x, 10 + 0.12 * frame, 1e-5);
    }
    EXPECT_NEAR(e->avg_speed, 1 - std::pow(0.95, 8), 1e-5);
    entity_run(e, 0.1f, &env);
    EXPECT_TRUE(v3i_eq(&e->p0, &e->p1));
    EXPECT_NEAR(e->pf.x, 10.96, 1e-5);  // about 0.04 short; nothing moves it further
    entity_run(e, 0.1f, &env);
    EXPECT_NEAR(e->pf.x, 10.96, 1e-5);
}

TEST_F(EntityTest, MoveUphillUsesUphillSpeedAndLandsExactly)
{
    Entity* e = add_unit(&env, 10, 10, 5, 0);
    e->p1 = {11, 10, 6};
    occupancy_invalidate(&env);
    entity_run(e, 0.1f, &env);
    V3f d = {e->pf.x - 10, e->pf.y - 10, e->pf.z - 5};
    EXPECT_NEAR(v3f_length(&d), 0.06, 1e-6);
    // A frame long enough for the rest lands exactly on the cell.
    entity_run(e, 10.0f, &env);
    EXPECT_TRUE(v3i_eq(&e->p0, &e->p1));
    EXPECT_FLOAT_EQ(e->pf.x, 11.0f);
    EXPECT_FLOAT_EQ(e->pf.z, 6.0f);
}

TEST_F(EntityTest, TurnsInPlaceThenMovesInTheFrameItSnaps)
{
    Entity* e = add_unit(&env, 10, 10, 5, 0);
    e->yaw = 0;
    e->p1 = {9, 10, 5};  // straight behind: yaw_d = pi
    occupancy_invalidate(&env);
    int turning_frames = 0;
    for (int frame = 1; frame <= 20; frame++) {
        float yaw_before = e->yaw;
        entity_run(e, 0.1f, &env);  // 0.314 rad per frame
        if (e->pf.x != 10.0f) {
            EXPECT_FLOAT_EQ(e->yaw, 3.1415927f);
            EXPECT_NEAR(e->pf.x, 10 - 0.12, 1e-5);
            break;
        }
        EXPECT_NEAR(e->yaw - yaw_before, 0.1 * 2 * M_PI * 0.5, 1e-6);
        turning_frames++;
    }
    EXPECT_EQ(turning_frames, 8);
}

TEST_F(EntityTest, BuildingsAndImmobileEntitiesNeverMove)
{
    Entity* b = add_unit(&env, 10, 10, 5, 0);
    b->type = ET_BUILDING;
    b->p1 = {11, 10, 5};
    Entity* u = add_unit(&env, 12, 12, 5, 0);
    u->base_graphflags = 0;
    u->p1 = {13, 12, 5};
    occupancy_invalidate(&env);
    for (int i = 0; i < 20; i++)
        gameenv_run(&env, 0.1f);
    EXPECT_FLOAT_EQ(b->pf.x, 10.0f);
    EXPECT_FLOAT_EQ(u->pf.x, 12.0f);
    EXPECT_EQ(u->p0.x, 12);
}

}  // namespace
