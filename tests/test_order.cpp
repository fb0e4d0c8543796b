// The order record and the world hash: what applying an order may and may not do, what makes
// a record invalid, and what the hash notices.
#include "order.h"

#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "orderwire.h"
#include "play_world.h"
#include "random.h"
#include "worldhash.h"

namespace {

class OrderTest : public PlayWorldTest {
protected:
    void SetUp() override
    {
        PlayWorldTest::SetUp();
        a = add_unit(10, 10, 2, 0);
        building = add_unit(12, 10, 2, 0);
        building->type = ET_BUILDING;
        building->can_attack = true;
        enemy = add_unit(20, 10, 2, 1);
        locked = add_unit(14, 10, 2, 0);
        locked->task_locked = true;
        occupancy_invalidate(&main_gameenv);
    }
    Order travel(std::initializer_list<u32> uids, int party = 0)
    {
        Order o;
        order_init(&o, ORDER_TRAVEL, party);
        o.cell = V3i{30, 30, 2};
        for (u32 uid : uids)
            order_add_uid(&o, uid);
        o.group_size = o.uid_count;
        return o;
    }
    std::string why(const Order& o)
    {
        char buf[160] = "";
        bool ok = order_valid(&main_gameenv, &o, buf, sizeof buf);
        return ok ? "valid" : buf;
    }

public:
    Entity *a, *building, *enemy, *locked;
};

TEST_F(OrderTest, ApplyCommandsOnlyLivingUnitsOfThePartyThatCanDoIt)
{
    Order o = travel({enemy->uid, building->uid, 9999, locked->uid, a->uid});
    EXPECT_EQ(order_apply(&main_gameenv, &o), 1);
    ASSERT_EQ(a->task.type, ETT_TRAVEL);
    EXPECT_EQ(a->task.travel.group_size, 5);
    EXPECT_EQ(enemy->task.type, ETT_NONE);
    EXPECT_EQ(building->task.type, ETT_NONE);
    EXPECT_EQ(locked->task.type, ETT_NONE);

    // An attack is taken by whatever can fire, buildings too, and not by what cannot.
    a->can_attack = false;
    Order at;
    order_init(&at, ORDER_ATTACK, 0);
    at.target_uid = enemy->uid;
    order_add_uid(&at, a->uid);
    order_add_uid(&at, building->uid);
    EXPECT_EQ(order_apply(&main_gameenv, &at), 1);
    EXPECT_EQ(a->task.type, ETT_TRAVEL);
    ASSERT_EQ(building->task.type, ETT_ATTACK);
    EXPECT_EQ(building->task.attack.target.uid, (int)enemy->uid);

    // Records with nothing to command or a kind nobody knows change nothing.
    Order empty = travel({});
    EXPECT_EQ(order_apply(&main_gameenv, &empty), 0);
    Order odd = travel({a->uid});
    odd.kind = (OrderKind)7;
    EXPECT_EQ(order_apply(&main_gameenv, &odd), 0);
    EXPECT_EQ(a->task.travel.group_size, 5);
}

TEST_F(OrderTest, ValidityNamesTheFirstFault)
{
    struct Case {
        const char* what;
        void (*spoil)(Order*, OrderTest*);
        const char* expected;  // a part of the reason; "valid" for none
    };
    const Case cases[] = {
        {"as a click gives it", [](Order*, OrderTest*) {}, "valid"},
        {"unknown kind", [](Order* o, OrderTest*) { o->kind = (OrderKind)3; }, "unknown order kind 3"},
        {"no such party", [](Order* o, OrderTest*) { o->party = 2; }, "party 2"},
        {"no uids", [](Order* o, OrderTest*) { o->uid_count = 0; }, "for 0 entities"},
        {"too many uids", [](Order* o, OrderTest*) { o->uid_count = ORDER_MAX_UIDS + 1; }, "entities"},
        {"a uid twice", [](Order* o, OrderTest* t) { order_add_uid(o, t->a->uid); o->group_size++; },
         "twice"},
        {"a uid nobody has", [](Order* o, OrderTest*) { o->uids[0] = 4242; }, "uid 4242, which does not exist"},
        {"uid 0", [](Order* o, OrderTest*) { o->uids[0] = 0; }, "uid 0, which does not exist"},
        {"the other party's unit", [](Order* o, OrderTest* t) { o->uids[0] = t->enemy->uid; },
         "not of party 0"},
        {"a building sent travelling", [](Order* o, OrderTest* t) { o->uids[0] = t->building->uid; },
         "cannot travel"},
        {"a cell outside the map", [](Order* o, OrderTest*) { o->cell.z = 16; }, "outside the map"},
        {"a group smaller than its units", [](Order* o, OrderTest*) { o->group_size = 0; }, "group size 0"},
        {"an absurd group", [](Order* o, OrderTest*) { o->group_size = 1 << 30; }, "group size"},
        {"attack by what cannot fire",
         [](Order* o, OrderTest* t) {
             o->kind = ORDER_ATTACK;
             o->target_uid = t->enemy->uid;
             t->a->can_attack = false;
         },
         "cannot fire"},
        {"attack on nothing",
         [](Order* o, OrderTest*) {
             o->kind = ORDER_ATTACK;
             o->target_uid = 77;
         },
         "attack order on uid 77"},
    };
    for (const Case& c : cases) {
        a->can_attack = true;
        Order o = travel({a->uid});
        c.spoil(&o, this);
        std::string got = why(o);
        EXPECT_NE(got.find(c.expected), std::string::npos) << c.what << ": " << got;
    }
}

TEST_F(OrderTest, UnitsLostSinceTheClickAreLeftOutOfAnOrderATurnBrings)
{
    // Between a click in a network game and the step its turn comes back at, one of the two
    // units is destroyed (its wreck is nobody's): the order still goes to the other.
    Entity* b = add_unit(11, 11, 2, 0);
    Order sent = travel({b->uid, a->uid});
    u8 bytes[ORDERWIRE_MAX];
    size_t n = order_to_bytes(&sent, bytes, sizeof bytes);
    b->party = -1;
    EXPECT_EQ(why(sent), "order names uid " + std::to_string(b->uid) + ", which is not of party 0");
    Order got;
    ASSERT_TRUE(order_from_turn(&main_gameenv, 0, bytes, n, &got));
    ASSERT_EQ(got.uid_count, 1);
    EXPECT_EQ(got.uids[0], a->uid);
    EXPECT_EQ(got.group_size, 2) << "the group is the selection the click was given with";

    // Nothing is left to apply when every unit is lost, when the turn says another party sent
    // it, or when what is left is still no order a click could give.
    EXPECT_FALSE(order_from_turn(&main_gameenv, 1, bytes, n, &got));
    sent.cell.z = 16;  // outside the map
    n = order_to_bytes(&sent, bytes, sizeof bytes);
    EXPECT_FALSE(order_from_turn(&main_gameenv, 0, bytes, n, &got));
    a->party = -1;
    Order gone = travel({b->uid, a->uid});
    n = order_to_bytes(&gone, bytes, sizeof bytes);
    EXPECT_FALSE(order_from_turn(&main_gameenv, 0, bytes, n, &got));
}

TEST_F(OrderTest, WorldHashFollowsTheWorldButNotThePlayer)
{
    mysrand(77);
    u64 h0 = world_hash(&main_gameenv);
    EXPECT_EQ(world_hash(&main_gameenv), h0);

    // The player's own: selection, camera.
    a->selected = true;
    main_cam_pos.x += 3;
    main_cam_yaw += 1;
    EXPECT_EQ(world_hash(&main_gameenv), h0);

    auto changes = [&](const char* what, auto change, auto undo) {
        change();
        EXPECT_NE(world_hash(&main_gameenv), h0) << what;
        undo();
        EXPECT_EQ(world_hash(&main_gameenv), h0) << what << " undone";
    };
    float x = a->pf.x;
    changes("a position's last bit", [&] { a->pf.x = std::nextafter(x, 100.0f); }, [&] { a->pf.x = x; });
    changes("health", [&] { enemy->health = 0.5f; }, [&] { enemy->health = 1.0f; });
    changes("the generator", [] { myrand(); }, [] { mysrand(77); });
    changes("the uid counter", [] { next_entity_uid++; }, [] { next_entity_uid--; });
    changes("a task", [&] { entitytask_init_idle(&a->task); }, [&] { a->task.type = ETT_NONE; });
    changes("a task's timer",
            [&] {
                entitytask_init_idle(&a->task);
                a->task.idle.check_timer = 0.25f;
            },
            [&] { a->task.type = ETT_NONE; });
    changes("a queued task",
            [&] {
                entitytask_init_idle(&a->task_queue[0]);
                a->task_queue_len = 1;
            },
            [&] { a->task_queue_len = 0; });
    Projectile pr;
    std::memset(&pr, 0, sizeof pr);
    pr.target_uid = -1;
    changes("a projectile", [&] { list_insert_head(&main_gameenv.projectiles, &pr); },
            [&] { list_init(&main_gameenv.projectiles); });
    // The list order is part of the world: the update walks it.
    changes("the order of the list",
            [&] {
                gameenv_remove_entity(&main_gameenv, a);
                gameenv_add_entity(&main_gameenv, a);
            },
            [&] {
                list_init(&main_gameenv.entities);
                for (Entity* e : {a, building, enemy, locked})
                    gameenv_add_entity(&main_gameenv, e);
            });
}

}  // namespace
