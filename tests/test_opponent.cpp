// The computer opponent and the charging baseline: they give orders only for their own party's
// living entities on targets that exist, on a schedule, the same orders for the same world and
// without touching the game's generator; they cope with unreachable enemies and with a party
// that has only buildings left.
#include "opponent.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

#include "battle_fixture.h"
#include "charge.h"
#include "matchend.h"
#include "newgame.h"
#include "random.h"
#include "world_fixture.h"
#include "worldhash.h"

namespace {

constexpr float kStep = 1.0f / 60;

struct Played {
    int steps_with_orders = 0;
    int orders = 0;
    int invalid = 0;
    int foreign = 0;
    MatchOutcome outcome = MATCH_ON;
    double seconds = 0;
};

// Plays `seconds` of the world with the opponent on `party` and no orders for the other side,
// checking every order before it is applied.
Played play_opponent(GameEnv* env, Opponent* o, float seconds)
{
    Played p;
    MatchState m;
    match_start(&m, env);
    for (int i = 0; i < (int)(seconds / kStep) && p.outcome == MATCH_ON; i++) {
        unsigned generator = myrand_state();
        int n = opponent_step(o, env, kStep);
        EXPECT_EQ(myrand_state(), generator) << "the opponent drew from the game's generator";
        p.steps_with_orders += n > 0;
        for (int k = 0; k < n; k++) {
            p.orders++;
            p.foreign += o->orders[k].party != o->party;
            p.invalid += !order_valid(env, &o->orders[k], nullptr, 0);
            order_apply(env, &o->orders[k]);
        }
        gameenv_run(env, kStep);
        p.outcome = match_update(&m, env, kStep);
    }
    p.seconds = m.game_time;
    return p;
}

// One step of the game with the opponent on o->party: its look's orders applied, the world run.
void play_step(GameEnv* env, Opponent* o)
{
    int n = opponent_step(o, env, kStep);
    for (int k = 0; k < n; k++)
        order_apply(env, &o->orders[k]);
    gameenv_run(env, kStep);
}

struct OpponentBattle : ::testing::Test {
    Opponent* o = new Opponent;
    ~OpponentBattle() override { delete o; }
};

TEST_F(OpponentBattle, GivesValidOrdersForItsOwnPartyAFewTimesASecond)
{
    for (int party : {0, 1}) {
        GameEnv* env = battle::make_battle(1765000003);
        opponent_init(o, party);
        Played p = play_opponent(env, o, 20);
        EXPECT_GT(p.orders, 0) << "party " << party;
        EXPECT_EQ(p.invalid, 0) << "party " << party;
        EXPECT_EQ(p.foreign, 0) << "party " << party;
        // Looks come five times a second of game time, and only a look gives orders.
        EXPECT_LE(p.steps_with_orders, (int)(p.seconds / OPPONENT_THINK_SECONDS) + 1);
        gameenv_free(env);
    }
}

TEST_F(OpponentBattle, SameWorldSameGame)
{
    u64 hashes[2];
    for (u64& h : hashes) {
        next_entity_uid = 1;  // the uid counter is part of the world
        GameEnv* env = battle::make_battle(1765000001);
        opponent_init(o, 1);
        play_opponent(env, o, 30);
        h = world_hash(env);
        gameenv_free(env);
    }
    EXPECT_EQ(hashes[0], hashes[1]);
}

TEST_F(OpponentBattle, BeatsAnIdleArmyItCanReach)
{
    // A world where both armies stand on the same ground: the opponent destroys everything.
    GameEnv* env = battle::make_battle(1765000003);
    opponent_init(o, 1);
    Played p = play_opponent(env, o, 300);
    EXPECT_EQ(p.outcome, MATCH_WON);
    EXPECT_EQ(match_party_count(env, 0), 0);
    gameenv_free(env);
}

struct OpponentSmallWorld : ::testing::Test {
    GameEnv env;
    Opponent o;
    void SetUp() override { make_flat_world(&env, 40, 20, 8, 2); }
    void TearDown() override { gameenv_free(&env); }

    Entity* unit(int x, int y, int party, bool floats = false)
    {
        Entity* e = add_unit(&env, x, y, 3, party);
        e->can_attack = true;
        e->peripheral = PT_TURRET;
        e->base_graphflags = GF_WALK | (floats ? GF_ON_WATER : 0);
        return e;
    }
    // Makes `e` a building where it stands: it no longer moves.
    Entity* as_building(Entity* e)
    {
        e->type = ET_BUILDING;
        e->base_graphflags = 0;
        occupancy_invalidate(&env);
        return e;
    }
    // A one-cell building of `party` that fires: a turret tower.
    Entity* tower(int x, int y, int party) { return as_building(unit(x, y, party)); }
    // A missile of `from`'s party on its way to `target`, as a shot leaves it.
    void missile(const Entity* from, const Entity* target)
    {
        V3f pos = from->pf, dest = target->pf;
        scale_to_view_f(&pos);
        scale_to_view_f(&dest);
        add_projectile(&env, PT_MISSILE, pos, dest, 1.5f, 1, (int)target->uid, from->party);
    }
    // Sets `e` travelling towards (x, y), as an enemy coming on.
    void set_out(Entity* e, int x, int y)
    {
        Target ahead = coords_target(x, y, 3);
        entity_start_travel(e, &ahead, 1);
        if (e->task.type != ETT_TRAVEL)
            gameenv_run(&env, kStep);
        ASSERT_EQ(e->task.type, ETT_TRAVEL);
    }
};

TEST_F(OpponentSmallWorld, SendsNobodyWhereNoRouteLeads)
{
    // A trench of air down to the bottom splits the floor: walkers and floaters alike cannot
    // cross (there is no water to float on).
    for (int y = 0; y < 20; y++)
        for (int z = 0; z <= 2; z++)
            set_material(&env, 20, y, z, MATERIAL_AIR);
    Entity* mine = unit(5, 10, 1);
    Entity* theirs = unit(35, 10, 0);
    opponent_init(&o, 1);
    Played p = play_opponent(&env, &o, 10);
    EXPECT_EQ(p.orders, 0);
    EXPECT_TRUE(v3i_eq(&mine->p0, &mine->p1));
    EXPECT_EQ(mine->p0.x, 5);
    EXPECT_EQ(theirs->health, 1.0f);

    // Water in the trench: a floating unit can cross and is sent; the walker stays.
    for (int y = 0; y < 20; y++)
        set_material(&env, 20, y, 2, MATERIAL_WATER);
    Entity* floater = unit(5, 12, 1, true);
    opponent_init(&o, 1);
    p = play_opponent(&env, &o, 5);
    EXPECT_GT(p.orders, 0);
    EXPECT_EQ(p.invalid, 0);
    EXPECT_GT(floater->p0.x, 5) << "the floating unit did not set out";
    EXPECT_EQ(mine->p0.x, 5);
}

TEST_F(OpponentSmallWorld, SendsTheUnitsThatCanGoWhenTheFirstCannot)
{
    // The first of our walkers in list order stands in a pit walled two cells high; the one
    // beside the pit can reach the enemy and is sent, the one in the pit is not.
    Entity* free_one = unit(5, 5, 1);
    for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++)
            if (dx || dy)
                for (int z = 3; z <= 4; z++)
                    set_material(&env, 5 + dx, 10 + dy, z, MATERIAL_STONE);
    Entity* in_pit = unit(5, 10, 1);
    ASSERT_EQ(env.entities.lh_first, in_pit);
    Entity* theirs = unit(35, 10, 0);
    opponent_init(&o, 1);
    Played p = play_opponent(&env, &o, 5);
    EXPECT_EQ(p.invalid, 0);
    EXPECT_GT(free_one->p0.x, 5) << "the unit that can go was left idle";
    EXPECT_EQ(in_pit->p0.x, 5);
    (void)theirs;
}

TEST_F(OpponentSmallWorld, FastUnitsStopWaitingForSlowOnesThatNeverCome)
{
    // The missile unit is held back for the turret unit to arrive first, but the turret unit
    // cannot move: once nothing has been hit for a while the missile unit goes on its own.
    Entity* stuck = unit(5, 10, 1);
    stuck->speed = stuck->speed_uphill = 0;
    Entity* fast = unit(5, 12, 1, true);
    make_missile_unit(fast);
    Entity* theirs = unit(30, 10, 0);
    theirs->reload_time = 1e6f;  // it never fires back
    opponent_init(&o, 1);
    Played p = play_opponent(&env, &o, 40);
    EXPECT_EQ(p.invalid, 0);
    EXPECT_LT(theirs->health, 1.0f) << "the missile unit waited for ever";
    EXPECT_EQ(stuck->p0.x, 5);
}

TEST_F(OpponentSmallWorld, AMeetingIsNotStartedAfreshByABrushWithTheEnemy)
{
    // Two units of ours too far apart, which cannot move, so they never meet. An enemy comes
    // into contact for half a second every two seconds: brushes, not a fight. The meeting's
    // time limit still runs out, and the army goes for the enemy.
    for (Entity* e : {unit(5, 4, 1), unit(5, 16, 1)})
        e->speed = e->speed_uphill = 0;
    Entity* far = unit(35, 10, 0);
    Entity* brush = unit(35, 18, 0);
    for (Entity* e : {far, brush}) {
        e->reload_time = 1e6f;  // they never fire back
        e->durability = 1e6f;
    }
    opponent_init(&o, 1);
    bool met = false;
    for (int i = 0; i < 16 * 60 && !met; i++) {
        bool in_contact = std::fmod(i * kStep, 2.0) >= 1.5;
        V3i at = in_contact ? V3i{9, 4, 3} : V3i{35, 18, 3};
        if (!v3i_eq(&at, &brush->p0)) {
            entity_set_pos(brush, &at);
            occupancy_invalidate(&env);
        }
        play_step(&env, &o);
        met = o.gathered;
    }
    EXPECT_TRUE(met) << "every brush started the meeting afresh";
}

TEST_F(OpponentSmallWorld, SendsAUnitRoundABuildingOfOursThatHoldsItUp)
{
    // Every shortest way into range of the enemy ends inside our garage. The unit's own route
    // search does not see buildings and the garage never makes room, so on its own the unit
    // waits there for ever; sent a few cells round, it gets into range and fires.
    Entity* mine = unit(10, 10, 1);
    Entity* garage = unit(11, 10, 1);
    garage->can_attack = false;
    v3i_set_xyz(&garage->building_size, 2, 2, 1);
    as_building(garage);
    unit(16, 10, 0)->reload_time = 1e6f;  // it never fires back
    opponent_init(&o, 1);
    Played p = play_opponent(&env, &o, 30);
    EXPECT_EQ(p.invalid, 0);
    EXPECT_EQ(p.outcome, MATCH_WON) << "the unit stood behind the garage for ever, at " << mine->p0.x
                                    << "," << mine->p0.y;
}

TEST_F(OpponentSmallWorld, GivesUpADetourWhoseCellAFriendHolds)
{
    // Our unit was sent round what held it up, to a cell at the closed end of a lane that a
    // friend has since taken to fire from. The friend makes no room, and no way leads round it,
    // so the detour is never reached; the unit must get back to the fight rather than stand in
    // the lane for good.
    for (int x = 8; x <= 13; x++)  // a lane one cell wide, walled two cells high, closed at x = 8
        for (int z = 3; z <= 4; z++) {
            set_material(&env, x, 9, z, MATERIAL_STONE);
            set_material(&env, x, 11, z, MATERIAL_STONE);
            set_material(&env, 8, 10, z, MATERIAL_STONE);
        }
    Entity* theirs = unit(20, 10, 0);
    Entity* behind = unit(6, 10, 0);  // what the friend fires at, over the lane's end
    for (Entity* e : {theirs, behind}) {
        e->reload_time = 1e6f;  // they never fire back
        e->durability = 1e6f;
    }
    Entity* friend_there = unit(10, 10, 1);
    Target at_behind = entity_target(behind);
    entity_start_attack(friend_there, &at_behind);
    Entity* mine = unit(12, 10, 1);
    Target detour = coords_target(10, 10, 3);
    entity_start_travel(mine, &detour, 1);
    opponent_init(&o, 1);
    o.standing_count = 1;
    o.standing[0] = {mine->uid, mine->p0, 0, detour.p, true};
    bool came = false;
    for (int i = 0; i < 30 * 60 && !came; i++) {
        play_step(&env, &o);
        came = v3i_distance(&mine->p0, &theirs->p0) <= mine->shoot_range ||
               v3i_distance(&mine->p0, &behind->p0) <= mine->shoot_range;
    }
    EXPECT_TRUE(came) << "it stood on its way at " << mine->p0.x << "," << mine->p0.y;
}

TEST_F(OpponentSmallWorld, OnlyBuildingsLeftGivesNoOrders)
{
    Entity* b = unit(5, 10, 1);
    b->type = ET_BUILDING;
    b->base_graphflags = 0;
    occupancy_invalidate(&env);
    unit(30, 10, 0);
    opponent_init(&o, 1);
    Played p = play_opponent(&env, &o, 5);
    EXPECT_EQ(p.orders, 0);
    EXPECT_EQ(p.outcome, MATCH_ON);
}

TEST_F(OpponentSmallWorld, FocusesFireOnWhatItCanDestroy)
{
    // Two enemies in range: a sturdy one and a damaged one. The damaged one, worth more per
    // hit, gets every shooter it needs first.
    Entity* a = unit(10, 10, 1);
    Entity* b = unit(10, 11, 1);
    Entity* sturdy = unit(13, 10, 0);
    Entity* damaged = unit(13, 11, 0);
    sturdy->durability = 20;
    damaged->health = 0.1f;  // one hit of power 1 destroys it
    sturdy->reload_time = damaged->reload_time = 1e6;  // they never fire back
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    int on_damaged = 0, on_sturdy = 0;
    for (int k = 0; k < o.order_count; k++) {
        ASSERT_EQ(o.orders[k].kind, ORDER_ATTACK);
        int n = o.orders[k].uid_count;
        (o.orders[k].target_uid == damaged->uid ? on_damaged : on_sturdy) += n;
    }
    EXPECT_EQ(on_damaged, 1) << "one shot is enough for it";
    EXPECT_EQ(on_sturdy, 1) << "the other shooter is not left idle";
    (void)a;
    (void)b;
}

TEST_F(OpponentSmallWorld, CountsItsMissilesOnTheirWayAsDamageDone)
{
    // As above, but missiles fly at the damaged one. The enemy's own changes nothing; once one
    // of ours is among them (it follows its target, so it hits), that one needs no shooter and
    // both go for the sturdy one.
    Entity* mine = unit(10, 10, 1);
    unit(10, 11, 1);
    Entity* sturdy = unit(13, 10, 0);
    Entity* damaged = unit(13, 11, 0);
    sturdy->durability = 20;
    damaged->health = 0.1f;
    sturdy->reload_time = damaged->reload_time = 1e6;
    for (int party : {0, 1}) {
        missile(party == 0 ? sturdy : mine, damaged);
        opponent_init(&o, 1);
        ASSERT_GT(opponent_step(&o, &env, kStep), 0);
        if (party == 0) {
            EXPECT_EQ(o.order_count, 2) << "a shooter each, as without the enemy's missile";
            continue;
        }
        ASSERT_EQ(o.order_count, 1);
        EXPECT_EQ(o.orders[0].target_uid, sturdy->uid);
        EXPECT_EQ(o.orders[0].uid_count, 2);
    }
}

// Whether the orders of the last look include one of this kind (on this target, for attacks).
bool gave(const Opponent& o, OrderKind kind, u32 target_uid = 0)
{
    for (int k = 0; k < o.order_count; k++)
        if (o.orders[k].kind == kind && (kind != ORDER_ATTACK || o.orders[k].target_uid == target_uid))
            return true;
    return false;
}

TEST_F(OpponentSmallWorld, PullsBackOnlyFromAnEnemyThatComesOn)
{
    // One unit against three, a turret tower of ours far behind. Enemies standing their ground
    // cannot follow a retreat, so it fights; once one of them advances, it falls back.
    Entity* mine = unit(10, 10, 1);
    Entity* tower = this->tower(2, 10, 1);
    Entity* near = unit(13, 10, 0);
    Entity* left = unit(13, 9, 0);
    Entity* right = unit(13, 11, 0);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    EXPECT_FALSE(gave(o, ORDER_TRAVEL)) << "it ran from enemies that do not move";
    EXPECT_TRUE(gave(o, ORDER_ATTACK, near->uid) || gave(o, ORDER_ATTACK, left->uid) ||
                gave(o, ORDER_ATTACK, right->uid));

    set_out(near, 6, 10);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    ASSERT_EQ(o.orders[0].kind, ORDER_TRAVEL);
    EXPECT_TRUE(v3i_eq(&o.orders[0].cell, &tower->p0));
    EXPECT_EQ(o.orders[0].uids[0], mine->uid);

    // The two that stood are turret towers, and a second unit of ours has come: the advancing
    // unit is weaker than ours, and towers never follow a retreat, so it fights on. (Falling
    // back from towers too sent armies that had met the enemy's towers back across the map,
    // through the enemy army on its way to our buildings.)
    for (Entity* t : {left, right}) {
        as_building(t);
        t->durability = 15;
        t->projectile_power = 2;
    }
    unit(10, 11, 1);
    occupancy_invalidate(&env);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    EXPECT_FALSE(gave(o, ORDER_TRAVEL)) << "it fell back from towers that cannot follow";
}

TEST_F(OpponentSmallWorld, DoesNotFallBackThroughTheEnemy)
{
    // One unit against three that come on, as above, but our tower lies beyond them: the way
    // back would lead through them, so it fights where it stands.
    unit(20, 10, 1);
    tower(2, 10, 1);
    Entity* near = unit(16, 10, 0);
    unit(16, 9, 0);
    unit(16, 11, 0);
    set_out(near, 25, 10);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    EXPECT_FALSE(gave(o, ORDER_TRAVEL)) << "it fell back through the enemy";
}

TEST_F(OpponentSmallWorld, MissileUnitsStepOutOfRangeWhileTheyReload)
{
    // A missile unit that has just fired its pair steps back out of the enemy's range; once
    // loaded again it goes back in on the enemy.
    Entity* mine = unit(10, 10, 1, true);
    make_missile_unit(mine);
    Entity* theirs = unit(13, 10, 0);
    mine->first_of_double_shot = true;
    mine->reload_timer = 0;
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    ASSERT_TRUE(gave(o, ORDER_TRAVEL));
    EXPECT_FALSE(gave(o, ORDER_ATTACK, theirs->uid));
    EXPECT_GT(v3i_distance(&o.orders[0].cell, &theirs->p0), theirs->shoot_range)
        << "it stepped back to where it can still be shot";

    mine->reload_timer = mine->reload_time;
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    EXPECT_TRUE(gave(o, ORDER_ATTACK, theirs->uid));
    EXPECT_FALSE(gave(o, ORDER_TRAVEL));

    // Reloading again, but worn, with an enemy missile on its way that will destroy it: no step
    // outruns a missile that follows, so it stays on the enemy.
    mine->reload_timer = 0;
    mine->health = 0.4f;
    missile(theirs, mine);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    EXPECT_TRUE(gave(o, ORDER_ATTACK, theirs->uid));
    EXPECT_FALSE(gave(o, ORDER_TRAVEL));
}

// The order of this kind among the last look's that names `e`; null when none does.
const Order* order_for(const Opponent& o, const Entity* e, OrderKind kind)
{
    for (int k = 0; k < o.order_count; k++)
        for (int i = 0; i < o.orders[k].uid_count; i++)
            if (o.orders[k].kind == kind && o.orders[k].uids[i] == e->uid)
                return &o.orders[k];
    return nullptr;
}

TEST_F(OpponentSmallWorld, MissileUnitsStepBackBeyondEveryGunThatMayFire)
{
    // Straight away from the enemy it fired at lies the range of a second gun: it steps back
    // where neither reaches.
    Entity* mine = unit(10, 10, 1, true);
    make_missile_unit(mine);
    mine->first_of_double_shot = true;
    mine->reload_timer = 0;
    Entity* theirs = unit(13, 10, 0);
    Entity* second = unit(5, 13, 0);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    const Order* back = order_for(o, mine, ORDER_TRAVEL);
    ASSERT_NE(back, nullptr);
    V3i cell = back->cell;
    EXPECT_GT(v3i_distance(&cell, &theirs->p0), theirs->shoot_range);
    EXPECT_GT(v3i_distance(&cell, &second->p0), second->shoot_range)
        << "it stepped back into the second gun's range, to " << cell.x << "," << cell.y;

    // A gun that holds on another unit of ours in its range does not turn on this one: it is
    // not fled. Once it aims at this one, it is.
    second->party = -1;  // out of the way: a wreck is nobody's gun
    Entity* other = unit(13, 13, 1);
    theirs->shoot_target = entity_target(other);
    opponent_init(&o, 1);
    opponent_step(&o, &env, kStep);
    EXPECT_EQ(order_for(o, mine, ORDER_TRAVEL), nullptr) << "it fled a gun that aims at another unit of ours";
    theirs->shoot_target = entity_target(mine);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    EXPECT_NE(order_for(o, mine, ORDER_TRAVEL), nullptr);
}

TEST_F(OpponentSmallWorld, LeavesABuildingForAnEnemyUnitOfTheFight)
{
    // Our turret unit is on its way to an enemy building that another of ours is already at;
    // an enemy unit of the fight stands much nearer: it turns on the unit. A building stays
    // where it is, and the way to it may lead far round.
    Entity* building = as_building(unit(30, 10, 0));
    unit(27, 10, 1);  // at the building: the building is part of the fight
    Entity* mine = unit(10, 10, 1);
    Target far = entity_target(building);
    entity_start_attack(mine, &far);
    for (int i = 0; i < 3 && mine->task.type != ETT_TRAVEL; i++)
        gameenv_run(&env, kStep);  // the attack hands over to its approach
    ASSERT_EQ(mine->task.type, ETT_TRAVEL);
    Entity* near = unit(10, 15, 0);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    const Order* attack = order_for(o, mine, ORDER_ATTACK);
    EXPECT_TRUE(attack && attack->target_uid == near->uid) << "it kept walking to the building";
}

TEST_F(OpponentSmallWorld, GoesForTheLeastGuardedEnemy)
{
    // Out of contact, a lone enemy is worth a slightly longer walk than one standing with two
    // armed neighbours.
    unit(5, 10, 1);
    Entity* guarded = unit(19, 16, 0);
    unit(22, 16, 0);
    unit(22, 17, 0);
    Entity* lone = unit(20, 4, 0);
    opponent_init(&o, 1);
    ASSERT_GT(opponent_step(&o, &env, kStep), 0);
    EXPECT_TRUE(gave(o, ORDER_ATTACK, lone->uid));
    EXPECT_FALSE(gave(o, ORDER_ATTACK, guarded->uid));
}

TEST(Charge, EveryUnitAttacksItsNearestEnemyEveryFewSeconds)
{
    GameEnv env;
    make_flat_world(&env, 40, 20, 8, 2);
    Entity* mine = add_unit(&env, 5, 10, 3, 0);
    mine->can_attack = true;
    Entity* near = add_unit(&env, 12, 10, 3, 1);
    add_unit(&env, 30, 10, 3, 1);
    Charge* c = new Charge;
    charge_init(c, 0);
    ASSERT_EQ(charge_step(c, &env, kStep), 1);
    EXPECT_EQ(c->orders[0].target_uid, near->uid);
    EXPECT_EQ(c->orders[0].uids[0], mine->uid);
    EXPECT_TRUE(order_valid(&env, &c->orders[0], nullptr, 0));
    order_apply(&env, &c->orders[0]);
    int rounds = 0;
    for (int i = 0; i < (int)(CHARGE_PERIOD_SECONDS * 2 / kStep); i++)
        rounds += charge_step(c, &env, kStep) > 0;
    EXPECT_EQ(rounds, 0) << "a unit already on its nearest enemy is not ordered again";
    delete c;
    gameenv_free(&env);
}

// A flat world with a walled yard from (8,8) to (52,52), two cells high; its only gate is in
// the west wall, facing away from the enemies the tests put east of it.
void make_walled_yard(GameEnv* env)
{
    make_flat_world(env, 64, 64, 8, 2);
    for (int i = 8; i <= 52; i++)
        for (int z = 3; z <= 4; z++) {
            set_material(env, i, 8, z, MATERIAL_STONE);   // south wall
            set_material(env, i, 52, z, MATERIAL_STONE);  // north wall
            set_material(env, 52, i, z, MATERIAL_STONE);  // east wall, towards the enemy
            if (i < 28 || i > 32)
                set_material(env, 8, i, z, MATERIAL_STONE);  // west wall with its gate
        }
}

TEST(OpponentLongRoute, LeadsAUnitRoundWhatItsOwnSearchCannotFind)
{
    // Our unit stands deep in a walled yard whose only gate faces away from the enemy: a
    // unit's own route search gives up inside the yard, so the opponent leads it out and round
    // in stages, and it gets to fire.
    GameEnv env;
    make_walled_yard(&env);
    Entity* mine = add_unit(&env, 48, 30, 3, 1);
    mine->can_attack = true;
    mine->peripheral = PT_TURRET;
    mine->speed = mine->speed_uphill = 3;
    add_unit(&env, 60, 30, 3, 0)->reload_time = 1e6f;  // it never fires back
    Opponent* o = new Opponent;
    opponent_init(o, 1);
    Played p = play_opponent(&env, o, 120);
    EXPECT_EQ(p.invalid, 0);
    EXPECT_EQ(p.outcome, MATCH_WON) << "the unit never got round to the enemy";
    delete o;
    gameenv_free(&env);
}

TEST(OpponentLongRoute, LeadsMoreUnitsThanItKeepsRoutesFor)
{
    // The walled yard again, with more units in it than the opponent keeps long routes: each
    // asks from a cell of its own, so the routes of the first are replaced before they are out.
    // A unit whose route is gone follows one of another's that passes it, and every unit gets
    // into range of the enemy (which never falls, so all of them have to come).
    GameEnv env;
    make_walled_yard(&env);
    constexpr int kUnits = OPPONENT_ROUTES + 4;
    Entity* mine[kUnits];
    for (int i = 0; i < kUnits; i++) {
        mine[i] = add_unit(&env, 48 - i % 3, 20 + 2 * (i / 3), 3, 1);
        mine[i]->can_attack = true;
        mine[i]->peripheral = PT_TURRET;
        mine[i]->speed = mine[i]->speed_uphill = 3;
    }
    Entity* theirs = add_unit(&env, 60, 30, 3, 0);
    theirs->reload_time = 1e6f;
    theirs->durability = 1e6f;
    Opponent* o = new Opponent;
    opponent_init(o, 1);
    bool came[kUnits] = {};
    for (int step = 0; step < 180 * 60; step++) {
        int n = opponent_step(o, &env, kStep);
        for (int k = 0; k < n; k++)
            order_apply(&env, &o->orders[k]);
        gameenv_run(&env, kStep);
        for (int i = 0; i < kUnits; i++)
            came[i] = came[i] || v3i_distance(&mine[i]->p0, &theirs->p0) <= mine[i]->shoot_range;
    }
    for (int i = 0; i < kUnits; i++)
        EXPECT_TRUE(came[i]) << "unit " << i << " never got into range; it is at " << mine[i]->p0.x << ","
                             << mine[i]->p0.y;
    delete o;
    gameenv_free(&env);
}

}  // namespace

