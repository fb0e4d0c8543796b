#include "order.h"

#include <cstdio>
#include <cstring>

#include "entitytask.h"

namespace {

bool in_order(const Order* order, u32 uid)
{
    for (int i = 0; i < order->uid_count; i++)
        if (order->uids[i] == uid)
            return true;
    return false;
}

const Entity* entity_with_uid(const GameEnv* env, u32 uid)
{
    for (const Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->uid == uid)
            return e;
    return nullptr;
}

// Whether the entity may take an order of this kind at all, as the click handlers decide:
// only units travel, and only what can fire attacks.
bool able(const Entity* e, OrderKind kind)
{
    return kind == ORDER_TRAVEL ? e->type == ET_UNIT : e->can_attack;
}

bool fail(char* why, size_t why_size, const char* fmt, unsigned a = 0, unsigned b = 0)
{
    if (why && why_size > 0)
        std::snprintf(why, why_size, fmt, a, b);
    return false;
}

}  // namespace

void order_init(Order* order, OrderKind kind, int party)
{
    order->kind = kind;
    order->party = party;
    order->group_size = 0;
    order->cell = V3i{0, 0, 0};
    order->target_uid = 0;
    order->uid_count = 0;
}

bool order_add_uid(Order* order, u32 uid)
{
    if (order->uid_count >= ORDER_MAX_UIDS)
        return false;
    order->uids[order->uid_count++] = uid;
    return true;
}

bool order_valid(const GameEnv* env, const Order* order, char* why, size_t why_size)
{
    if (order->kind != ORDER_TRAVEL && order->kind != ORDER_ATTACK)
        return fail(why, why_size, "unknown order kind %u", (unsigned)order->kind);
    if (order->party != 0 && order->party != 1)
        return fail(why, why_size, "order for party %u, which does not exist", (unsigned)order->party);
    if (order->uid_count < 1 || order->uid_count > ORDER_MAX_UIDS)
        return fail(why, why_size, "order for %u entities (1 to %u allowed)", (unsigned)order->uid_count,
                    (unsigned)ORDER_MAX_UIDS);
    for (int i = 0; i < order->uid_count; i++) {
        u32 uid = order->uids[i];
        for (int j = 0; j < i; j++)
            if (order->uids[j] == uid)
                return fail(why, why_size, "order names uid %u twice", uid);
        const Entity* e = entity_with_uid(env, uid);
        if (!e || uid == 0)
            return fail(why, why_size, "order names uid %u, which does not exist", uid);
        if (e->party != order->party)
            return fail(why, why_size, "order names uid %u, which is not of party %u", uid,
                        (unsigned)order->party);
        if (!able(e, order->kind))
            return fail(why, why_size,
                        order->kind == ORDER_TRAVEL ? "order sends uid %u, which cannot travel"
                                                    : "order has uid %u attack, which cannot fire",
                        uid);
    }
    if (order->kind == ORDER_TRAVEL) {
        if (!area_contains(&env->voxeldata.area, &order->cell))
            return fail(why, why_size, "travel order to a cell outside the map");
        if (order->group_size < order->uid_count || order->group_size > ORDER_MAX_GROUP)
            return fail(why, why_size, "travel order with group size %u for %u units",
                        (unsigned)order->group_size, (unsigned)order->uid_count);
    } else {
        if (order->target_uid == 0 || !entity_with_uid(env, order->target_uid))
            return fail(why, why_size, "attack order on uid %u, which does not exist", order->target_uid);
    }
    return true;
}

int order_drop_fallen(const GameEnv* env, Order* order)
{
    int kept = 0;
    for (int i = 0; i < order->uid_count && i < ORDER_MAX_UIDS; i++) {
        const Entity* e = entity_with_uid(env, order->uids[i]);
        if (e && e->party == order->party)
            order->uids[kept++] = order->uids[i];
    }
    order->uid_count = kept;
    return kept;
}

int order_apply(GameEnv* env, const Order* order)
{
    if (order->kind != ORDER_TRAVEL && order->kind != ORDER_ATTACK)
        return 0;
    if (order->uid_count < 1 || order->uid_count > ORDER_MAX_UIDS)
        return 0;
    Target target;
    if (order->kind == ORDER_TRAVEL) {
        target.type = TARGET_COORDS;
        target.p = order->cell;
    } else {
        // A uid the Target cannot hold names no entity.
        if (order->target_uid > 0x7fffffffu)
            return 0;
        target.type = TARGET_ENTITY;
        target.uid = (int)order->target_uid;
    }
    int took = 0;
    // The world's list order, as the click handlers have always given the orders.
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        if (e->party != order->party || !able(e, order->kind) || !in_order(order, e->uid))
            continue;
        if (e->task_locked)
            continue;
        if (order->kind == ORDER_TRAVEL)
            entity_start_travel(e, &target, order->group_size);
        else
            entity_start_attack(e, &target);
        took++;
    }
    return took;
}
