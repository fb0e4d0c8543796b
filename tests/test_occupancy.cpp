// The occupancy index against the walk of the entity list it replaces: units and buildings
// coming, going, moving, overlapping, turning into wrecks, beyond the map and on a new terrain.
#include "occupancy.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

#include "game.h"
#include "pathfind.h"
#include "world_fixture.h"

namespace {

Entity* content_entity(GameEnv* env, V3i p)
{
    CheckedContent cc;
    check_content(&cc, &p, env);
    return cc.type == CCT_ENTITY ? cc.entity : nullptr;
}

TEST(Occupancy, BuildingWreckUncoversTheUnitBelowAndLeavesWithItsAnimation)
{
    GameEnv env;
    make_flat_world(&env, 16, 16, 8, 4);
    Entity* older = add_unit(&env, 6, 6, 5, 1);
    older->shoot_range = 0;
    Entity* b = add_unit(&env, 0, 0, 5, 0);
    b->type = ET_BUILDING;
    b->building_size = {2, 2, 1};
    b->base_graphflags = 0;
    b->shoot_range = 0;
    V3i corner = {5, 5, 5};
    entity_set_pos(b, &corner);
    occupancy_invalidate(&env);
    EXPECT_EQ(content_entity(&env, {6, 6, 5}), b);  // the newer covers the older
    EXPECT_EQ(content_entity(&env, {5, 6, 5}), b);

    // A shot that lands on the building's centre, half a cell from the unit's.
    V3f at = b->pf;
    scale_to_view_f(&at);
    add_projectile(&env, PT_BULLET, at, at, 20, 100);
    gameenv_run(&env, 0.02f);
    ASSERT_EQ(b->party, -1);
    EXPECT_TRUE(occupancy_consistent(&env));
    EXPECT_EQ(content_entity(&env, {5, 5, 5}), b);
    EXPECT_EQ(content_entity(&env, {6, 6, 5}), older);
    EXPECT_EQ(content_entity(&env, {5, 6, 5}), nullptr);

    run_frames(&env, 70, 0.02f);
    ASSERT_EQ(list_count(&env.entities), 1);
    EXPECT_TRUE(occupancy_consistent(&env));
    EXPECT_EQ(content_entity(&env, {5, 5, 5}), nullptr);
    EXPECT_EQ(content_entity(&env, {6, 6, 5}), older);
    gameenv_free(&env);
}

// Random changes crowded into a few cells across the map's edge, so that occupants overlap and
// leave shared cells often; after each change every cell agrees with the list walk.
TEST(Occupancy, AgreesWithTheListWalkThroughRandomChanges)
{
    GameEnv env;
    make_flat_world(&env, 6, 6, 4, 1);
    std::srand(7);
    auto rnd = [](int lo, int hi) { return lo + std::rand() % (hi - lo + 1); };
    std::vector<Entity*> live;
    int rescans_seen = 0;
    for (int step = 0; step < 1200; step++) {
        int op = rnd(0, 9);
        if ((op <= 2 && live.size() < 40) || live.empty()) {
            Entity* e = add_unit(&env, rnd(-1, 4), rnd(-1, 4), rnd(1, 2), rnd(-1, 1));
            if (rnd(0, 2) == 0) {
                // Set up as a building before the world indexes it, as the game's set-up does.
                gameenv_remove_entity(&env, e);
                e->type = ET_BUILDING;
                e->building_size = {rnd(1, 3), rnd(1, 3), rnd(1, 2)};
                V3i p = e->p1;
                entity_set_pos(e, &p);
                gameenv_add_entity(&env, e);
            }
            live.push_back(e);
        } else if (op <= 5) {
            // A step towards any neighbour, perhaps after arriving where the last one led.
            Entity* e = live[rnd(0, (int)live.size() - 1)];
            if (rnd(0, 1))
                e->p0 = e->p1;
            V3i p = {e->p0.x + rnd(-1, 1), e->p0.y + rnd(-1, 1), e->p0.z + rnd(-1, 1)};
            entity_set_p1(e, &p, &env);
        } else if (op <= 7) {
            int i = rnd(0, (int)live.size() - 1);
            Entity* e = live[i];
            V3i p = e->p1;
            Entity* before = occupancy_first_scan(&env, &p);
            gameenv_remove_entity(&env, e);
            Entity* after = occupancy_first_scan(&env, &p);
            rescans_seen += before == e && after != nullptr;
            std::free(e);
            live.erase(live.begin() + i);
        } else if (op == 8) {
            // What a wreck does to a building.
            Entity* e = live[rnd(0, (int)live.size() - 1)];
            e->type = ET_UNIT;
            occupancy_update(&env, e);
        } else if (rnd(0, 9) == 0) {
            // A terrain of another size: the index follows it.
            voxeldata_free(&env.voxeldata);
            Area a = {rnd(-1, 0), rnd(-1, 0), 0, rnd(3, 8), rnd(3, 8), 4};
            voxeldata_allocate(&env.voxeldata, &a);
            for (int c = 0; c < area_size(&a); c++)
                env.voxeldata.data[c].material = MATERIAL_AIR;
        } else {
            // Changed by hand, then announced.
            Entity* e = live[rnd(0, (int)live.size() - 1)];
            e->p0.x += 1;
            e->p1.x += 1;
            occupancy_invalidate(&env);
        }
        ASSERT_TRUE(occupancy_consistent(&env)) << "step " << step;
        for (int x = -3; x <= 8; x++)
            for (int y = -3; y <= 8; y++)
                for (int z = 0; z <= 4; z++) {
                    V3i p = {x, y, z};
                    ASSERT_EQ(occupancy_first(&env, &p), occupancy_first_scan(&env, &p))
                        << "step " << step << " cell " << x << "," << y << "," << z;
                    int party = (x + y) % 2, range = z % 3;
                    ASSERT_EQ(occupancy_first_enemy(&env, &p, party, range),
                              occupancy_first_enemy_scan(&env, &p, party, range))
                        << "step " << step << " cell " << x << "," << y << "," << z;
                }
    }
    // The walk above went through the case the index handles by looking again.
    std::printf("occupancy: %d first occupants left a shared cell\n", rescans_seen);
    EXPECT_GT(rescans_seen, 20);
    gameenv_free(&env);
}

// Many units in separate cells, where the search looks at the cells around the searcher rather
// than walking the list: the same enemy as the walk from every cell, standing and mid-step.
TEST(Occupancy, NearestEnemySearchAgreesWithTheListWalk)
{
    GameEnv env;
    make_flat_world(&env, 32, 32, 6, 1);
    std::srand(11);
    std::vector<Entity*> units;
    for (int x = 0; x < 32; x++)
        for (int y = 0; y < 32; y++)
            if (std::rand() % 3 == 0)
                units.push_back(add_unit(&env, x, y, 2 + std::rand() % 2, std::rand() % 3 - 1));
    Entity* b = add_unit(&env, 0, 0, 2, 1);
    b->type = ET_BUILDING;
    b->building_size = {3, 2, 2};
    V3i corner = {14, 14, 2};
    entity_set_pos(b, &corner);
    occupancy_invalidate(&env);
    int found = 0;
    for (int round = 0; round < 2; round++) {
        for (int x = -1; x <= 32; x++)
            for (int y = -1; y <= 32; y++)
                for (int range = 0; range <= 3; range++) {
                    V3i p = {x, y, 2 + (x + y) % 2};
                    int party = (x * 7 + y) % 3 - 1;
                    Entity* e = occupancy_first_enemy(&env, &p, party, range);
                    ASSERT_EQ(e, occupancy_first_enemy_scan(&env, &p, party, range))
                        << "round " << round << " cell " << x << "," << y << " range " << range;
                    found += e != nullptr;
                }
        // Every other unit starts a step into a free neighbouring cell.
        for (size_t i = 0; i < units.size(); i += 2) {
            for (const V3i& dp : pathfind_neighbor_dps) {
                V3i q = {units[i]->p0.x + dp.x, units[i]->p0.y + dp.y, units[i]->p0.z + dp.z};
                if (area_contains(&env.voxeldata.area, &q) && !occupancy_first(&env, &q)) {
                    entity_set_p1(units[i], &q, &env);
                    break;
                }
            }
        }
        ASSERT_TRUE(occupancy_consistent(&env));
    }
    EXPECT_GT(found, 3000);
    gameenv_free(&env);
}

TEST(Occupancy, EntitiesWithoutTerrainAreStillFound)
{
    GameEnv env;
    gameenv_init(&env);
    Entity* a = add_unit(&env, 3, 4, 5, 0);
    Entity* b = add_unit(&env, 3, 4, 5, 1);
    EXPECT_EQ(content_entity(&env, {3, 4, 5}), b);
    gameenv_remove_entity(&env, b);
    EXPECT_EQ(content_entity(&env, {3, 4, 5}), a);
    EXPECT_EQ(content_entity(&env, {3, 4, 6}), nullptr);
    std::free(b);
    gameenv_free(&env);
}

}  // namespace
