#include "opponent_route.h"

#include <cstring>

#include "entitytask.h"
#include "entitytask_travel.h"
#include "pathfind.h"

namespace {

constexpr int ROUTE_BUDGET = 6000;            // cells a route search may expand: a whole map
                                              // level, so an unreachable target is known as such

OpponentRouteKey route_key(const Entity* unit, const V3i* from, const Entity* target)
{
    OpponentRouteKey key;
    key.kind = (signed char)opponent_move_kind(unit);
    key.from = *from;
    key.to = target->p0;
    return key;
}

bool same_key(const OpponentRouteKey* a, const OpponentRouteKey* b)
{
    return a->kind == b->kind && v3i_eq(&a->from, &b->from) && v3i_eq(&a->to, &b->to);
}

// The slot of the fact `key`: the one holding it, else the free slot where it goes.
OpponentReach* reach_slot(Opponent* o, const OpponentRouteKey* key)
{
    const int parts[7] = {key->kind, key->from.x, key->from.y, key->from.z,
                          key->to.x, key->to.y, key->to.z};
    u32 h = 0;
    for (int v : parts)
        h = h * 16777619u ^ (u32)v;
    u32 i = h & (OPPONENT_REACH_SLOTS - 1);
    for (;; i = (i + 1) & (OPPONENT_REACH_SLOTS - 1)) {
        OpponentReach* r = &o->reach[i];
        if (!r->used || same_key(&r->key, key))
            return r;
    }
}

void keep_route(Opponent* o, const OpponentRouteKey* key, const Path* path)
{
    OpponentRoute* route = &o->routes[o->next_route];
    o->next_route = (o->next_route + 1) % OPPONENT_ROUTES;
    route->key = *key;
    route->length = path->length < OPPONENT_ROUTE_CELLS ? path->length : OPPONENT_ROUTE_CELLS;
    std::memcpy(route->cells, path->coords, sizeof(V3i) * route->length);
}

// The longer search, from where `unit` stands; a route it finds is kept under `key`.
bool search_long(Opponent* o, GameEnv* env, const Entity* unit, const Entity* target,
                 const OpponentRouteKey* key)
{
    Path path;
    path_init(&path);
    V3i from = unit->p0, to = target->p0;
    bool found = pathfind_astar(&path, &from, &to, env, unit->base_graphflags, ROUTE_BUDGET, nullptr, 0,
                                (float)unit->shoot_range) == 1;
    if (found)
        keep_route(o, key, &path);
    path_free(&path);
    return found;
}

// A kept route to where `key` leads, for units of its kind, that passes within two cells of
// `unit`: the one passing nearest. Any unit's route will do, so those going to one target share.
const OpponentRoute* route_by(const Opponent* o, const OpponentRouteKey* key, const Entity* unit,
                              int* nearest)
{
    const OpponentRoute* best = nullptr;
    float best_d = 0;
    for (int k = 0; k < OPPONENT_ROUTES; k++) {
        const OpponentRoute* route = &o->routes[k];
        if (route->length == 0 || route->key.kind != key->kind || !v3i_eq(&route->key.to, &key->to))
            continue;
        for (int i = 0; i < route->length; i++) {
            float d = v3i_distance(&route->cells[i], &unit->p0);
            if (d <= 2 && (!best || d < best_d)) {
                best = route;
                best_d = d;
                *nearest = i;
            }
        }
    }
    return best;
}

}  // namespace

int opponent_move_kind(const Entity* e)
{
    return (e->base_graphflags & GF_ON_WATER) ? 1 : 0;
}

bool opponent_travel_cell(const Entity* e, V3i* cell)
{
    if (e->task.type != ETT_TRAVEL || e->task.travel.target.type != TARGET_COORDS)
        return false;
    *cell = e->task.travel.target.p;
    return true;
}

const OpponentReach* opponent_known_reach(Opponent* o, const Entity* unit, const Entity* target)
{
    for (int k = 0; k < 9; k++) {
        V3i from = unit->p0;
        from.x += k % 3 == 2 ? -1 : k % 3;  // the unit's own cell first
        from.y += k / 3 == 2 ? -1 : k / 3;
        OpponentRouteKey key = route_key(unit, &from, target);
        const OpponentReach* r = reach_slot(o, &key);
        if (r->used)
            return r;
    }
    return nullptr;
}

// The unit's own travel searches a short way only: a route found within half its budget surely
// is short enough for it; otherwise a longer search decides, and its route is kept.
int opponent_reaches(Opponent* o, GameEnv* env, const Entity* unit, const Entity* target)
{
    if (v3i_distance(&unit->p0, &target->p0) <= unit->shoot_range)
        return 1;
    if (const OpponentReach* r = opponent_known_reach(o, unit, target))
        return r->reach != OPPONENT_NO_ROUTE;
    if (o->route_checks_left <= 0)
        return -1;
    o->route_checks_left--;
    OpponentRouteKey key = route_key(unit, &unit->p0, target);
    Path path;
    path_init(&path);
    V3i from = unit->p0, to = target->p0;
    int reach = OPPONENT_NO_ROUTE;
    if (pathfind_astar(&path, &from, &to, env, unit->base_graphflags, TRAVEL_ROUTE_BUDGET / 2, nullptr,
                       0, (float)unit->shoot_range) == 1)
        reach = OPPONENT_ROUTE;
    else if (search_long(o, env, unit, target, &key))
        reach = OPPONENT_LONG_ROUTE;
    path_free(&path);
    OpponentReach* r = reach_slot(o, &key);
    o->reach_count += !r->used;
    r->used = true;
    r->key = key;
    r->reach = (signed char)reach;
    // A table half full is emptied and its facts asked again, so a free slot is always near.
    if (o->reach_count >= OPPONENT_REACH_SLOTS / 2) {
        std::memset(o->reach, 0, sizeof o->reach);
        o->reach_count = 0;
    }
    return reach != OPPONENT_NO_ROUTE;
}

OpponentStage opponent_next_stage(Opponent* o, GameEnv* env, const Entity* unit, const Entity* target,
                                  V3i* cell)
{
    if (v3i_distance(&unit->p0, &target->p0) <= unit->shoot_range)
        return OPPONENT_GO_STRAIGHT;
    // Asked where it stands now: a unit whose own travel ended short of the target (its search
    // gave up half way) learns here that a longer way exists.
    if (opponent_reaches(o, env, unit, target) < 0)
        return OPPONENT_GO_ON;
    const OpponentReach* r = opponent_known_reach(o, unit, target);
    if (!r || r->reach != OPPONENT_LONG_ROUTE)
        return OPPONENT_GO_STRAIGHT;
    int nearest = 0;
    const OpponentRoute* route = route_by(o, &r->key, unit, &nearest);
    if (!route) {
        // Off every route kept (its own has been replaced by newer ones): searched anew.
        if (o->route_checks_left <= 0)
            return OPPONENT_GO_ON;
        o->route_checks_left--;
        OpponentRouteKey key = route_key(unit, &unit->p0, target);
        if (!search_long(o, env, unit, target, &key) || !(route = route_by(o, &key, unit, &nearest)))
            return OPPONENT_GO_STRAIGHT;
    }
    if (route->length - nearest <= OPPONENT_ROUTE_STAGE)
        return OPPONENT_GO_STRAIGHT;  // near enough to go straight
    // A stage under way is kept while it lies ahead, so the travel is not restarted.
    V3i going;
    if (opponent_travel_cell(unit, &going))
        for (int i = nearest + 3; i < route->length && i <= nearest + OPPONENT_ROUTE_STAGE; i++)
            if (v3i_eq(&route->cells[i], &going)) {
                *cell = going;
                return OPPONENT_GO_TO_STAGE;
            }
    *cell = route->cells[nearest + OPPONENT_ROUTE_STAGE];
    return OPPONENT_GO_TO_STAGE;
}
