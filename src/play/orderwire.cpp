#include "orderwire.h"

namespace {

void put(u8*& p, u32 v, int n)
{
    for (int i = 0; i < n; i++)
        *p++ = (u8)(v >> (8 * i));
}

u32 get(const u8*& p, int n)
{
    u32 v = 0;
    for (int i = 0; i < n; i++)
        v |= (u32)*p++ << (8 * i);
    return v;
}

}  // namespace

size_t order_to_bytes(const Order* o, u8* out, size_t cap)
{
    if (o->uid_count < 1 || o->uid_count > ORDER_MAX_UIDS)
        return 0;
    size_t n = ORDERWIRE_HEADER + 4 * (size_t)o->uid_count;
    if (cap < n)
        return 0;
    u8* p = out;
    put(p, (u32)o->kind, 1);
    put(p, (u32)o->party, 1);
    put(p, (u32)o->uid_count, 2);
    put(p, (u32)o->group_size, 4);
    put(p, (u32)o->cell.x, 4);
    put(p, (u32)o->cell.y, 4);
    put(p, (u32)o->cell.z, 4);
    put(p, o->target_uid, 4);
    for (int i = 0; i < o->uid_count; i++)
        put(p, o->uids[i], 4);
    return n;
}

bool order_from_bytes(const u8* data, size_t n, Order* o)
{
    if (n < ORDERWIRE_HEADER)
        return false;
    const u8* p = data;
    u32 kind = get(p, 1), party = get(p, 1), count = get(p, 2);
    if ((kind != ORDER_TRAVEL && kind != ORDER_ATTACK) || party > 1 || count < 1 ||
        count > (u32)ORDER_MAX_UIDS || n != ORDERWIRE_HEADER + 4 * (size_t)count)
        return false;
    order_init(o, (OrderKind)kind, (int)party);
    o->group_size = (int)get(p, 4);
    o->cell.x = (s32)get(p, 4);
    o->cell.y = (s32)get(p, 4);
    o->cell.z = (s32)get(p, 4);
    o->target_uid = get(p, 4);
    o->uid_count = (int)count;
    for (u32 i = 0; i < count; i++)
        o->uids[i] = get(p, 4);
    return true;
}

bool order_from_turn(const GameEnv* env, int party, const u8* data, size_t n, Order* out)
{
    return order_from_bytes(data, n, out) && out->party == party && order_drop_fallen(env, out) > 0 &&
           order_valid(env, out, nullptr, 0);
}
