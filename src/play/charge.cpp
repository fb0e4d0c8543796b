#include "charge.h"

#include <cstring>

#include "entitytask.h"

namespace {

// The nearest entity of another party to e, the list order breaking ties; null when none.
const Entity* nearest_enemy(const GameEnv* env, const Entity* e)
{
    const Entity* best = nullptr;
    float best_d = 0;
    for (const Entity* o = env->entities.lh_first; o; o = o->entries.le_next) {
        if (o->party < 0 || o->party == e->party)
            continue;
        float d = v3i_distance(&o->p0, &e->p0);
        if (!best || d < best_d) {
            best = o;
            best_d = d;
        }
    }
    return best;
}

bool attacks(const Entity* e, u32 uid)
{
    const EntityTask* t = &e->task;
    if (t->type == ETT_TRAVEL && e->task_queue_len > 0)
        t = &e->task_queue[0];
    return t->type == ETT_ATTACK && t->attack.target.type == TARGET_ENTITY &&
           (u32)t->attack.target.uid == uid;
}

// The round's order on target_uid, made when it is not there yet; null when the round is full.
Order* order_on(Charge* c, u32 target_uid)
{
    for (int i = 0; i < c->order_count; i++)
        if (c->orders[i].target_uid == target_uid)
            return &c->orders[i];
    if (c->order_count >= CHARGE_MAX_ORDERS)
        return nullptr;
    Order* order = &c->orders[c->order_count++];
    order_init(order, ORDER_ATTACK, c->party);
    order->target_uid = target_uid;
    return order;
}

}  // namespace

void charge_init(Charge* c, int party)
{
    std::memset(c, 0, sizeof(*c));
    c->party = party;
}

int charge_step(Charge* c, const GameEnv* env, float dtime)
{
    c->order_count = 0;
    if (c->game_time >= c->next_round) {
        c->next_round = c->game_time + CHARGE_PERIOD_SECONDS;
        // Units in list order, so every order's uids are in list order too.
        for (const Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
            if (e->party != c->party || e->type != ET_UNIT || !e->can_attack)
                continue;
            const Entity* target = nearest_enemy(env, e);
            if (!target || attacks(e, target->uid))
                continue;
            if (Order* order = order_on(c, target->uid))
                order_add_uid(order, e->uid);
        }
    }
    c->game_time += dtime;
    return c->order_count;
}
