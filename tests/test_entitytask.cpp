// The simple tasks: target lookup, idle targeting, step-travel, attack hand-over, dispatch.
#include "entitytask.h"

#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

struct TaskTest : ::testing::Test {
    GameEnv env;
    void SetUp() override { make_flat_world(&env, 32, 32, 8, 4); }
    void TearDown() override { gameenv_free(&env); }
};

TEST_F(TaskTest, TargetLookup)
{
    Entity* e = add_unit(&env, 3, 3, 5, 0);
    e->p1 = {4, 3, 5};
    occupancy_invalidate(&env);
    e->pf = {3.25f, 3, 5};
    Target t = entity_target(e);
    V3i pos;
    V3f pf;
    ASSERT_TRUE(target_get_pos(&pos, &pf, &t, &env, true));
    EXPECT_TRUE(v3i_eq_xyz(&pos, 3, 3, 5));
    EXPECT_FLOAT_EQ(pf.x, 3.25f);
    ASSERT_TRUE(target_get_pos(&pos, nullptr, &t, &env, false));
    EXPECT_TRUE(v3i_eq_xyz(&pos, 4, 3, 5));

    Target c = coords_target(7, 8, 9);
    ASSERT_TRUE(target_get_pos(&pos, &pf, &c, &env, true));
    EXPECT_TRUE(v3i_eq_xyz(&pos, 7, 8, 9));
    EXPECT_FLOAT_EQ(pf.z, 9.0f);

    // Gone or none: false, outputs untouched.
    gameenv_remove_entity(&env, e);
    std::free(e);
    pos = {-1, -1, -1};
    pf = {-1, -1, -1};
    EXPECT_FALSE(target_get_pos(&pos, &pf, &t, &env, true));
    Target none;
    none.type = TARGET_NONE;
    EXPECT_FALSE(target_get_pos(&pos, &pf, &none, &env, true));
    EXPECT_EQ(pos.x, -1);
    EXPECT_FLOAT_EQ(pf.x, -1.0f);
}

TEST_F(TaskTest, IdleChecksEveryVariationSecondsAndPicksTheFirstEnemyInList)
{
    Entity* e = add_unit(&env, 10, 10, 5, 0);
    e->variation = 1.5f;
    Entity* far_enemy = add_unit(&env, 13, 10, 5, 1);   // 3 cells
    Entity* near_enemy = add_unit(&env, 11, 10, 5, 1);  // newer, so first in the list
    add_unit(&env, 10, 11, 5, 0);                       // own party: never
    Entity* wreck = add_unit(&env, 10, 9, 5, -1);       // nobody's: never
    (void)far_enemy;
    (void)wreck;
    std::swap(near_enemy->uid, far_enemy->uid);  // uids do not decide, list order does
    for (int frame = 1; frame <= 5; frame++) {
        entity_run(e, 0.25f, &env);
        ASSERT_EQ(e->shoot_target.type, TARGET_NONE) << "frame " << frame;
    }
    entity_run(e, 0.25f, &env);  // 1.5 s
    ASSERT_EQ(e->shoot_target.type, TARGET_ENTITY);
    EXPECT_EQ(e->shoot_target.uid, (int)near_enemy->uid);

    // A kept target stays while in range, even as another enemy becomes first in the list.
    Entity* newest = add_unit(&env, 9, 10, 5, 1);
    for (int frame = 0; frame < 6; frame++)
        entity_run(e, 0.25f, &env);
    EXPECT_EQ(e->shoot_target.uid, (int)near_enemy->uid);

    // Out of range, the next check picks the first enemy in range.
    near_enemy->p1 = {20, 20, 5};
    near_enemy->p0 = near_enemy->p1;
    occupancy_invalidate(&env);
    for (int frame = 0; frame < 5; frame++)
        entity_run(e, 0.25f, &env);
    EXPECT_EQ(e->shoot_target.uid, (int)near_enemy->uid);
    entity_run(e, 0.25f, &env);
    EXPECT_EQ(e->shoot_target.uid, (int)newest->uid);
}

TEST_F(TaskTest, IdleKeepsATargetThatBecameAWreck)
{
    Entity* e = add_unit(&env, 10, 10, 5, 0);
    e->variation = 0.5f;
    Entity* enemy = add_unit(&env, 12, 10, 5, 1);
    run_frames(&env, 30, 0.02f);
    ASSERT_EQ(e->shoot_target.uid, (int)enemy->uid);
    enemy->party = -1;
    run_frames(&env, 30, 0.02f);
    EXPECT_EQ(e->shoot_target.type, TARGET_ENTITY);
    EXPECT_EQ(e->shoot_target.uid, (int)enemy->uid);
}

TEST_F(TaskTest, StepTravelToTheOwnCellEndsAtOnce)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    V3i own = e->p0;
    entity_start_steptravel(e, &own);
    EXPECT_EQ(entitytask_run(e, 0.02f, &env), 0);
    EXPECT_TRUE(v3i_eq(&e->p1, &own));
}

TEST_F(TaskTest, StepTravelTakesOneStepThenEnds)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    V3i next = {5, 6, 5};
    entity_start_steptravel(e, &next);
    gameenv_run(&env, 0.05f);
    EXPECT_TRUE(v3i_eq(&e->p1, &next));
    EXPECT_NEAR(e->peripheral_wanted_yaw, M_PI / 2, 1e-6);
    int frames = 0;
    while (e->task.type == ETT_STEPTRAVEL && frames < 100) {
        gameenv_run(&env, 0.05f);
        frames++;
    }
    EXPECT_TRUE(v3i_eq(&e->p0, &next));
    EXPECT_LT(frames, 100);
}

TEST_F(TaskTest, AttackOutOfRangeHandsOverToTravelThenResumes)
{
    Entity* e = add_unit(&env, 4, 10, 5, 0);
    Entity* enemy = add_unit(&env, 10, 10, 5, 1);  // 6 cells, range 4
    enemy->base_graphflags = 0;
    Target t = entity_target(enemy);
    entity_start_attack(e, &t);
    gameenv_run(&env, 0.02f);
    EXPECT_EQ(e->task.type, ETT_NONE);
    ASSERT_EQ(e->task_queue_len, 2);
    EXPECT_EQ(e->task_queue[0].type, ETT_ATTACK);
    EXPECT_FLOAT_EQ(e->task_queue[0].attack.check_timer, 10000.0f);
    EXPECT_EQ(e->task_queue[1].type, ETT_TRAVEL);
    EXPECT_FLOAT_EQ(e->task_queue[1].travel.wanted_distance, 4.0f);
    EXPECT_EQ(e->task_queue[1].travel.group_size, 1);
    EXPECT_EQ(e->shoot_target.uid, (int)enemy->uid);

    gameenv_run(&env, 0.02f);
    EXPECT_EQ(e->task.type, ETT_TRAVEL);
    EXPECT_EQ(e->task_queue_len, 1);

    // The approach stops within range; planning from there yields empty routes, so the unit
    // stays travelling where it is while its weapon does the work.
    run_frames(&env, 1000, 0.02f);
    EXPECT_EQ(e->task.type, ETT_TRAVEL);
    EXPECT_LE(v3i_distance(&e->p0, &enemy->p0), 4.0f);
    EXPECT_GT(v3i_distance(&e->p0, &enemy->p0), 3.0f);
    EXPECT_EQ(e->task.travel.full_retry_count, 1);
    V3i stand = e->p0;
    run_frames(&env, 100, 0.02f);
    EXPECT_TRUE(v3i_eq(&e->p0, &stand));

    // Once the target is gone the travel sweeps and ends, and the resumed attack checks at once.
    gameenv_remove_entity(&env, enemy);
    std::free(enemy);
    gameenv_run(&env, 0.02f);
    EXPECT_EQ(e->task.type, ETT_TRAVEL);
    EXPECT_EQ(e->task.travel.finish_animate, 0);
    run_frames(&env, 3, 0.02f);  // three sweep frames without a turret
    EXPECT_EQ(e->task.type, ETT_NONE);
    EXPECT_EQ(e->task_queue_len, 1);
    gameenv_run(&env, 0.02f);  // the attack starts, finds nothing and ends in the same frame
    EXPECT_EQ(e->task.type, ETT_NONE);
    EXPECT_EQ(e->task_queue_len, 0);
    EXPECT_EQ(e->shoot_target.type, TARGET_NONE);
}

TEST_F(TaskTest, AttackEndsWhenTheTargetIsGone)
{
    Entity* e = add_unit(&env, 4, 10, 5, 0);
    Entity* enemy = add_unit(&env, 6, 10, 5, 1);
    Target t = entity_target(enemy);
    entity_start_attack(e, &t);
    gameenv_run(&env, 0.02f);
    EXPECT_EQ(e->task.type, ETT_ATTACK);
    gameenv_remove_entity(&env, enemy);
    std::free(enemy);
    run_frames(&env, 100, 0.02f);  // the next check comes within variation / 2 seconds
    EXPECT_EQ(e->task.type, ETT_IDLE);
    EXPECT_EQ(e->shoot_target.type, TARGET_NONE);
}

TEST_F(TaskTest, UnknownTaskTypeIsLeftAlone)
{
    Entity* e = add_unit(&env, 4, 10, 5, 0);
    e->task.type = (EntityTaskType)6;
    EXPECT_EQ(entitytask_run(e, 0.02f, &env), -1);
    EXPECT_EQ(e->task.type, 6);
    e->task.type = ETT_NONE;
    EXPECT_EQ(entitytask_run(e, 0.02f, &env), 0);
}

TEST_F(TaskTest, ClearingATravelReleasesItsRoute)
{
    EntityTask task;
    Target t = coords_target(1, 2, 3);
    entitytask_init_travel(&task, &t, 3, 2.5f);
    task.travel.path.coords = (V3i*)std::malloc(sizeof(V3i) * 4);
    task.travel.path.length = 4;
    task.travel.path.next_i = 2;
    entitytask_clear(&task);  // the leak check of the sanitizer build sees a lost route
    EXPECT_EQ(task.type, ETT_NONE);
    EXPECT_EQ(task.travel.path.coords, nullptr);
    EXPECT_EQ(task.travel.path.length, 0);
    EXPECT_EQ(task.travel.path.next_i, 0);
}

}  // namespace
