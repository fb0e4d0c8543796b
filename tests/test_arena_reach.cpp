// What the arena tells a maintainer of reach: which units can get within range of an enemy at
// all, and which enemies some unit can. A flat floor parted by a water channel, with a pillar
// that strands a unit and a tower that no unit gets near.
#include <gtest/gtest.h>

#include "arena_reach.h"
#include "occupancy.h"
#include "pathfind.h"
#include "world_fixture.h"

namespace {

class ArenaReachWorld : public ::testing::Test {
protected:
    GameEnv env{};

    void SetUp() override
    {
        make_flat_world(&env, 20, 20, 14, 2);
        for (int y = 0; y < 20; y++)  // water from x = 7 to 9: walkers stay west of it
            for (int x = 7; x <= 9; x++)
                set_material(&env, x, y, 2, MATERIAL_WATER);
        pillar(2, 16, 5);   // a walker on top cannot climb down three cells
        pillar(16, 16, 8);  // a tower on top is six cells above the floor round it
    }
    void TearDown() override { gameenv_free(&env); }

    void pillar(int x, int y, int top)
    {
        for (int z = 3; z <= top; z++)
            set_material(&env, x, y, z, MATERIAL_STONE);
    }
    Entity* unit(int x, int y, int z, int party, bool floats)
    {
        Entity* e = add_unit(&env, x, y, z, party);
        e->can_attack = true;
        e->base_graphflags = GF_WALK | (floats ? GF_ON_WATER : 0);
        return e;
    }
};

TEST_F(ArenaReachWorld, CountsUnitsThatReachAnEnemyAndEnemiesThatAreReached)
{
    unit(2, 2, 3, 0, false);        // walker west of the water
    unit(2, 16, 6, 0, false);       // walker stranded on its pillar
    unit(3, 5, 3, 0, true);         // floater: crosses the water
    unit(4, 10, 3, 1, false);       // enemy west of the water, 2 cells from the floor the walker has
    unit(15, 2, 3, 1, false);       // enemy east of the water: 6 cells from the nearest west cell
    Entity* tower = unit(16, 16, 9, 1, false);
    tower->type = ET_BUILDING;
    tower->base_graphflags = 0;
    unit(5, 5, 3, -1, false);       // a wreck is nobody's enemy
    occupancy_invalidate(&env);

    ArenaReach r;
    ASSERT_TRUE(arena_reach(&env, 0, &r));
    EXPECT_EQ(r.enemies, 3);
    EXPECT_EQ(r.units[ARENA_WALKING], 2);
    EXPECT_EQ(r.units_reaching[ARENA_WALKING], 1) << "the walker on the pillar reaches nothing";
    EXPECT_EQ(r.enemies_reached[ARENA_WALKING], 1) << "walkers do not cross water";
    EXPECT_EQ(r.units[ARENA_FLOATING], 1);
    EXPECT_EQ(r.units_reaching[ARENA_FLOATING], 1);
    EXPECT_EQ(r.enemies_reached[ARENA_FLOATING], 2) << "the tower on its pillar is out of range";
    EXPECT_EQ(r.enemies_reached_by_any, 2);

    // The enemy's side: its walker east of the water reaches nothing; its building is not a
    // unit; a unit that cannot climb down its pillar can still be fired on from below.
    ASSERT_TRUE(arena_reach(&env, 1, &r));
    EXPECT_EQ(r.enemies, 3);
    EXPECT_EQ(r.units[ARENA_WALKING], 2);
    EXPECT_EQ(r.units_reaching[ARENA_WALKING], 1);
    EXPECT_EQ(r.units[ARENA_FLOATING], 0);
    EXPECT_EQ(r.enemies_reached_by_any, 3);
}

TEST_F(ArenaReachWorld, OwnBuildingsWallUnitsInAndTheEnemysDoNot)
{
    // A walker set down inside a building of its own, six cells from the enemy: it walks out,
    // onto a floor another walker of its side has already spread over.
    Entity* shed = unit(5, 18, 3, 0, false);
    unit(5, 18, 3, 0, false);
    unit(5, 14, 3, 0, false);
    // A walker in a pocket walled two cells high; the one gap is taken by a one-cell building of
    // its own.
    for (int x = 2; x <= 4; x++)
        for (int y = 2; y <= 4; y++)
            if ((x != 3 || y != 3) && (x != 4 || y != 3))
                pillar(x, y, 4);
    unit(3, 3, 3, 0, false);
    Entity* gate = unit(4, 3, 3, 0, false);
    for (Entity* b : {gate, shed}) {
        b->type = ET_BUILDING;
        b->base_graphflags = 0;
        b->can_attack = false;
    }
    unit(3, 12, 3, 1, false);  // nine cells from the pocket, on the open floor
    occupancy_invalidate(&env);

    ArenaReach r;
    ASSERT_TRUE(arena_reach(&env, 0, &r));
    EXPECT_EQ(r.units[ARENA_WALKING], 3);
    EXPECT_EQ(r.units_reaching[ARENA_WALKING], 2) << "one walked through its own building, or one "
                                                    "could not leave the building it stood in";

    // The enemy's building: it may be destroyed, so it walls nothing in; and it is a target.
    gate->party = 1;
    occupancy_invalidate(&env);
    ASSERT_TRUE(arena_reach(&env, 0, &r));
    EXPECT_EQ(r.units_reaching[ARENA_WALKING], 3);
    EXPECT_EQ(r.enemies_reached[ARENA_WALKING], 2);
}

}  // namespace
