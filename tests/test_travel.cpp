// The travel task: following routes, arrival, the friend rule, pushing friends aside,
// detours, blocked cells, re-planning and the closing sweep.
#include "entitytask.h"

#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

struct TravelTest : ::testing::Test {
    GameEnv env;
    void SetUp() override { make_flat_world(&env, 24, 24, 8, 4); }
    void TearDown() override { gameenv_free(&env); }
    TravelTask* travel(Entity* e) { return &e->task.travel; }
    void send(Entity* e, int x, int y, int group_size = 1)
    {
        Target t = coords_target(x, y, 5);
        entity_start_travel(e, &t, group_size);
    }
    // Runs until the entity is idle again; the number of frames, or -1 after max_frames.
    int run_until_idle(Entity* e, int max_frames, float dtime = 0.05f)
    {
        for (int frame = 1; frame <= max_frames; frame++) {
            gameenv_run(&env, dtime);
            if (e->task.type == ETT_IDLE)
                return frame;
        }
        return -1;
    }
    // A two-high wall from (x, y0) to (x, y1).
    void wall_x(int x, int y0, int y1)
    {
        for (int y = y0; y <= y1; y++) {
            set_material(&env, x, y, 5, MATERIAL_STONE);
            set_material(&env, x, y, 6, MATERIAL_STONE);
        }
    }
    void wall_y(int y, int x0, int x1)
    {
        for (int x = x0; x <= x1; x++) {
            set_material(&env, x, y, 5, MATERIAL_STONE);
            set_material(&env, x, y, 6, MATERIAL_STONE);
        }
    }
    // A one-wide corridor along y 5 between x 1 and x 12.
    void corridor_along_y5()
    {
        wall_y(4, 0, 13);
        wall_y(6, 0, 13);
        wall_x(13, 4, 6);
        wall_x(0, 4, 6);
    }
};

TEST_F(TravelTest, ArrivesMarksTheDestinationAndSweepsTheTurret)
{
    Entity* e = add_unit(&env, 2, 2, 5, 0);
    e->peripheral = PT_TURRET;
    wall_x(8, 0, 15);
    send(e, 14, 3);
    gameenv_run(&env, 0.05f);
    ASSERT_GT(travel(e)->path.length, 0);
    EXPECT_FLOAT_EQ(e->avg_speed, 0.95f);  // a fresh route counts as 1, then a standing frame
    std::vector<float> wanted;
    int frames = 0;
    while (e->task.type == ETT_TRAVEL && frames < 2000) {
        gameenv_run(&env, 0.05f);
        if (travel(e)->finish_animate >= 1 && (wanted.empty() || wanted.back() != e->peripheral_wanted_yaw))
            wanted.push_back(e->peripheral_wanted_yaw);
        frames++;
    }
    EXPECT_TRUE(v3i_eq_xyz(&e->p0, 14, 3, 5));
    EXPECT_TRUE(e->arrived_to_valid);
    EXPECT_TRUE(v3i_eq_xyz(&e->arrived_to, 14, 3, 5));
    ASSERT_EQ(wanted.size(), 2u);
    EXPECT_NEAR(wanted[0], e->yaw - M_PI / 2, 1e-6);
    EXPECT_FLOAT_EQ(wanted[1], e->yaw);
    EXPECT_TRUE(entity_peripheral_yaw_ready(e));
}

TEST_F(TravelTest, OrderToTheOwnCellEndsAfterThreeFullReplans)
{
    Entity* e = add_unit(&env, 5, 5, 5, 0);
    e->variation = 0.5f;
    send(e, 5, 5);
    int frames = run_until_idle(e, 1000, 0.1f);
    // Three full re-plans, each after more than 10 * variation seconds, then the sweep.
    ASSERT_GT(frames, 0);
    EXPECT_GT(frames * 0.1, 15.0);
    EXPECT_LT(frames * 0.1, 16.0);
}

TEST_F(TravelTest, FriendRuleAcceptsAStraightNeighbourOfAnArrivedFriend)
{
    Entity* first = add_unit(&env, 10, 10, 5, 0);
    first->arrived_to = {10, 10, 5};
    first->arrived_to_valid = true;
    Entity* straight = add_unit(&env, 10, 7, 5, 0);
    send(straight, 10, 10, 2);
    travel(straight)->roundabout_timer = 0;  // no detour during this test
    int frames = 0;
    while (!straight->arrived_to_valid && frames < 60) {
        gameenv_run(&env, 0.05f);
        frames++;
    }
    ASSERT_TRUE(straight->arrived_to_valid);
    EXPECT_TRUE(v3i_eq_xyz(&straight->p0, 10, 9, 5));
    EXPECT_EQ(travel(straight)->finish_animate, 0);
}

TEST_F(TravelTest, FriendRuleDoesNotReachADiagonalNeighbour)
{
    Entity* first = add_unit(&env, 10, 10, 5, 0);
    first->arrived_to = {10, 10, 5};
    first->arrived_to_valid = true;
    Entity* diagonal = add_unit(&env, 9, 9, 5, 0);
    diagonal->variation = 2.0f;
    send(diagonal, 10, 10, 2);
    travel(diagonal)->roundabout_timer = 0;
    for (int frame = 0; frame < 60; frame++) {  // 3 s, short of the detour period of 4 s
        gameenv_run(&env, 0.05f);
        ASSERT_FALSE(diagonal->arrived_to_valid);
    }
    EXPECT_TRUE(v3i_eq_xyz(&diagonal->p0, 9, 9, 5));
}

TEST_F(TravelTest, IdleFriendIsPushedIntoTheFirstFreeNeighbour)
{
    Entity* pusher = add_unit(&env, 5, 5, 5, 0);
    Entity* friend_ = add_unit(&env, 6, 5, 5, 0);
    set_material(&env, 7, 5, 5, MATERIAL_STONE);  // +x is filled, -x is the pusher
    set_material(&env, 7, 5, 6, MATERIAL_STONE);
    send(pusher, 10, 5);
    gameenv_run(&env, 0.05f);  // plans
    ASSERT_GT(travel(pusher)->path.length, 0);
    // Only a straight route through the friend's cell makes it the blocker.
    travel(pusher)->path.coords[0] = {6, 5, 5};
    travel(pusher)->roundabout_timer = 0;
    gameenv_run(&env, 0.05f);
    ASSERT_EQ(friend_->task.type, ETT_STEPTRAVEL);
    EXPECT_TRUE(v3i_eq_xyz(&friend_->task.steptravel.p, 6, 6, 5));
    EXPECT_FLOAT_EQ(travel(pusher)->pathfind_timer, 0.0f);
    EXPECT_FLOAT_EQ(travel(pusher)->roundabout_timer, 0.0f);
    EXPECT_FLOAT_EQ(travel(pusher)->full_retry_timer, 0.0f);
}

TEST_F(TravelTest, PushingRecursesAlongAChainOfFriends)
{
    corridor_along_y5();
    std::vector<Entity*> chain;
    for (int x = 3; x <= 7; x++)  // the blocker and four behind it
        chain.push_back(add_unit(&env, x, 5, 5, 0));
    V3i cells[20] = {{2, 5, 5}, {3, 5, 5}};
    EXPECT_TRUE(move_entity_out_of_way(chain[0], &env, cells, 2, 20, 4, 0));
    for (size_t i = 0; i < chain.size(); i++) {
        ASSERT_EQ(chain[i]->task.type, ETT_STEPTRAVEL) << i;
        EXPECT_EQ(chain[i]->task.steptravel.p.x, (int)i + 4);
    }
    // The cells reserved on the way down stay written beyond the length passed in.
    EXPECT_TRUE(v3i_eq_xyz(&cells[2], 4, 5, 5));
}

TEST_F(TravelTest, PushingStopsAtDepthPartyAndBuildings)
{
    corridor_along_y5();
    std::vector<Entity*> chain;
    for (int x = 3; x <= 8; x++)  // six in a row: one too many
        chain.push_back(add_unit(&env, x, 5, 5, 0));
    V3i cells[20] = {{2, 5, 5}, {3, 5, 5}};
    EXPECT_FALSE(move_entity_out_of_way(chain[0], &env, cells, 2, 20, 4, 0));
    for (Entity* e : chain)
        EXPECT_EQ(e->task.type, ETT_NONE);

    chain[5]->party = 1;  // now five, but the last is an enemy: no
    EXPECT_FALSE(move_entity_out_of_way(chain[0], &env, cells, 2, 20, 4, 0));
    chain[5]->party = 0;
    chain[5]->base_graphflags = 0;
    EXPECT_FALSE(move_entity_out_of_way(chain[0], &env, cells, 2, 20, 4, 0));
    chain[5]->base_graphflags = GF_WALK;
    Target t = coords_target(1, 5, 5);
    entity_start_travel(chain[0], &t, 1);  // busy units are not pushed
    EXPECT_FALSE(move_entity_out_of_way(chain[0], &env, cells, 2, 20, 4, 0));
}

// A corridor whose one free cell, (6, 5), two units are sent into in the same frame. Units are
// added in reverse of the order they run in (the list takes new entities at its head).
struct OneFreeCellTest : TravelTest {
    void SetUp() override
    {
        TravelTest::SetUp();
        corridor_along_y5();
    }
    // Runs `frames` frames; fails at the first frame that leaves two units in one cell.
    ::testing::AssertionResult never_two_in_a_cell(int frames)
    {
        for (int frame = 1; frame <= frames; frame++) {
            gameenv_run(&env, 0.05f);
            for (Entity* a = env.entities.lh_first; a; a = a->entries.le_next)
                for (Entity* b = a->entries.le_next; b; b = b->entries.le_next)
                    if (v3i_eq(&a->p1, &b->p1))
                        return ::testing::AssertionFailure()
                               << "frame " << frame << ": two units in (" << a->p1.x << ", "
                               << a->p1.y << ", " << a->p1.z << ")";
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(OneFreeCellTest, TwoFriendsPushedTowardsItOneStepsTheOtherStays)
{
    Entity* left = add_unit(&env, 5, 5, 5, 0);
    Entity* right = add_unit(&env, 7, 5, 5, 0);
    Entity* pushes_left = add_unit(&env, 4, 5, 5, 0);
    Entity* pushes_right = add_unit(&env, 8, 5, 5, 0);
    send(pushes_left, 11, 5);
    send(pushes_right, 2, 5);
    ASSERT_TRUE(never_two_in_a_cell(2));  // plan, then both push
    // Both pushes picked the cell; the friend that set out first has it.
    EXPECT_TRUE(v3i_eq_xyz(&right->p1, 6, 5, 5));
    EXPECT_EQ(right->task.type, ETT_STEPTRAVEL);
    EXPECT_TRUE(v3i_eq_xyz(&left->p1, 5, 5, 5));
    EXPECT_EQ(left->task.type, ETT_NONE);  // its step ended like a finished one
    EXPECT_TRUE(never_two_in_a_cell(200));
}

TEST_F(OneFreeCellTest, ATravellerTakesTheCellBeforeThePushedFriendSetsOut)
{
    Entity* pushed = add_unit(&env, 5, 5, 5, 0);
    Entity* traveller = add_unit(&env, 7, 5, 5, 0);
    Entity* pusher = add_unit(&env, 4, 5, 5, 0);
    send(pusher, 11, 5);
    send(traveller, 2, 5);
    ASSERT_TRUE(never_two_in_a_cell(2));
    EXPECT_TRUE(v3i_eq_xyz(&traveller->p1, 6, 5, 5));
    EXPECT_TRUE(v3i_eq_xyz(&pushed->p1, 5, 5, 5));
    EXPECT_EQ(pushed->task.type, ETT_NONE);
    EXPECT_TRUE(never_two_in_a_cell(200));
}

TEST_F(TravelTest, DetourGoesAroundAStandingEnemy)
{
    Entity* e = add_unit(&env, 3, 10, 5, 0);
    Entity* enemy = add_unit(&env, 8, 10, 5, 1);
    enemy->base_graphflags = 0;
    enemy->shoot_range = 0;
    send(e, 14, 10);
    bool stepped_on_enemy = false;
    int frames = 0;
    while (e->task.type != ETT_IDLE && frames < 1000) {
        gameenv_run(&env, 0.05f);
        stepped_on_enemy |= v3i_eq(&e->p1, &enemy->p1);
        frames++;
    }
    EXPECT_FALSE(stepped_on_enemy);
    EXPECT_TRUE(v3i_eq_xyz(&e->p0, 14, 10, 5));
    EXPECT_LT(frames, 300);
}

// A one-wide corridor with an enemy standing in it: the detour fails, the cell is recorded.
struct CorridorTest : TravelTest {
    Entity* e;
    Entity* enemy;
    void SetUp() override
    {
        TravelTest::SetUp();
        wall_y(9, 0, 20);
        wall_y(11, 0, 20);
        e = add_unit(&env, 2, 10, 5, 0);
        e->variation = 1.0f;
        enemy = add_unit(&env, 6, 10, 5, 1);
        enemy->base_graphflags = 0;
        enemy->shoot_range = 0;
    }
    // Runs until the route is dropped after having been followed; false after max_frames.
    bool run_until_route_dropped(int max_frames)
    {
        bool had_route = false;
        for (int frame = 0; frame < max_frames; frame++) {
            gameenv_run(&env, 0.05f);
            if (travel(e)->path.length > 0)
                had_route = true;
            else if (had_route)
                return true;
        }
        return false;
    }
};

TEST_F(CorridorTest, BlockedCellIsRecordedAndForgottenAtTheFullReplan)
{
    send(e, 12, 10);
    ASSERT_TRUE(run_until_route_dropped(200));
    EXPECT_TRUE(v3i_eq_xyz(&e->p0, 5, 10, 5));
    ASSERT_EQ(travel(e)->blocked_count, 1);
    EXPECT_TRUE(v3i_eq_xyz(&travel(e)->blocked[0], 6, 10, 5));
    // While the cell is blocked no route is found and the unit stays.
    run_frames(&env, 20, 0.05f);
    EXPECT_EQ(travel(e)->path.length, 0);
    EXPECT_TRUE(v3i_eq_xyz(&e->p0, 5, 10, 5));
    // After 10 * variation seconds a full re-plan empties the list and routes through again.
    for (int frame = 0; frame < 400; frame++) {
        float before = travel(e)->full_retry_timer;
        gameenv_run(&env, 0.05f);
        if (travel(e)->full_retry_timer < before) {
            EXPECT_GT(before + 0.05f, 10.0f);  // the timer advances before it is compared
            EXPECT_LE(before, 10.0f);
            EXPECT_EQ(travel(e)->blocked_count, 0);
            EXPECT_GT(travel(e)->path.length, 0);
            return;
        }
    }
    FAIL() << "no full re-plan";
}

TEST_F(CorridorTest, FreedBlockedCellsArePrunedInOrder)
{
    send(e, 12, 10);
    gameenv_run(&env, 0.05f);
    TravelTask* t = travel(e);
    path_free(&t->path);
    t->blocked[0] = {3, 3, 4};   // ground: stays
    t->blocked[1] = {3, 3, 5};   // air: pruned
    t->blocked[2] = {4, 4, 4};   // ground: stays
    t->blocked[3] = {6, 10, 5};  // the enemy: stays
    t->blocked_count = 4;
    gameenv_run(&env, 0.05f);
    ASSERT_EQ(t->blocked_count, 3);
    EXPECT_TRUE(v3i_eq_xyz(&t->blocked[0], 3, 3, 4));
    EXPECT_TRUE(v3i_eq_xyz(&t->blocked[1], 4, 4, 4));
    EXPECT_TRUE(v3i_eq_xyz(&t->blocked[2], 6, 10, 5));
}

TEST_F(CorridorTest, FullBlockedListStillDropsTheRoute)
{
    send(e, 12, 10);
    TravelTask* t = travel(e);
    for (int i = 0; i < 100; i++)
        t->blocked[i] = {i % 20, i / 20, 2};  // underground: never pruned
    t->blocked_count = 100;
    ASSERT_TRUE(run_until_route_dropped(200));
    EXPECT_EQ(t->blocked_count, 100);
    EXPECT_TRUE(v3i_eq_xyz(&t->blocked[99], 19, 4, 2));
}

TEST_F(TravelTest, StaleRouteIsDroppedWithoutBlocking)
{
    Entity* e = add_unit(&env, 2, 2, 5, 0);
    send(e, 10, 2);
    gameenv_run(&env, 0.05f);
    ASSERT_GT(travel(e)->path.length, 0);
    run_frames(&env, 20, 0.05f);  // standing in some cell of the route now
    while (!v3i_eq(&e->p0, &e->p1))
        gameenv_run(&env, 0.05f);
    TravelTask* t = travel(e);
    V3i next = t->path.coords[t->path.next_i];
    set_material(&env, next.x, next.y, next.z - 1, MATERIAL_AIR);  // the ground goes away
    gameenv_run(&env, 0.05f);
    EXPECT_EQ(t->path.length, 0);
    EXPECT_EQ(t->blocked_count, 0);
}

TEST_F(TravelTest, TargetEntityDisappearingEndsTheTravel)
{
    Entity* e = add_unit(&env, 2, 2, 5, 0);
    Entity* goal = add_unit(&env, 15, 15, 5, 1);
    goal->shoot_range = 0;
    Target t = entity_target(goal);
    entity_start_travel(e, &t, 1);
    run_frames(&env, 10, 0.05f);
    gameenv_remove_entity(&env, goal);
    std::free(goal);
    int frames = run_until_idle(e, 100);
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 40);
}

}  // namespace
