#include "arena_reach.h"

#include <new>
#include <vector>

#include "pathfind.h"

namespace {

int move_kind(const Entity* e)
{
    return (e->base_graphflags & GF_ON_WATER) ? ARENA_FLOATING : ARENA_WALKING;
}

bool is_unit(const Entity* e)
{
    return e->type == ET_UNIT && e->base_graphflags != 0 && e->can_attack;
}

bool is_enemy(const Entity* e, int party)
{
    return e->party >= 0 && e->party != party;
}

// The cells of env's area that units of `party` moving with one set of flags get to, grouped
// by where they start: a group is every cell one unit's routes can lead to. The steps go both
// ways between cells a unit can stand in, so two units share a group when one can get to the
// other. The party's own buildings are walls: its units cannot pass them, and it never destroys
// them, so a hilltop whose one way down is taken by a garage of its own strands its units.
class Groups {
public:
    Groups(GameEnv* env, int party)
        : area_(env->voxeldata.area), group_(size(), 0), wall_(size(), false)
    {
        for (const Entity* b = env->entities.lh_first; b; b = b->entries.le_next) {
            if (b->type != ET_BUILDING || b->party != party)
                continue;
            for (int dx = 0; dx < b->building_size.x; dx++)
                for (int dy = 0; dy < b->building_size.y; dy++)
                    for (int dz = 0; dz < b->building_size.z; dz++) {
                        V3i c = {b->p0.x + dx, b->p0.y + dy, b->p0.z + dz};
                        if (inside(&c))
                            wall_[index(&c)] = true;
                    }
        }
    }

    // The group of the cell a unit stands in, found by a breadth-first spread the first time.
    int of(const V3i* p, GameEnv* env, int flags)
    {
        if (!inside(p))
            return 0;
        if (int g = group_[index(p)])
            return g;
        if (wall_[index(p)]) {
            // A unit set down inside a building of its own walks out of it: it joins the group
            // of the first cell it can step to.
            V3i from = *p;
            for (const V3i& dp : pathfind_neighbor_dps) {
                V3i to;
                v3i_set_add(&to, &from, &dp);
                if (inside(&to) && !wall_[index(&to)] && is_connected(&from, &to, env, flags))
                    return of(&to, env, flags);
            }
        }
        int g = ++count_;
        std::vector<V3i> queue(1, *p);
        group_[index(p)] = g;
        for (size_t next = 0; next < queue.size(); next++) {
            V3i from = queue[next];
            for (const V3i& dp : pathfind_neighbor_dps) {
                V3i to;
                v3i_set_add(&to, &from, &dp);
                if (inside(&to) && !group_[index(&to)] && !wall_[index(&to)] &&
                    is_connected(&from, &to, env, flags)) {
                    group_[index(&to)] = g;
                    queue.push_back(to);
                }
            }
        }
        return g;
    }

    // Marks in `near` (indexed by group, all false on the call) the groups with a cell within
    // `range` of cell t, as the weapons measure it.
    void mark_near(const V3i* t, int range, std::vector<bool>* near) const
    {
        for (int dx = -range; dx <= range; dx++)
            for (int dy = -range; dy <= range; dy++)
                for (int dz = -range; dz <= range; dz++) {
                    V3i c = {t->x + dx, t->y + dy, t->z + dz};
                    if (inside(&c) && group_[index(&c)] && v3i_distance(&c, t) <= range)
                        (*near)[group_[index(&c)]] = true;
                }
    }

    int count() const { return count_; }

private:
    size_t size() const { return (size_t)area_.w * area_.h * area_.d; }
    bool inside(const V3i* p) const { return area_contains(&area_, p); }
    size_t index(const V3i* p) const
    {
        size_t column = (size_t)(p->x - area_.x) * area_.h + (size_t)(p->y - area_.y);
        return column * area_.d + (size_t)(p->z - area_.z);
    }

    Area area_;
    std::vector<int> group_;  // 0 for a cell no unit's group holds
    std::vector<bool> wall_;  // cells the party's own buildings cover
    int count_ = 0;
};

void reach_of_kind(GameEnv* env, int party, int kind, ArenaReach* reach, std::vector<bool>* reached)
{
    Groups groups(env, party);
    int range = 0;
    std::vector<int> unit_group;
    for (const Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->party == party && is_unit(e) && move_kind(e) == kind) {
            unit_group.push_back(groups.of(&e->p0, env, e->base_graphflags));
            range = e->shoot_range > range ? e->shoot_range : range;
        }
    reach->units[kind] = (int)unit_group.size();
    // Which groups come within range of some enemy, and which enemies some group comes near.
    std::vector<bool> useful(groups.count() + 1, false), near(groups.count() + 1, false);
    int i = 0;
    for (const Entity* t = env->entities.lh_first; t; t = t->entries.le_next) {
        if (!is_enemy(t, party))
            continue;
        groups.mark_near(&t->p0, range, &near);
        bool any = false;
        for (int g = 1; g <= groups.count(); g++)
            if (near[g]) {
                useful[g] = any = true;
                near[g] = false;
            }
        if (any) {
            reach->enemies_reached[kind]++;
            (*reached)[i] = true;
        }
        i++;
    }
    for (int g : unit_group)
        reach->units_reaching[kind] += useful[g];
}

}  // namespace

bool arena_reach(GameEnv* env, int party, ArenaReach* reach)
{
    *reach = ArenaReach{};
    for (const Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        reach->enemies += is_enemy(e, party);
    try {
        std::vector<bool> reached(reach->enemies, false);
        for (int k = 0; k < ARENA_MOVE_KINDS; k++)
            reach_of_kind(env, party, k, reach, &reached);
        for (bool r : reached)
            reach->enemies_reached_by_any += r;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
