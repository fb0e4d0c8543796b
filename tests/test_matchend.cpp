// The end of a game against the computer: a party with nothing left loses, two minutes of game
// time without a hit between the parties is a draw; and the world's count of those hits.
#include "matchend.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "world_fixture.h"

namespace {

constexpr float kStep = 1.0f / 60;

struct MatchEndTest : ::testing::Test {
    GameEnv env;
    MatchState m;
    void SetUp() override { make_flat_world(&env, 32, 32, 8, 4); }
    void TearDown() override { gameenv_free(&env); }

    // A shooter of party 0 at (5,5) that fires at once, with `victim` in range.
    Entity* shooter_at(Entity* victim)
    {
        Entity* s = add_unit(&env, 5, 5, 5, 0);
        s->can_attack = true;
        s->peripheral = PT_TURRET;
        s->reload_timer = 100;
        Target t = entity_target(victim);
        entity_start_attack(s, &t);
        return s;
    }

    // Runs steps until the outcome is decided or `seconds` of game time have passed.
    MatchOutcome run_for(float seconds)
    {
        MatchOutcome o = MATCH_ON;
        for (int i = 0; i < (int)(seconds / kStep) && o == MATCH_ON; i++) {
            gameenv_run(&env, kStep);
            o = match_update(&m, &env, kStep);
        }
        return o;
    }
};

Entity* make_building(GameEnv* env, int x, int y, int z, int party)
{
    Entity* b = (Entity*)std::malloc(sizeof(Entity));
    entity_init(b);
    b->uid = 9000 + x;
    b->party = party;
    b->type = ET_BUILDING;
    b->base_graphflags = 0;
    b->building_size = {2, 2, 1};
    b->durability = 10;
    V3i p = {x, y, z};
    entity_set_pos(b, &p);
    gameenv_add_entity(env, b);
    return b;
}

TEST_F(MatchEndTest, LastUnitDestroyedLosesAndTheOtherWins)
{
    Entity* victim = add_unit(&env, 7, 5, 5, 1);
    victim->health = 0.1f;
    shooter_at(victim);
    add_unit(&env, 20, 20, 5, 0);  // a second unit of the winner, never hit
    match_start(&m, &env);
    EXPECT_EQ(m.start_count[0], 2);
    EXPECT_EQ(m.start_count[1], 1);

    ASSERT_EQ(run_for(10), MATCH_WON);
    EXPECT_EQ(m.winner, 0);
    EXPECT_EQ(m.losses[0], 0);
    EXPECT_EQ(m.losses[1], 1);
    EXPECT_STREQ(match_result_word(&m, 0), "Victory");
    EXPECT_STREQ(match_result_word(&m, 1), "Defeat");
    EXPECT_GT(m.game_time, 0);
    EXPECT_LT(m.game_time, 10);

    // The end stands: more steps change neither the outcome nor the clock.
    double t = m.game_time;
    EXPECT_EQ(match_update(&m, &env, 5), MATCH_WON);
    EXPECT_EQ(m.game_time, t);
}

TEST_F(MatchEndTest, PartyWithBuildingsLeftHasNotLost)
{
    // Party 1 loses its only unit but keeps a building: the game goes on until it falls too.
    Entity* victim = add_unit(&env, 7, 5, 5, 1);
    victim->health = 0.1f;
    Entity* building = make_building(&env, 8, 8, 5, 1);
    building->health = 0.05f;
    Entity* s = shooter_at(victim);
    match_start(&m, &env);
    EXPECT_EQ(m.start_count[1], 2);

    // Three seconds: the unit is gone, not the building.
    EXPECT_EQ(run_for(3), MATCH_ON);
    EXPECT_EQ(m.losses[1], 1);
    EXPECT_EQ(match_party_count(&env, 1), 1);

    Target t = entity_target(building);
    s->reload_timer = 100;
    entity_start_attack(s, &t);
    ASSERT_EQ(run_for(10), MATCH_WON);
    EXPECT_EQ(m.winner, 0);
    EXPECT_EQ(m.losses[1], 2);
}

TEST_F(MatchEndTest, TwoMinutesWithoutAHitIsADraw)
{
    add_unit(&env, 2, 2, 5, 0);
    add_unit(&env, 28, 28, 5, 1);
    match_start(&m, &env);
    EXPECT_EQ(run_for(119), MATCH_ON);
    EXPECT_EQ(run_for(2), MATCH_DRAW);
    EXPECT_EQ(m.winner, -1);
    EXPECT_NEAR(m.game_time, 120, 0.05);
    EXPECT_STREQ(match_result_word(&m, 0), "Draw");
    EXPECT_STREQ(match_result_word(&m, 1), "Draw");
}

TEST_F(MatchEndTest, HitBetweenThePartiesRestartsTheQuietClock)
{
    Entity* victim = add_unit(&env, 7, 5, 5, 1);
    victim->durability = 1e6;  // takes hits, never falls
    Entity* s = shooter_at(victim);
    s->reload_time = 1e6;  // loaded only when the test says so, then one shot
    s->reload_timer = 0;
    match_start(&m, &env);
    EXPECT_EQ(run_for(50), MATCH_ON);
    EXPECT_EQ(env.party_hits, 0u);
    s->reload_timer = 2e6;
    EXPECT_EQ(run_for(80), MATCH_ON);
    EXPECT_EQ(env.party_hits, 1u);
    // The clock counts from the hit, near 50 s, not from the start.
    EXPECT_NEAR(m.quiet_time, 80, 0.5);
    EXPECT_EQ(run_for(39), MATCH_ON);
    EXPECT_EQ(run_for(2), MATCH_DRAW);
    EXPECT_NEAR(m.game_time, 170, 0.5);
}

TEST_F(MatchEndTest, OnlyHitsOnAnotherPartyAreCounted)
{
    Entity* friend_unit = add_unit(&env, 7, 5, 5, 0);
    Entity* enemy = add_unit(&env, 9, 5, 5, 1);
    // A shot of party 0 landing on its own unit, and one of party 1 landing on the same unit.
    for (int party : {0, 1}) {
        V3f at = friend_unit->pf;
        scale_to_view_f(&at);
        add_projectile(&env, PT_BULLET, at, at, 20, 0.01f, -1, party);
        gameenv_run(&env, kStep);
        EXPECT_EQ(env.party_hits, party == 0 ? 0u : 1u) << "shot of party " << party;
    }
    EXPECT_LT(friend_unit->health, 1.0f);
    EXPECT_EQ(enemy->health, 1.0f);
}

TEST_F(MatchEndTest, BothPartiesFallingInOneStepIsADraw)
{
    Entity* a = add_unit(&env, 5, 5, 5, 0);
    Entity* b = add_unit(&env, 6, 5, 5, 1);
    match_start(&m, &env);
    EXPECT_EQ(match_update(&m, &env, kStep), MATCH_ON);
    a->party = -1;  // as a wreck: nobody's
    b->party = -1;
    EXPECT_EQ(match_update(&m, &env, kStep), MATCH_DRAW);
    EXPECT_EQ(m.losses[0], 1);
    EXPECT_EQ(m.losses[1], 1);
}

TEST(MatchTime, MinutesAndPaddedSeconds)
{
    char buf[16];
    EXPECT_STREQ(match_format_time(0, buf, sizeof buf), "0:00");
    EXPECT_STREQ(match_format_time(65.9, buf, sizeof buf), "1:05");
    EXPECT_STREQ(match_format_time(600, buf, sizeof buf), "10:00");
    EXPECT_STREQ(match_format_time(-3, buf, sizeof buf), "0:00");
}

}  // namespace
