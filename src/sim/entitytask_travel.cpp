// The travel task: route planning and following among other units, with waiting, detours,
// pushing idle friends aside, blocked cells and re-planning, and the closing turret sweep.
#include "entitytask_travel.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "entitytask.h"
#include "game.h"
#include "pathfind.h"
#include "portable_math.h"
#include "random.h"

namespace {

constexpr int DETOUR_BUDGET = 50;
constexpr float PROGRESS_THRESHOLD = 0.1f;  // avg_speed above which a unit keeps waiting
constexpr int BLOCKED_MAX = 100;
constexpr int max_avoid_distance = 10;  // route cells past the next one a detour may rejoin at
constexpr int extra_avoid_max = 4;      // upcoming cells of a travelling blocker that are avoided
constexpr int DETOUR_BLOCKED_MAX = BLOCKED_MAX + extra_avoid_max;
constexpr int PUSH_CELLS_MAX = 20;
constexpr int PUSH_DEPTH = 4;
constexpr int neighbor_max_count = 28;
constexpr double SWEEP_ANGLE = 1.5707963267948966;

// a[0..len-1] becomes a random permutation of 0..len-1 (Fisher-Yates on the game's generator).
void get_random_u32_array(u32* a, u32 len)
{
    for (u32 i = 0; i < len; i++)
        a[i] = i;
    if (len == 1)
        return;
    for (u32 n = len; n >= 2; n--) {
        u32 k = (u32)myrand() % n;
        std::swap(a[n - 1], a[k]);
    }
}

bool cell_in(V3i* p, V3i* cells, int count)
{
    for (int i = 0; i < count; i++)
        if (v3i_eq(p, &cells[i]))
            return true;
    return false;
}

void add_blocked(TravelTask* t, V3i* p)
{
    if (t->blocked_count < BLOCKED_MAX)
        t->blocked[t->blocked_count++] = *p;
}

// Replaces the route's next stretch by a short detour around the blocking entity, rejoining the
// route further on: 0 when the route was replaced, -1 otherwise.
int entitytask_travel_go_around(Entity* e, GameEnv* env, V3i* blocking_p,
                                CheckedContent* blocking_cc)
{
    (void)blocking_p;  // the route's next cell is read from the route itself
    if (blocking_cc->type != CCT_ENTITY)
        return -1;
    Entity* e2 = blocking_cc->entity;
    TravelTask* t = &e->task.travel;
    Path* path = &t->path;

    // A travelling blocker's next few cells are avoided as well.
    V3i extra[extra_avoid_max];
    int extra_count = 0;
    if (e2->task.type == ETT_TRAVEL) {
        Path* p2 = &e2->task.travel.path;
        for (int i = p2->next_i; i < p2->length && extra_count < extra_avoid_max; i++)
            extra[extra_count++] = p2->coords[i];
    }
    V3i avoid[DETOUR_BLOCKED_MAX];
    int avoid_count = 0;
    for (int i = 0; i < t->blocked_count; i++)
        avoid[avoid_count++] = t->blocked[i];
    for (int i = 0; i < extra_count; i++)
        avoid[avoid_count++] = extra[i];

    // Rejoin at the last free cell of the first free stretch within reach.
    int r = -1;
    for (int i = path->next_i; i < path->length && i <= path->next_i + max_avoid_distance; i++) {
        CheckedContent cc;
        check_content(&cc, &path->coords[i], env);
        bool is_free = cc.type == CCT_NONE && !cell_in(&path->coords[i], extra, extra_count);
        if (is_free)
            r = i;
        else if (r >= 0)
            break;
    }
    bool crowding = r < 0;
    if (crowding)
        r = path->length - 1;

    Path detour;
    path_init(&detour);
    int res = pathfind_astar(&detour, &e->p1, &path->coords[r], env,
                             e->base_graphflags + GF_ENTITIES_BLOCK, DETOUR_BUDGET, avoid,
                             avoid_count, t->wanted_distance);
    if (res == 0 || (res == 2 && !crowding)) {
        path_free(&detour);
        return -1;
    }
    int rest = path->length - r - 1;
    if (crowding || rest == 0) {
        path_free(path);
        *path = detour;
        path->next_i = 0;
        return 0;
    }
    // The detour's cells followed by the old route after the rejoin cell.
    V3i* merged = (V3i*)std::malloc(sizeof(V3i) * (detour.length + rest));
    if (!merged) {
        path_free(&detour);
        return -1;
    }
    if (detour.length > 0)
        std::memcpy(merged, detour.coords, sizeof(V3i) * detour.length);
    std::memcpy(merged + detour.length, path->coords + r + 1, sizeof(V3i) * rest);
    int length = detour.length + rest;
    path_free(&detour);
    path_free(path);
    path->coords = merged;
    path->length = length;
    path->next_i = 0;
    return 0;
}

// Closing sweep: the turret looks a quarter turn aside and back; 0 when done.
int travel_sweep(Entity* e, TravelTask* t)
{
    if (entity_peripheral_yaw_ready(e)) {
        if (t->finish_animate == 0) {
            e->peripheral_wanted_yaw = e->yaw - SWEEP_ANGLE;
            t->finish_animate = 1;
        } else if (t->finish_animate == 1) {
            e->peripheral_wanted_yaw = e->yaw;
            t->finish_animate = 2;
        } else {
            return 0;
        }
    }
    return 1;
}

void mark_arrived(Entity* e, TravelTask* t, V3i* target_p)
{
    e->arrived_to = *target_p;
    e->arrived_to_valid = true;
    t->finish_animate = 0;
}

// The next route cell p is taken by another entity: wait, detour, push it aside, accept arrival
// next to a friend, or drop the route.
int travel_blocked_by_entity(Entity* e, TravelTask* t, GameEnv* env, V3i* p, CheckedContent* cc,
                             V3i* target_p)
{
    Entity* e2 = cc->entity;
    if (!v3i_eq(&e2->p0, &e2->p1) && e->avg_speed > PROGRESS_THRESHOLD)
        return 1;
    if (t->roundabout_timer > 2 * e->variation) {
        t->roundabout_timer = 0;
        if (entitytask_travel_go_around(e, env, p, cc) == 0)
            return 1;
    }
    double tolerance = std::sqrt((double)(t->group_size + 1));
    if (e2->party == e->party) {
        if (e2->arrived_to_valid && v3i_eq(&e2->arrived_to, target_p)) {
            if (t->wanted_distance < 1 &&
                v3i_distance(&e->p1, &e2->arrived_to) < 0.65 * tolerance) {
                mark_arrived(e, t, target_p);
                return 1;
            }
        } else {
            V3i cells[PUSH_CELLS_MAX] = {};
            cells[0] = e->p1;
            cells[1] = *p;
            if (move_entity_out_of_way(e2, env, cells, 2, PUSH_CELLS_MAX, PUSH_DEPTH, e2->party)) {
                t->full_retry_timer = 0;
                t->roundabout_timer = 0;
                t->pathfind_timer = 0;
                return 1;
            }
            if (e->avg_speed > PROGRESS_THRESHOLD)
                return 1;
        }
    }
    if (e2->task.type == ETT_IDLE && e2->party == e->party) {
        // Shortly after a push the friend may still make room; later, plan anew.
        if (t->pathfind_timer <= 4 * e->variation)
            return 1;
        path_free(&t->path);
        return 1;
    }
    add_blocked(t, p);
    path_free(&t->path);
    return 1;
}

// Takes the route's next cell if it is free, else deals with whatever holds it.
int travel_follow(Entity* e, TravelTask* t, GameEnv* env, V3i* target_p)
{
    Path* path = &t->path;
    V3i p = path->coords[path->next_i];
    if (!is_connected(&e->p1, &p, env, e->base_graphflags)) {
        path_free(path);  // stale route: plan a new one next frame
        return 1;
    }
    CheckedContent cc;
    check_content(&cc, &p, env);
    if (cc.type == CCT_NONE) {
        entity_set_p1(e, &p, env);
        path->next_i++;
        if (path->next_i < path->length)
            return 1;
        if (v3i_distance(&e->p1, target_p) < std::sqrt((double)(t->group_size + 1))) {
            // Arrived; the sweep starts once this last step is done.
            if (t->wanted_distance < 1) {
                e->arrived_to = *target_p;
                e->arrived_to_valid = true;
            }
            t->finish_animate = 0;
            return 1;
        }
        // The route ended short of the target: a partial route or a target that moved on.
        path_free(path);
        t->full_retry_count++;
        return 1;
    }
    if (cc.type == CCT_ENTITY)
        return travel_blocked_by_entity(e, t, env, &p, &cc, target_p);
    path_free(path);
    add_blocked(t, &p);
    return 1;
}

// Plans a route towards target_p, emptying or pruning the blocked list first.
int travel_plan(Entity* e, TravelTask* t, GameEnv* env, V3i* target_p)
{
    bool full_replan = t->full_retry_timer > 10 * e->variation;
    if (full_replan) {
        t->full_retry_timer = 0;
        t->blocked_count = 0;
    } else {
        // Cells that have become free are forgotten; the others keep their order.
        for (int i = 0; i < t->blocked_count;) {
            CheckedContent cc;
            check_content(&cc, &t->blocked[i], env);
            if (cc.type == CCT_NONE) {
                std::memmove(&t->blocked[i], &t->blocked[i + 1],
                             sizeof(V3i) * (t->blocked_count - i - 1));
                t->blocked_count--;
            } else {
                i++;
            }
        }
    }
    int res = pathfind_astar(&t->path, &e->p0, target_p, env, e->base_graphflags,
                             TRAVEL_ROUTE_BUDGET, t->blocked, t->blocked_count, t->wanted_distance);
    if (res == 0 && full_replan)
        t->full_retry_count++;
    e->arrived_to_valid = false;
    e->avg_speed = 1.0;  // a fresh route counts as good progress
    if (t->full_retry_count > 2)
        t->finish_animate = 0;
    return 1;
}

}  // namespace

int entitytask_travel_run(Entity* e, float dtime, GameEnv* env)
{
    TravelTask* t = &e->task.travel;
    t->full_retry_timer += dtime;
    t->roundabout_timer += dtime;
    t->pathfind_timer += dtime;
    if (!v3i_eq(&e->p0, &e->p1))
        return 1;
    if (t->finish_animate != -1)
        return travel_sweep(e, t);
    V3i target_p;
    if (!target_get_pos(&target_p, nullptr, &t->target, env, false)) {
        t->finish_animate = 0;
        return 1;
    }
    e->peripheral_wanted_yaw = portable_atan2f(target_p.y - e->pf.y, target_p.x - e->pf.x);
    if (t->path.next_i < t->path.length)
        return travel_follow(e, t, env, &target_p);
    return travel_plan(e, t, env, &target_p);
}

bool move_entity_out_of_way(Entity* entity, GameEnv* env, V3i* disalloweds, int disalloweds_len,
                            int disalloweds_max_len, int recur, int party)
{
    if (recur < 0 || entity->base_graphflags == 0 || !entity_is_idle(entity) ||
        entity->party != party)
        return false;
    V3i c = entity->p1;
    V3i candidates[neighbor_max_count];
    int n = 0;
    for (const V3i& dp : pathfind_neighbor_dps) {
        V3i q;
        v3i_set_add(&q, &c, &dp);
        if (!is_connected(&c, &q, env, entity->base_graphflags))
            continue;
        if (cell_in(&q, disalloweds, disalloweds_len))
            continue;
        if (n >= neighbor_max_count)
            break;
        candidates[n++] = q;
        CheckedContent cc;
        check_content(&cc, &q, env);
        if (cc.type == CCT_NONE) {
            entity_start_steptravel(entity, &q);
            return true;
        }
    }
    if (n == 0)
        return false;
    u32 order[neighbor_max_count];
    get_random_u32_array(order, (u32)n);
    for (int i = 0; i < n; i++) {
        V3i* q = &candidates[order[i]];
        CheckedContent cc;
        check_content(&cc, q, env);
        if (cc.type != CCT_ENTITY)
            continue;
        // Reserve q so that the units pushed further do not step into it.
        int len = disalloweds_len;
        if (disalloweds_len < disalloweds_max_len)
            disalloweds[len++] = *q;
        if (move_entity_out_of_way(cc.entity, env, disalloweds, len, disalloweds_max_len,
                                   recur - 1, party)) {
            entity_start_steptravel(entity, q);
            return true;
        }
    }
    return false;
}
