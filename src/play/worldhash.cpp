#include "worldhash.h"

#include <cstring>

#include "random.h"

namespace {

// FNV-1a over little-endian bytes: the same digest from any platform and any compiler's
// struct layout, since every field is fed by value.
struct Hasher {
    u64 h = 14695981039346656037ull;

    void byte(u8 b)
    {
        h ^= b;
        h *= 1099511628211ull;
    }
    void u(u32 v)
    {
        for (int i = 0; i < 4; i++)
            byte((u8)(v >> (8 * i)));
    }
    void i(s32 v) { u((u32)v); }
    void f(float v)
    {
        u32 bits;
        std::memcpy(&bits, &v, sizeof bits);
        u(bits);
    }
    void v3i(const V3i& p)
    {
        i(p.x);
        i(p.y);
        i(p.z);
    }
    void v3f(const V3f& p)
    {
        f(p.x);
        f(p.y);
        f(p.z);
    }
    void target(const Target& t)
    {
        i(t.type);
        if (t.type == TARGET_COORDS)
            v3i(t.p);
        else if (t.type == TARGET_ENTITY)
            i(t.uid);
    }
    void path(const Path& p)
    {
        i(p.length);
        i(p.next_i);
        for (int k = 0; k < p.length && p.coords; k++)
            v3i(p.coords[k]);
    }
    // Only the member the type names holds anything.
    void task(const EntityTask& t)
    {
        i(t.type);
        switch (t.type) {
        case ETT_IDLE:
            f(t.idle.check_timer);
            break;
        case ETT_STEPTRAVEL:
            v3i(t.steptravel.p);
            break;
        case ETT_TRAVEL: {
            const TravelTask& tr = t.travel;
            target(tr.target);
            i(tr.group_size);
            f(tr.wanted_distance);
            path(tr.path);
            i(tr.blocked_count);
            for (int k = 0; k < tr.blocked_count && k < 100; k++)
                v3i(tr.blocked[k]);
            i(tr.full_retry_count);
            f(tr.full_retry_timer);
            f(tr.roundabout_timer);
            f(tr.pathfind_timer);
            i(tr.finish_animate);
            break;
        }
        case ETT_ATTACK:
            target(t.attack.target);
            f(t.attack.check_timer);
            break;
        case ETT_EXPLODE:
            f(t.explode.frame_timer);
            break;
        default:
            break;
        }
    }
    void entity(const Entity& e)
    {
        u(e.uid);
        i(e.type);
        i(e.party);
        f(e.variation);
        f(e.health);
        v3f(e.pf);
        v3i(e.p0);
        v3i(e.p1);
        f(e.yaw);
        f(e.peripheral_yaw);
        f(e.peripheral_wanted_yaw);
        i(e.peripheral_frame);
        f(e.reload_timer);
        f(e.avg_speed);
        target(e.shoot_target);
        byte(e.arrived_to_valid);
        v3i(e.arrived_to);
        byte(e.first_of_double_shot);
        byte(e.to_be_deleted);
        byte(e.task_locked);
        i(e.idle_type);
        i(e.peripheral);
        f(e.speed);
        f(e.durability);
        task(e.task);
        i(e.task_queue_len);
        for (int k = 0; k < e.task_queue_len && k < 2; k++)
            task(e.task_queue[k]);
    }
    void projectile(const Projectile& p)
    {
        i(p.type);
        f(p.power);
        f(p.speed);
        v3f(p.pos);
        v3f(p.dest);
        i(p.target_uid);
    }
};

}  // namespace

u64 world_hash(const GameEnv* env)
{
    Hasher h;
    int n = 0;
    for (const Entity* e = env->entities.lh_first; e; e = e->entries.le_next, n++)
        h.entity(*e);
    h.i(n);
    n = 0;
    for (const Projectile* p = env->projectiles.lh_first; p; p = p->entries.le_next, n++)
        h.projectile(*p);
    h.i(n);
    h.u(myrand_state());
    h.i(next_entity_uid);
    return h.h;
}

u64 terrain_hash(const VoxelData* vd)
{
    Hasher h;
    const Area& a = vd->area;
    h.v3i(V3i{a.x, a.y, a.z});
    h.v3i(V3i{a.w, a.h, a.d});
    if (vd->data) {
        long cells = (long)a.w * a.h * a.d;
        for (long k = 0; k < cells; k++)
            h.byte(vd->data[k].material);
    }
    return h.h;
}
