// Cell occupation, single-step passability and the route search.
#include "pathfind.h"

#include <cstring>
#include <gtest/gtest.h>

#include "astar_reference.h"
#include "battle_fixture.h"
#include "terrain_fixture.h"

namespace {

struct PathfindTest : ::testing::Test {
    GameEnv env;
    Path path;
    void SetUp() override
    {
        make_flat_world(&env, 16, 16, 8, 4);  // floor at z 4, units stand at z 5
        path_init(&path);
    }
    void TearDown() override
    {
        path_free(&path);
        gameenv_free(&env);
    }
    bool connected(V3i from, V3i to, int flags) { return is_connected(&from, &to, &env, flags); }
    int astar(V3i from, V3i to, int max_loops = 1000, V3i* blocked = nullptr, int nblocked = 0,
              float wanted = 0, int flags = GF_WALK)
    {
        return pathfind_astar(&path, &from, &to, &env, flags, max_loops, blocked, nblocked, wanted);
    }
    // Every step of the route is a legal single step from the cell before it.
    void expect_route_connected(V3i from, int flags = GF_WALK)
    {
        V3i prev = from;
        for (int i = 0; i < path.length; i++) {
            EXPECT_TRUE(is_connected(&prev, &path.coords[i], &env, flags)) << "step " << i;
            prev = path.coords[i];
        }
    }
};

TEST_F(PathfindTest, FlagsWithoutAMovePermissionConnectNothing)
{
    for (const V3i& dp : pathfind_neighbor_dps) {
        V3i to = {5 + dp.x, 5 + dp.y, 5 + dp.z};
        EXPECT_FALSE(connected({5, 5, 5}, to, 0));
        EXPECT_FALSE(connected({5, 5, 5}, to, GF_ENTITIES_BLOCK));
    }
    EXPECT_TRUE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK));
    EXPECT_TRUE(connected({5, 5, 5}, {6, 6, 5}, GF_WALK));
}

TEST_F(PathfindTest, OnlySingleStepsAreConnected)
{
    EXPECT_FALSE(connected({5, 5, 5}, {5, 5, 5}, GF_WALK | GF_NO_GROUND));
    EXPECT_FALSE(connected({5, 5, 5}, {7, 5, 5}, GF_WALK | GF_NO_GROUND));
    EXPECT_FALSE(connected({5, 5, 5}, {6, 6, 6}, GF_WALK | GF_NO_GROUND));
    // Straight up needs GF_NO_GROUND: the cell below the destination is the start's own.
    EXPECT_FALSE(connected({5, 5, 5}, {5, 5, 6}, GF_WALK));
    EXPECT_TRUE(connected({5, 5, 5}, {5, 5, 6}, GF_WALK | GF_NO_GROUND));
    // Into a filled cell never.
    EXPECT_FALSE(connected({5, 5, 5}, {5, 5, 4}, GF_WALK | GF_NO_GROUND));
}

TEST_F(PathfindTest, GroundRules)
{
    set_material(&env, 6, 5, 4, MATERIAL_AIR);
    EXPECT_FALSE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK));
    EXPECT_TRUE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK | GF_NO_GROUND));

    set_material(&env, 6, 5, 4, MATERIAL_WATER);
    EXPECT_FALSE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK));
    EXPECT_FALSE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK | GF_NO_GROUND));
    EXPECT_TRUE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK | GF_ON_WATER));

    set_material(&env, 6, 5, 4, MATERIAL_TREE);
    EXPECT_FALSE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK));
    EXPECT_TRUE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK | GF_NO_GROUND));
}

TEST_F(PathfindTest, DiagonalClimbsAndDescentsNeedHeadroom)
{
    set_material(&env, 6, 5, 5, MATERIAL_STONE);  // a step up at x 6
    EXPECT_TRUE(connected({5, 5, 5}, {6, 5, 6}, GF_WALK));
    set_material(&env, 5, 5, 6, MATERIAL_STONE);  // ceiling over the start
    EXPECT_FALSE(connected({5, 5, 5}, {6, 5, 6}, GF_WALK));
    set_material(&env, 5, 5, 6, MATERIAL_AIR);

    // Down from the step: the cell at the destination's column and the start's height.
    EXPECT_TRUE(connected({6, 5, 6}, {7, 5, 5}, GF_WALK));
    set_material(&env, 7, 5, 6, MATERIAL_TREE);
    EXPECT_FALSE(connected({6, 5, 6}, {7, 5, 5}, GF_WALK));
    // Two up in one step is never possible.
    set_material(&env, 6, 5, 6, MATERIAL_STONE);
    EXPECT_FALSE(connected({5, 5, 5}, {6, 5, 7}, GF_WALK));
}

TEST_F(PathfindTest, MapEdgeHasNoGround)
{
    // Outside the map sideways: empty, but without ground.
    EXPECT_FALSE(connected({0, 5, 5}, {-1, 5, 5}, GF_WALK));
    EXPECT_TRUE(connected({0, 5, 5}, {-1, 5, 5}, GF_NO_GROUND));
    // Below z 0 lies outside the map: material 0, no ground.
    gameenv_free(&env);
    make_flat_world(&env, 16, 16, 8, -1);
    EXPECT_FALSE(connected({0, 0, 0}, {1, 0, 0}, GF_WALK));
    EXPECT_TRUE(connected({0, 0, 0}, {1, 0, 0}, GF_NO_GROUND));
}

TEST_F(PathfindTest, EntitiesBlockOnlyWithTheFlag)
{
    add_unit(&env, 6, 5, 5, 0);
    EXPECT_TRUE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK));
    EXPECT_FALSE(connected({5, 5, 5}, {6, 5, 5}, GF_WALK | GF_ENTITIES_BLOCK));
}

TEST_F(PathfindTest, CheckContentPrecedence)
{
    Entity* b = add_unit(&env, 8, 8, 5, 0);
    b->type = ET_BUILDING;
    b->building_size = {2, 2, 1};
    occupancy_invalidate(&env);
    CheckedContent cc;
    V3i inside = {9, 9, 5};
    check_content(&cc, &inside, &env);
    EXPECT_EQ(cc.type, CCT_ENTITY);
    EXPECT_EQ(cc.entity, b);
    V3i beyond = {10, 9, 5};
    check_content(&cc, &beyond, &env);
    EXPECT_EQ(cc.type, CCT_NONE);

    // A voxel wins over an entity standing in it.
    Entity* buried = add_unit(&env, 3, 3, 4, 0);
    check_content(&cc, &buried->p1, &env);
    EXPECT_EQ(cc.type, CCT_VOXEL);
    EXPECT_EQ(cc.voxel.material, MATERIAL_STONE);
    set_material(&env, 2, 2, 5, MATERIAL_TREE);
    V3i tree = {2, 2, 5};
    check_content(&cc, &tree, &env);
    EXPECT_EQ(cc.type, CCT_VOXEL);

    // A unit occupies its p1; of two in one cell the newer (nearer the head) is reported.
    Entity* older = add_unit(&env, 5, 5, 5, 0);
    Entity* newer = add_unit(&env, 4, 5, 5, 0);
    newer->p1 = {5, 5, 5};
    occupancy_invalidate(&env);
    check_content(&cc, &older->p1, &env);
    EXPECT_EQ(cc.entity, newer);
    V3i left = {4, 5, 5};
    check_content(&cc, &left, &env);
    EXPECT_EQ(cc.type, CCT_NONE);

    V3i outside = {-3, 5, 5};
    check_content(&cc, &outside, &env);
    EXPECT_EQ(cc.type, CCT_NONE);
}

TEST_F(PathfindTest, StartEqualToGoalLeavesThePathAlone)
{
    V3i keep[2] = {{1, 2, 3}, {4, 5, 6}};
    path.coords = (V3i*)std::malloc(sizeof(keep));
    std::memcpy(path.coords, keep, sizeof(keep));
    path.length = 2;
    path.next_i = 1;
    EXPECT_EQ(astar({5, 5, 5}, {5, 5, 5}), 0);
    EXPECT_EQ(path.length, 2);
    EXPECT_EQ(path.next_i, 1);
    EXPECT_EQ(path.coords[1].z, 6);
}

TEST_F(PathfindTest, ReachableGoalGivesAConnectedRouteEndingThere)
{
    set_material(&env, 8, 3, 5, MATERIAL_STONE);  // some obstacles on the way
    set_material(&env, 8, 4, 5, MATERIAL_STONE);
    set_material(&env, 8, 4, 6, MATERIAL_STONE);
    EXPECT_EQ(astar({2, 4, 5}, {13, 4, 5}), 1);
    ASSERT_GT(path.length, 0);
    EXPECT_TRUE(v3i_eq_xyz(&path.coords[path.length - 1], 13, 4, 5));
    expect_route_connected({2, 4, 5});
    // Searching again into the same path keeps only the new route.
    EXPECT_EQ(astar({2, 4, 5}, {3, 4, 5}), 1);
    EXPECT_EQ(path.length, 1);
}

TEST_F(PathfindTest, EnclosedGoalGivesTheNearestExploredCell)
{
    // A two-high ring around (8, 8, 5) that nobody can climb.
    for (int x = 7; x <= 9; x++)
        for (int y = 7; y <= 9; y++)
            if (x != 8 || y != 8) {
                set_material(&env, x, y, 5, MATERIAL_STONE);
                set_material(&env, x, y, 6, MATERIAL_STONE);
            }
    EXPECT_EQ(astar({1, 1, 5}, {8, 8, 5}), 2);
    ASSERT_GT(path.length, 0);
    // Four cells lie 2 away; the tie goes to the lowest y, then x.
    EXPECT_TRUE(v3i_eq_xyz(&path.coords[path.length - 1], 8, 6, 5));
    expect_route_connected({1, 1, 5});
}

TEST_F(PathfindTest, EnclosedStartGivesNoRoute)
{
    for (int x = 4; x <= 6; x++)
        for (int y = 4; y <= 6; y++)
            if (x != 5 || y != 5) {
                set_material(&env, x, y, 5, MATERIAL_STONE);
                set_material(&env, x, y, 6, MATERIAL_STONE);
            }
    path.coords = (V3i*)std::malloc(sizeof(V3i));
    path.length = 1;
    EXPECT_EQ(astar({5, 5, 5}, {12, 12, 5}), 0);
    EXPECT_EQ(path.length, 0);
}

TEST_F(PathfindTest, GoalIsRecognisedOnlyWhenSelected)
{
    EXPECT_EQ(astar({5, 5, 5}, {6, 5, 5}, 1), 0);
    EXPECT_EQ(path.length, 0);
    EXPECT_EQ(astar({5, 5, 5}, {6, 5, 5}, 2), 1);
    EXPECT_EQ(path.length, 1);
}

TEST_F(PathfindTest, BlockedGoalIsNeverReached)
{
    V3i goal = {10, 5, 5};
    int res = astar({5, 5, 5}, goal, 1000, &goal, 1);
    EXPECT_EQ(res, 2);
    EXPECT_FALSE(v3i_eq(&path.coords[path.length - 1], &goal));
    EXPECT_FLOAT_EQ(v3i_distance(&path.coords[path.length - 1], &goal), 1.0f);
}

TEST_F(PathfindTest, BlockedCellsAreAvoidedButNotWhatLiesBeyond)
{
    // A wall of blocked cells across the straight way, with a gap at y 12.
    std::vector<V3i> wall;
    for (int y = 0; y < 12; y++)
        wall.push_back({8, y, 5});
    EXPECT_EQ(astar({4, 3, 5}, {12, 3, 5}, 1000, wall.data(), (int)wall.size()), 1);
    for (int i = 0; i < path.length; i++)
        for (const V3i& w : wall)
            ASSERT_FALSE(v3i_eq(&path.coords[i], &w));
    expect_route_connected({4, 3, 5});
}

TEST_F(PathfindTest, WantedDistanceStopsEarly)
{
    EXPECT_EQ(astar({5, 5, 5}, {7, 5, 5}, 1000, nullptr, 0, 3.0f), 1);
    EXPECT_EQ(path.length, 0);
    EXPECT_EQ(astar({1, 5, 5}, {12, 5, 5}, 1000, nullptr, 0, 3.0f), 1);
    ASSERT_GT(path.length, 0);
    V3i goal = {12, 5, 5};
    EXPECT_LE(v3i_distance(&path.coords[path.length - 1], &goal), 3.0f);
    // Below 1 it has no effect.
    EXPECT_EQ(astar({1, 5, 5}, {12, 5, 5}, 1000, nullptr, 0, 0.9f), 1);
    EXPECT_TRUE(v3i_eq_xyz(&path.coords[path.length - 1], 12, 5, 5));
}

// ground_cell of a random column. The row is drawn first, as the native build always drew it:
// the order of a call's arguments is the compiler's choice, so each draw is a statement.
V3i random_ground_cell(GameEnv* env, int w, int h)
{
    int y = myrand() % h;
    int x = myrand() % w;
    return ground_cell(env, x, y);
}

// The faster selection must pick exactly the node the plain scan picks: same result, same route.
TEST(PathfindAgreement, FastSearchMatchesThePlainScanOnRandomQueries)
{
    int compared = 0, reached = 0, partial = 0;
    for (unsigned seed = 1; seed <= 6; seed++) {
        GameEnv env;
        make_hilly_world(&env, 48, 48, 16, seed);
        for (int i = 0; i < 12; i++) {  // entities matter only with GF_ENTITIES_BLOCK
            V3i c = random_ground_cell(&env, 48, 48);
            if (c.z >= 0)
                add_unit(&env, c.x, c.y, c.z, 0);
        }
        for (int q = 0; q < 400; q++) {
            V3i from = random_ground_cell(&env, 48, 48);
            V3i to = random_ground_cell(&env, 48, 48);
            if (from.z < 0)
                continue;
            if (to.z < 0)
                to.z = myrand() % 16;
            int budget = q % 3 == 0 ? 50 : 1000;
            int flags = GF_WALK | (q % 4 == 0 ? GF_ON_WATER : 0) | (q % 5 == 0 ? GF_ENTITIES_BLOCK : 0);
            float wanted = q % 7 == 0 ? 4.0f : 0.0f;
            V3i blocked[3];
            for (V3i& b : blocked)
                b = {from.x + myrand() % 5 - 2, from.y + myrand() % 5 - 2, from.z};
            Path a, b;
            path_init(&a);
            path_init(&b);
            int ra = pathfind_astar(&a, &from, &to, &env, flags, budget, blocked, 3, wanted);
            int rb = astar_reference::pathfind_astar_plain(&b, &from, &to, &env, flags, budget,
                                                           blocked, 3, wanted);
            ASSERT_EQ(ra, rb) << "seed " << seed << " query " << q;
            ASSERT_EQ(a.length, b.length) << "seed " << seed << " query " << q;
            for (int i = 0; i < a.length; i++)
                ASSERT_TRUE(v3i_eq(&a.coords[i], &b.coords[i])) << "query " << q << " cell " << i;
            compared++;
            reached += ra == 1;
            partial += ra == 2;
            path_free(&a);
            path_free(&b);
        }
        gameenv_free(&env);
    }
    EXPECT_GT(compared, 1500);
    // Both kinds of outcome must be exercised for the comparison to mean anything.
    EXPECT_GT(reached, 100);
    EXPECT_GT(partial, 100);
}

// One query for the agreement test: every argument of a search.
struct Query {
    V3i from, to;
    int flags, max_loops;
    std::vector<V3i> blocked;
    float wanted;
};

// A random query on env: from a standing cell or a unit's cell, to a standing cell, a cell in
// the ground or in the air, a cell next to the start or the start itself; any flag combination;
// budgets from 1 to 1000; blocked cells around the start and the goal (sometimes the goal);
// wanted distances below, at and above 1.
Query random_query(GameEnv* env, int q)
{
    const Area& a = env->voxeldata.area;
    Query r;
    auto random_cell = [&] {
        V3i c = random_ground_cell(env, a.w, a.h);
        if (c.z < 0)
            c.z = myrand() % a.d;
        return c;
    };
    r.from = random_cell();
    if (q % 4 == 0 && !list_empty(&env->entities)) {
        int skip = myrand() % 40;
        Entity* e = env->entities.lh_first;
        while (skip-- > 0 && e->entries.le_next)
            e = e->entries.le_next;
        r.from = e->p1;
    }
    switch (q % 9) {
    case 0: r.to = r.from; break;
    case 1: r.to = {r.from.x + myrand() % 3 - 1, r.from.y + myrand() % 3 - 1, r.from.z}; break;
    case 2: r.to = {myrand() % a.w, myrand() % a.h, myrand() % a.d}; break;
    default: r.to = random_cell(); break;
    }
    r.flags = q % 16;
    const int budgets[] = {1000, 50, 1000, 1, 2, 7, 200};
    r.max_loops = budgets[(q / 16) % 7];
    int nblocked = myrand() % 6;
    for (int i = 0; i < nblocked; i++) {
        const V3i& c = i % 2 ? r.to : r.from;
        r.blocked.push_back({c.x + myrand() % 5 - 2, c.y + myrand() % 5 - 2, c.z + myrand() % 3 - 1});
    }
    if (myrand() % 8 == 0)
        r.blocked.push_back(r.to);
    const float wanted[] = {0.0f, 0.0f, 0.5f, 1.0f, 2.5f, 4.0f};
    r.wanted = wanted[myrand() % 6];
    return r;
}

// Runs q with `search` into a path that holds an old route, so that "left untouched" and
// "emptied" are told apart.
template <class Search>
int run_query(Search search, GameEnv* env, Query& q, Path* path)
{
    path_init(path);
    path->coords = (V3i*)std::malloc(sizeof(V3i));
    path->coords[0] = {-7, -7, -7};
    path->length = 1;
    path->next_i = 1;
    return search(path, &q.from, &q.to, env, q.flags, q.max_loops, q.blocked.data(),
                  (int)q.blocked.size(), q.wanted);
}

struct Answer {
    Query query;
    int result;
    Path route;
};

void expect_same_outcome(int ra, const Path& a, int rb, const Path& b, const char* form, int q)
{
    ASSERT_EQ(ra, rb) << form << ", query " << q;
    ASSERT_EQ(a.length, b.length) << form << ", query " << q;
    ASSERT_EQ(a.next_i, b.next_i) << form << ", query " << q;
    for (int i = 0; i < a.length; i++)
        ASSERT_TRUE(v3i_eq(&a.coords[i], &b.coords[i])) << form << ", query " << q << " cell " << i;
}

// The game's search against the literal forms on generated maps with both armies and more
// units and buildings placed, interleaved with searches on a hilly world of another size (the
// search keeps scratch between calls, sized to the map). The terrains are final, as a new
// game's is, so every question is asked twice: the second answer, from memory when entities
// are not obstacles, must be the first one exactly, and in between the other world's answers
// must not leak in.
TEST(PathfindAgreement, GameSearchMatchesTheLiteralFormsOnGeneratedMaps)
{
    int compared = 0, outcomes[3] = {0, 0, 0}, off_map = 0;
    for (int seed : {11, 2024, 777777}) {
        GameEnv* env = battle::make_battle(seed);
        int y = 12 + myrand() % 40;  // one draw per statement, in the native build's order
        add_entity_bunch(12 + myrand() % 40, y, 6, 1);
        y = 12 + myrand() % 40;
        add_building_bunch(12 + myrand() % 40, y, 2, 0);
        GameEnv hills;
        make_hilly_world(&hills, 40, 56, 12, (unsigned)seed);
        gameenv_terrain_final(env);
        gameenv_terrain_final(&hills);
        std::vector<Answer> asked[2];  // per world, with routes owned until the seed's end
        for (int q = 0; q < 800; q++) {
            GameEnv* world = q % 5 == 4 ? &hills : env;
            Query query = random_query(world, q);
            Path game, trees, plain, again;
            path_init(&plain);
            int rg = run_query(pathfind_astar, world, query, &game);
            int rt = run_query(astar_reference::pathfind_astar_trees, world, query, &trees);
            expect_same_outcome(rg, game, rt, trees, "first form", q);
            // This question again at once, and an earlier one to the same world after others.
            std::vector<Answer>& history = asked[q % 5 == 4];
            if (!history.empty()) {
                const Answer& earlier = history[(size_t)q * 7919 % history.size()];
                Path p;
                int rp = run_query(pathfind_astar, world, const_cast<Query&>(earlier.query), &p);
                expect_same_outcome(earlier.result, earlier.route, rp, p, "asked later", q);
                path_free(&p);
            }
            int ra = run_query(pathfind_astar, world, query, &again);
            expect_same_outcome(rg, game, ra, again, "asked again", q);
            history.push_back({query, rg, again});
            if (q % 4 == 1) {  // the slow plain scan on a share of the queries
                int rp = run_query(astar_reference::pathfind_astar_plain, world, query, &plain);
                expect_same_outcome(rg, game, rp, plain, "plain scan", q);
            }
            for (int i = 0; i < game.length; i++)
                off_map += !area_contains(&world->voxeldata.area, &game.coords[i]);
            outcomes[rg]++;
            compared++;
            path_free(&game);
            path_free(&trees);
            path_free(&plain);
            if (HasFatalFailure()) {
                ADD_FAILURE() << "seed " << seed;
                return;
            }
        }
        for (auto& list : asked)
            for (Answer& a : list)
                path_free(&a.route);
        gameenv_free(&hills);
        gameenv_free(env);
    }
    EXPECT_GE(compared, 2000);
    // Every kind of outcome, and routes that leave the map (GF_NO_GROUND), must be exercised
    // for the comparison to mean anything.
    EXPECT_GT(outcomes[0], 200);
    EXPECT_GT(outcomes[1], 200);
    EXPECT_GT(outcomes[2], 200);
    EXPECT_GT(off_map, 0);
}

// Budgets of a million expansions and more take the search's other way of ordering cells; on
// the ground a search ends when it runs out of cells, so these queries stay short.
TEST(PathfindAgreement, HugeBudgetsMatchTheFirstForm)
{
    GameEnv* env = battle::make_battle(5);
    GameEnv hills;
    make_hilly_world(&hills, 24, 20, 8, 5);
    int outcomes[3] = {0, 0, 0};
    for (int q = 0; q < 60; q++) {
        GameEnv* world = q % 3 == 2 ? &hills : env;
        Query query = random_query(world, q);
        query.flags &= ~GF_NO_GROUND;
        query.max_loops = q % 2 ? 1 << 20 : 0x7fffffff;
        Path game, trees;
        int rg = run_query(pathfind_astar, world, query, &game);
        int rt = run_query(astar_reference::pathfind_astar_trees, world, query, &trees);
        expect_same_outcome(rg, game, rt, trees, "first form", q);
        outcomes[rg]++;
        path_free(&game);
        path_free(&trees);
        if (HasFatalFailure())
            break;
    }
    gameenv_free(&hills);
    gameenv_free(env);
    EXPECT_GT(outcomes[1], 10);
    EXPECT_GT(outcomes[2], 5);
}

}  // namespace
