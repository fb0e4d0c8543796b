// The world update: projectile flight, homing, hits, damage, wrecks and releasing the world.
#include "game.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

struct GameEnvTest : ::testing::Test {
    GameEnv env;
    void SetUp() override { make_flat_world(&env, 32, 32, 8, 4); }
    void TearDown() override { gameenv_free(&env); }

    // A bullet that lands at voxel point p in its first frame.
    void hit_at(V3f p, float power = 1)
    {
        scale_to_view_f(&p);
        add_projectile(&env, PT_BULLET, p, p, 20, power);
    }
};

TEST_F(GameEnvTest, BulletArrivesInTheThirdFrameExactlyOnDest)
{
    // A unit 0.49 before dest is hit only if the bullet stops on dest, one 0.51 past it only if
    // the bullet overshot.
    Entity* before = add_unit(&env, 0, 0, 0, 0);
    before->pf = {2.01f, 0, 0};
    Entity* past = add_unit(&env, 0, 0, 0, 0);
    past->pf = {3.01f, 0, 0};
    Projectile* pr = add_projectile(&env, PT_BULLET, {0, 0, 0}, {2.5f, 0, 0}, 20);
    gameenv_run(&env, 0.05f);
    EXPECT_FLOAT_EQ(pr->pos.x, 1.0f);
    gameenv_run(&env, 0.05f);
    EXPECT_FLOAT_EQ(pr->pos.x, 2.0f);
    gameenv_run(&env, 0.05f);
    EXPECT_TRUE(list_empty(&env.projectiles));
    EXPECT_LT(before->health, 1.0f);
    EXPECT_FLOAT_EQ(past->health, 1.0f);
}

TEST_F(GameEnvTest, BulletStartingOnItsDestinationArrivesAtOnce)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    hit_at(e->pf);
    gameenv_run(&env, 0.02f);
    EXPECT_TRUE(list_empty(&env.projectiles));
    EXPECT_FLOAT_EQ(e->health, 0.8f);
}

TEST_F(GameEnvTest, BulletKeepsItsDestinationWhenTheTargetWalksAway)
{
    Entity* e = add_unit(&env, 5, 5, 5, 1);
    Projectile* pr =
        add_projectile(&env, PT_BULLET, {1, 5, 2.5f}, {5, 5, 2.5f}, 20, 1, (int)e->uid);
    e->pf = {7, 5, 5};
    gameenv_run(&env, 0.05f);
    EXPECT_FLOAT_EQ(pr->dest.x, 5.0f);
    run_frames(&env, 5, 0.05f);
    EXPECT_TRUE(list_empty(&env.projectiles));
    EXPECT_FLOAT_EQ(e->health, 1.0f);
}

TEST_F(GameEnvTest, MissileAcceleratesAfterMovingAndHomesByUid)
{
    Projectile* pr = add_projectile(&env, PT_MISSILE, {0, 0, 0}, {10, 0, 0}, 1.5f);
    gameenv_run(&env, 0.02f);
    EXPECT_NEAR(pr->pos.x, 0.03, 1e-6);
    EXPECT_NEAR(pr->speed, 1.65, 1e-6);
    EXPECT_FLOAT_EQ(pr->dest.x, 10.0f);  // aimed at a cell: no homing

    Entity* e = add_unit(&env, 12, 3, 6, 1);
    Projectile* homing =
        add_projectile(&env, PT_MISSILE, {0, 0, 0}, {10, 0, 0}, 1.5f, 1, (int)e->uid);
    gameenv_run(&env, 0.02f);
    EXPECT_FLOAT_EQ(homing->dest.x, 12.0f);
    EXPECT_FLOAT_EQ(homing->dest.y, 3.0f);
    EXPECT_FLOAT_EQ(homing->dest.z, 3.0f);  // view space

    // Once the target is gone the missile keeps its last destination.
    gameenv_remove_entity(&env, e);
    std::free(e);
    gameenv_run(&env, 0.02f);
    EXPECT_FLOAT_EQ(homing->dest.x, 12.0f);
}

TEST_F(GameEnvTest, FiveHitsLeaveAlmostNothingAndTheSixthDestroys)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    e->uid = 4242;
    e->selected = true;
    e->shoot_target = coords_target(6, 5, 5);
    for (int i = 0; i < 5; i++) {
        hit_at(e->pf);
        gameenv_run(&env, 0.001f);
    }
    EXPECT_GT(e->health, 0.0f);
    EXPECT_NEAR(e->health, 3e-8, 2e-8);
    EXPECT_EQ(e->party, 0);

    hit_at(e->pf);
    gameenv_run(&env, 0.001f);
    EXPECT_EQ(e->type, ET_UNIT);
    EXPECT_FLOAT_EQ(e->health, 1.0f);
    EXPECT_EQ(e->party, -1);
    EXPECT_FLOAT_EQ(e->tx_main.y, 0.375f);
    EXPECT_FLOAT_EQ(e->tx_main.w, 0.0625f);
    EXPECT_FLOAT_EQ(e->speed, 0.0f);
    EXPECT_FLOAT_EQ(e->turn_speed, 0.0f);
    EXPECT_EQ(e->peripheral, PT_CUSTOM);
    EXPECT_FLOAT_EQ(e->peripheral_tx.y, 0.5f);
    EXPECT_FLOAT_EQ(e->durability, 1e8f);
    EXPECT_EQ(e->idle_type, IT_DELETE);
    EXPECT_EQ(e->task.type, ETT_EXPLODE);
    EXPECT_EQ(e->shoot_target.type, TARGET_NONE);
    EXPECT_TRUE(e->task_locked);
    EXPECT_EQ(e->uid, 4242u);
    EXPECT_TRUE(e->selected);
}

TEST_F(GameEnvTest, WreckExplodesForAboutASecondAndRemovesItself)
{
    Entity* b = add_unit(&env, 5, 5, 5, 0);
    b->type = ET_BUILDING;
    b->building_size = {2, 2, 1};
    b->base_graphflags = 0;
    V3i p = {5, 5, 5};
    entity_set_pos(b, &p);
    occupancy_invalidate(&env);
    hit_at(b->pf, 100);
    gameenv_run(&env, 0.02f);
    ASSERT_EQ(b->task.type, ETT_EXPLODE);
    EXPECT_EQ(b->type, ET_UNIT);
    int frames = 0;
    int last_frame_shown = 0;
    while (!list_empty(&env.entities) && frames < 1000) {
        last_frame_shown = b->peripheral_frame;
        gameenv_run(&env, 0.02f);
        frames++;
    }
    EXPECT_EQ(last_frame_shown, 7);
    // Eight frames of 0.14 s (seven 0.02 s steps each).
    EXPECT_EQ(frames, 56);
}

TEST_F(GameEnvTest, OneProjectileDamagesEveryoneWithinHalfACell)
{
    Entity* a = add_unit(&env, 5, 5, 5, 0);
    Entity* b = add_unit(&env, 5, 5, 5, 1);
    b->pf.x += 0.3f;
    Entity* edge = add_unit(&env, 5, 5, 5, 1);
    edge->pf.x += 0.5f;  // exactly half a cell: outside
    a->health = 0.1f;
    b->health = 0.1f;
    hit_at({5, 5, 5});
    gameenv_run(&env, 0.02f);
    EXPECT_EQ(a->party, -1);
    EXPECT_EQ(b->party, -1);
    EXPECT_EQ(a->task.type, ETT_EXPLODE);
    EXPECT_EQ(b->task.type, ETT_EXPLODE);
    EXPECT_FLOAT_EQ(edge->health, 1.0f);
}

TEST_F(GameEnvTest, ProjectileMissingEverythingDisappears)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    hit_at({9, 9, 5});
    gameenv_run(&env, 0.02f);
    EXPECT_TRUE(list_empty(&env.projectiles));
    EXPECT_FLOAT_EQ(e->health, 1.0f);
}

TEST_F(GameEnvTest, FreeEmptiesBothListsAndTheTerrain)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    Target t = coords_target(20, 20, 5);
    entity_start_travel(e, &t, 1);
    Entity* q = add_unit(&env, 6, 6, 5, 0);
    entitytask_init_travel(&q->task_queue[0], &t, 1, 0);
    q->task_queue_len = 1;
    gameenv_run(&env, 0.02f);  // plans the route, so the travel owns a path
    ASSERT_GT(e->task.travel.path.length, 0);
    add_projectile(&env, PT_BULLET, {0, 0, 0}, {20, 20, 2}, 1);
    gameenv_free(&env);
    EXPECT_TRUE(list_empty(&env.entities));
    EXPECT_TRUE(list_empty(&env.projectiles));
    EXPECT_EQ(env.voxeldata.data, nullptr);
    gameenv_free(&env);  // an empty world only releases the (already empty) terrain
    EXPECT_TRUE(list_empty(&env.entities));
}

}  // namespace
