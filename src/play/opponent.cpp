#include "opponent.h"

#include <cstdlib>
#include <cstring>

#include "entitytask.h"
#include "entitytask_travel.h"
#include "opponent_route.h"
#include "pathfind.h"

namespace {

// Cells beyond firing range that count as contact: a step short of firing. Until then the army
// advances together, the sturdy units in front; counted from farther out, the fight's rules
// (each unit closing in on its own) took over while it was still on its way, and fewer games
// were won.
constexpr float CONTACT_MARGIN = 1.0f;
constexpr float OVERKILL = 1.3f;              // damage assigned per target, times its need
constexpr float RETREAT_RATIO = 0.5f;         // pull back when our strength is below this share
constexpr float EXPOSURE_CELLS = 3;          // detour, in cells, worth one enemy gun fewer at a target
constexpr int MAX_SEEN = ORDER_MAX_UIDS;      // entities of each side considered per look
constexpr float GATHER_RADIUS = 4;            // an army wider than this meets before it attacks
constexpr float STEP_IN_SECONDS = 0.6f;       // reload left when a missile unit goes back in
constexpr float SAFE_MARGIN_CELLS = 4;        // beyond every enemy gun's range by this much, a
                                              // cell to step back to is as safe as any
constexpr double PATIENCE_SECONDS = 20;       // no hit on the enemy for this long: nobody
                                              // waits for anybody any more
constexpr double FIGHT_SECONDS = 3;           // contact this long is a fight, not a brush
constexpr double STUCK_SECONDS = 3;           // on its way but standing this long: held up
constexpr int DETOUR_CELLS = 4;               // how far round what holds it a unit is sent
constexpr double GATHER_SECONDS = 12;         // longest a meeting may take (stuck units do not
                                              // hold the others back for ever)

// One entity as a look sees it.
struct Seen {
    Entity* e;
    float cost;    // hits of power 1 still needed to destroy it: health * durability
    float dps;     // damage per second its weapon deals against durability 1
    float volley;  // damage of one shot or pair of shots
    float need;    // damage still to assign this look (targets)
    int target;    // index into the enemy table this look gives it, -1 none (own units)
    bool engaged;  // within firing range and the margin of the other side (enemies)
};

// The look's scratch, filled anew each time: no allocation while the game runs.
struct Look {
    Seen own[MAX_SEEN];
    int own_count;
    Seen enemies[MAX_SEEN];
    int enemy_count;
    int guards[MAX_SEEN];  // exposure of each enemy; -1 until counted
    Entity* own_buildings[MAX_SEEN];
    int own_building_count;
    OpponentStanding standing[OPPONENT_MAX_UNITS];  // the own units' standing as this look sees it
    // Nothing of the enemy's has been hit for a while: the fast units stop waiting for the slow
    // ones, which may be stuck on the way.
    bool impatient;
};
Look look;

bool can_shoot(const Entity* e)
{
    return e->can_attack;
}

float weapon_volley(const Entity* e)
{
    if (!can_shoot(e))
        return 0;
    return e->projectile_power * (e->double_weapon ? 2 : 1);
}

float weapon_dps(const Entity* e)
{
    return e->reload_time > 0 ? weapon_volley(e) / e->reload_time : 0;
}

Seen seen_of(Entity* e)
{
    Seen s;
    s.e = e;
    s.cost = e->health * e->durability;
    s.dps = weapon_dps(e);
    s.volley = weapon_volley(e);
    s.need = 0;
    s.target = -1;
    s.engaged = false;
    return s;
}

float distance(const Entity* a, const Entity* b)
{
    return v3i_distance(&a->p0, &b->p0);
}

// The entity uid this unit is attacking or approaching to attack; 0 for none.
u32 attack_target_of(const Entity* e)
{
    const EntityTask* t = &e->task;
    if (t->type == ETT_TRAVEL && e->task_queue_len > 0)
        t = &e->task_queue[0];
    if (t->type == ETT_ATTACK && t->attack.target.type == TARGET_ENTITY)
        return (u32)t->attack.target.uid;
    return 0;
}

void collect(Opponent* o, GameEnv* env)
{
    look.own_count = look.enemy_count = look.own_building_count = 0;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        if (e->party < 0)
            continue;  // wrecks
        if (e->party == o->party) {
            if (e->type == ET_BUILDING) {
                if (look.own_building_count < MAX_SEEN)
                    look.own_buildings[look.own_building_count++] = e;
            } else if (!e->task_locked && e->base_graphflags != 0 && look.own_count < MAX_SEEN) {
                look.own[look.own_count++] = seen_of(e);
            }
        } else if (look.enemy_count < MAX_SEEN) {
            look.guards[look.enemy_count] = -1;
            look.enemies[look.enemy_count++] = seen_of(e);
        }
    }
}

Order* new_order(Opponent* o, OrderKind kind)
{
    if (o->order_count >= OPPONENT_MAX_ORDERS)
        return nullptr;
    Order* order = &o->orders[o->order_count++];
    order_init(order, kind, o->party);
    return order;
}

// How many other enemies that shoot could fire on units attacking enemy t from its far side of
// their range: the fewer, the cheaper the attack. An army that stands still is taken apart from
// its edges this way rather than walked into.
// Counted once per look (the count is quadratic in the enemies), when the look first needs it.
int exposure(int t)
{
    if (look.guards[t] >= 0)
        return look.guards[t];
    const Entity* target = look.enemies[t].e;
    int n = 0;
    for (int k = 0; k < look.enemy_count; k++) {
        const Entity* e = look.enemies[k].e;
        if (k != t && look.enemies[k].volley > 0 && distance(e, target) <= e->shoot_range + target->shoot_range * 0.5f)
            n++;
    }
    look.guards[t] = n;
    return n;
}

// Sends units that a long route leads to their target on to its next stage, one travel order per
// stage cell among the orders from `first_order` on (those of this target, so their uids stay in
// list order); true when `u` was one of them, or is left on the stage it is travelling to
// because its route is not known this look.
bool lead_along(Opponent* o, GameEnv* env, Seen* u, const Entity* target, int first_order)
{
    V3i cell;
    OpponentStage stage = opponent_next_stage(o, env, u->e, target, &cell);
    if (stage != OPPONENT_GO_TO_STAGE)
        return stage == OPPONENT_GO_ON && attack_target_of(u->e) == 0 && u->e->task.type == ETT_TRAVEL;
    V3i going;
    if (opponent_travel_cell(u->e, &going) && v3i_eq(&going, &cell))
        return true;
    for (int k = first_order; k < o->order_count; k++) {
        Order* order = &o->orders[k];
        if (order->kind == ORDER_TRAVEL && v3i_eq(&order->cell, &cell)) {
            order_add_uid(order, u->e->uid);
            order->group_size = order->uid_count;
            return true;
        }
    }
    Order* order = new_order(o, ORDER_TRAVEL);
    if (!order)
        return true;
    order->cell = cell;
    order_add_uid(order, u->e->uid);
    order->group_size = 1;
    return true;
}

// Gives every own unit whose look target differs from what it does an attack order, one order
// per target, uids in list order; units on a long way there are led along it instead.
void emit_attacks(Opponent* o, GameEnv* env)
{
    for (int t = 0; t < look.enemy_count; t++) {
        const Entity* target = look.enemies[t].e;
        Order* order = nullptr;
        int first_order = o->order_count;
        for (int i = 0; i < look.own_count; i++) {
            Seen* u = &look.own[i];
            if (u->target != t || lead_along(o, env, u, target, first_order))
                continue;
            if (attack_target_of(u->e) == target->uid)
                continue;
            if (!order) {
                order = new_order(o, ORDER_ATTACK);
                if (!order)
                    return;
                order->target_uid = target->uid;
            }
            order_add_uid(order, u->e->uid);
        }
        if (order && order->uid_count == 0)
            o->order_count--;
    }
}

// Lanchester's square law: fire power times staying power.
float strength(float dps, float cost)
{
    return dps * cost;
}

// Marks the enemies within reach of a fight and says whether there are any.
bool find_contact()
{
    bool any = false;
    for (int t = 0; t < look.enemy_count; t++) {
        Seen* en = &look.enemies[t];
        for (int i = 0; i < look.own_count && !en->engaged; i++)
            if (distance(look.own[i].e, en->e) <= look.own[i].e->shoot_range + CONTACT_MARGIN)
                en->engaged = true;
        for (int i = 0; i < look.own_building_count && !en->engaged; i++) {
            const Entity* b = look.own_buildings[i];
            // An enemy at a building it can hit, or one that can hit the building.
            float d = distance(b, en->e);
            if (d <= b->shoot_range + CONTACT_MARGIN || (can_shoot(en->e) && d <= en->e->shoot_range + CONTACT_MARGIN))
                en->engaged = true;
        }
        any = any || en->engaged;
    }
    return any;
}

// Whether an enemy unit of the fight is on the move (travelling, or between two cells): one
// that stands and fires where it is cannot chase units that pull back.
bool enemy_presses()
{
    for (int t = 0; t < look.enemy_count; t++) {
        const Entity* e = look.enemies[t].e;
        if (!look.enemies[t].engaged || e->type == ET_BUILDING)
            continue;
        if (e->task.type == ETT_TRAVEL || e->task.type == ETT_STEPTRAVEL || !v3i_eq(&e->p0, &e->p1))
            return true;
    }
    return false;
}

// The mean cell (x, y) of the own units.
void army_middle(float* x, float* y)
{
    *x = *y = 0;
    for (int i = 0; i < look.own_count; i++) {
        *x += look.own[i].e->p0.x;
        *y += look.own[i].e->p0.y;
    }
    *x /= look.own_count;
    *y /= look.own_count;
}

// The own turret building farthest from the mean cell of the fight's enemy units, to fall back
// on; null when there is none, when the fight is already at it, or when it lies beyond them as
// seen from the army (the way back would lead through them).
Entity* fallback_building()
{
    float sx = 0, sy = 0;
    int n = 0;
    for (int t = 0; t < look.enemy_count; t++)
        if (look.enemies[t].engaged && look.enemies[t].e->type != ET_BUILDING) {
            sx += look.enemies[t].e->p0.x;
            sy += look.enemies[t].e->p0.y;
            n++;
        }
    if (n == 0)
        return nullptr;
    sx /= n;
    sy /= n;
    Entity* best = nullptr;
    float best_d = 0;
    for (int i = 0; i < look.own_building_count; i++) {
        Entity* b = look.own_buildings[i];
        if (!can_shoot(b))
            continue;
        float dx = b->p0.x - sx, dy = b->p0.y - sy;
        float d = dx * dx + dy * dy;
        if (!best || d > best_d) {
            best = b;
            best_d = d;
        }
    }
    if (!best || best_d < (best->shoot_range + CONTACT_MARGIN) * (best->shoot_range + CONTACT_MARGIN))
        return nullptr;
    float ax, ay;
    army_middle(&ax, &ay);
    if ((best->p0.x - ax) * (sx - ax) + (best->p0.y - ay) * (sy - ay) > 0)
        return nullptr;
    return best;
}

// Sends every unit to the building's cell as one group, unless it is going there already.
void fall_back(Opponent* o, Entity* building)
{
    Order* order = new_order(o, ORDER_TRAVEL);
    if (!order)
        return;
    order->cell = building->p0;
    order->group_size = look.own_count;
    for (int i = 0; i < look.own_count; i++) {
        V3i cell;
        if (opponent_travel_cell(look.own[i].e, &cell) && v3i_eq(&cell, &building->p0))
            continue;
        order_add_uid(order, look.own[i].e->uid);
    }
    if (order->uid_count == 0)
        o->order_count--;
}

// Damage the missiles flying at `target`, ours or the enemy's, will deal: they follow it, so
// they hit. Without counting ours, a target whose destruction is on its way keeps drawing
// shooters for the second or so of their flight. Bullets fly to where the target was and are in
// the air for a moment only.
float missiles_on_the_way(const Opponent* o, const GameEnv* env, const Entity* target, bool ours)
{
    float power = 0;
    for (const Projectile* pr = env->projectiles.lh_first; pr; pr = pr->entries.le_next)
        if ((pr->party == o->party) == ours && pr->type == PT_MISSILE && pr->target_uid == (int)target->uid)
            power += pr->power;
    return power;
}

// Fire is focused: an enemy in range of some of our units gets enough of them to destroy it,
// the enemies worth most first (fire power taken out per hit spent); a unit with anything in
// range shoots rather than walks, since a unit on the move does not fire. Units with nothing in
// range close in on the nearest enemy of the fight they can reach.
void focus_fire(Opponent* o, GameEnv* env)
{
    int order_of[MAX_SEEN];
    float value[MAX_SEEN];
    int n = 0;
    for (int t = 0; t < look.enemy_count; t++) {
        Seen* en = &look.enemies[t];
        if (!en->engaged)
            continue;
        en->need = en->cost * OVERKILL - missiles_on_the_way(o, env, en->e, true);
        value[t] = (en->dps + 0.02f) / (en->cost + 0.1f);
        // Insertion by value, the list order breaking ties.
        int k = n++;
        while (k > 0 && value[order_of[k - 1]] < value[t]) {
            order_of[k] = order_of[k - 1];
            k--;
        }
        order_of[k] = t;
    }
    auto in_range = [](const Seen* u, const Seen* en) {
        return distance(u->e, en->e) <= u->e->shoot_range;
    };
    // Units already firing at an engaged target in range stay on it while it needs them.
    for (int i = 0; i < look.own_count; i++) {
        Seen* u = &look.own[i];
        u32 current = attack_target_of(u->e);
        for (int t = 0; t < look.enemy_count && current; t++) {
            Seen* en = &look.enemies[t];
            if (en->e->uid == current && en->engaged && en->need > 0 && in_range(u, en)) {
                u->target = t;
                en->need -= u->volley;
            }
        }
    }
    // Then the free units in range, the most valuable targets first.
    for (int k = 0; k < n; k++) {
        Seen* en = &look.enemies[order_of[k]];
        for (int i = 0; i < look.own_count && en->need > 0; i++) {
            Seen* u = &look.own[i];
            if (u->target >= 0 || u->volley <= 0 || !in_range(u, en))
                continue;
            u->target = order_of[k];
            en->need -= u->volley;
        }
    }
    // Free units with something in range take the best of it even beyond its need.
    for (int i = 0; i < look.own_count; i++) {
        Seen* u = &look.own[i];
        for (int k = 0; k < n && u->target < 0 && u->volley > 0; k++)
            if (in_range(u, &look.enemies[order_of[k]]))
                u->target = order_of[k];
    }
    // The sturdy turret units go first and draw the fire; the missile units close in only on
    // enemies a turret unit of ours is already at (or at once when none is left).
    int turret_units = 0;
    for (int i = 0; i < look.own_count; i++)
        turret_units += opponent_move_kind(look.own[i].e) == 0 && look.own[i].volley > 0;
    // Covered: a turret unit of ours is at it, or none can be (all are known to be cut off).
    auto covered = [o](const Seen* en) {
        bool may_come = false;
        for (int i = 0; i < look.own_count; i++) {
            const Entity* e = look.own[i].e;
            if (opponent_move_kind(e) != 0 || look.own[i].volley <= 0)
                continue;
            if (distance(e, en->e) <= e->shoot_range + 1)
                return true;
            const OpponentReach* r = opponent_known_reach(o, e, en->e);
            may_come = may_come || !r || r->reach != OPPONENT_NO_ROUTE;
        }
        return !may_come;
    };
    // The rest close in; one already closing in on an engaged unit keeps it. A building is not
    // kept: it stays where it is, and the way to it may lead far round while the fight goes on.
    for (int i = 0; i < look.own_count; i++) {
        Seen* u = &look.own[i];
        if (u->target >= 0 || u->volley <= 0)
            continue;
        bool wait_for_cover = turret_units > 0 && opponent_move_kind(u->e) == 1 && !look.impatient;
        u32 current = attack_target_of(u->e);
        float best_d = 0;
        for (int k = 0; k < n; k++) {
            Seen* en = &look.enemies[order_of[k]];
            if (en->e->uid == current && en->e->type != ET_BUILDING) {
                u->target = order_of[k];
                break;
            }
            if (wait_for_cover && !covered(en))
                continue;
            // Units before buildings: a building stays where it is. The less guarded first.
            float d = distance(u->e, en->e) + (en->e->type == ET_BUILDING ? 6 : 0) +
                      EXPOSURE_CELLS * exposure(order_of[k]);
            if ((u->target < 0 || d < best_d) && opponent_reaches(o, env, u->e, en->e) == 1) {
                u->target = order_of[k];
                best_d = d;
            }
        }
    }
}

// Spread out with no fight near: the army meets at the unit nearest its middle. True while it
// does.
bool gather(Opponent* o)
{
    float sx, sy;
    army_middle(&sx, &sy);
    const Entity* mid = nullptr;
    float mid_d = 0;
    for (int i = 0; i < look.own_count; i++) {
        const Entity* e = look.own[i].e;
        float d = (e->p0.x - sx) * (e->p0.x - sx) + (e->p0.y - sy) * (e->p0.y - sy);
        if (!mid || d < mid_d) {
            mid = e;
            mid_d = d;
        }
    }
    float spread = 0;
    for (int i = 0; i < look.own_count; i++) {
        float d = distance(look.own[i].e, mid);
        spread = d > spread ? d : spread;
    }
    if (o->gathered)
        return false;
    if (o->gather_started < 0)
        o->gather_started = o->game_time;
    if (spread <= GATHER_RADIUS || o->game_time - o->gather_started > GATHER_SECONDS) {
        o->gathered = true;
        o->gather_started = -1;
        return false;
    }
    V3i cell = mid->p0;
    Order* order = new_order(o, ORDER_TRAVEL);
    if (!order)
        return true;
    order->cell = cell;
    order->group_size = look.own_count;
    for (int i = 0; i < look.own_count; i++) {
        const Entity* e = look.own[i].e;
        V3i going;
        if (e == mid || distance(e, mid) <= GATHER_RADIUS * 0.5f ||
            (opponent_travel_cell(e, &going) && v3i_eq(&going, &cell)))
            continue;
        order_add_uid(order, e->uid);
    }
    if (order->uid_count == 0)
        o->order_count--;
    return true;
}

// Units with nothing to do yet: each kind heads for the nearest enemy it can reach, the fast
// ones held back until the slow ones are near enough to arrive just before them.
void advance(Opponent* o, GameEnv* env)
{
    int objective[2] = {-1, -1};
    // The units of a kind in list order stand for it in turn, until one finds an enemy it can
    // reach: the first may stand cut off by a cliff that the others are not.
    for (int kind = 0; kind < 2; kind++) {
        for (int s = 0; s < look.own_count && objective[kind] < 0; s++) {
            const Entity* scout = look.own[s].e;
            if (opponent_move_kind(scout) != kind || look.own[s].volley <= 0)
                continue;
            // Nearest first; a target whose route is not known yet waits for a later look.
            bool tried[MAX_SEEN] = {};
            bool unknown = false;
            for (;;) {
                int best = -1;
                float best_d = 0;
                for (int t = 0; t < look.enemy_count; t++) {
                    float d = distance(scout, look.enemies[t].e) + EXPOSURE_CELLS * exposure(t);
                    if (!tried[t] && (best < 0 || d < best_d)) {
                        best = t;
                        best_d = d;
                    }
                }
                if (best < 0)
                    break;
                tried[best] = true;
                int r = opponent_reaches(o, env, scout, look.enemies[best].e);
                if (r == 1) {
                    objective[kind] = best;
                    break;
                }
                if (r < 0) {
                    unknown = true;
                    break;
                }
            }
            if (unknown)
                break;
        }
    }
    // How far the slow units' front is from their objective, in seconds.
    float front_seconds = -1;
    for (int i = 0; i < look.own_count; i++) {
        const Entity* e = look.own[i].e;
        if (opponent_move_kind(e) != 0 || objective[0] < 0 || look.own[i].volley <= 0)
            continue;
        const OpponentReach* r = opponent_known_reach(o, e, look.enemies[objective[0]].e);
        if (r && r->reach == OPPONENT_NO_ROUTE)
            continue;  // cut off: the fast units do not wait for it
        float d = distance(e, look.enemies[objective[0]].e) - e->shoot_range;
        float s = d > 0 ? d / e->speed : 0;
        if (front_seconds < 0 || s < front_seconds)
            front_seconds = s;
    }
    for (int i = 0; i < look.own_count; i++) {
        Seen* u = &look.own[i];
        int kind = opponent_move_kind(u->e);
        if (objective[kind] < 0 || u->volley <= 0 || u->target >= 0)
            continue;
        if (kind == 1 && front_seconds > 0 && !look.impatient) {
            float d = distance(u->e, look.enemies[objective[kind]].e) - u->e->shoot_range;
            float s = d > 0 ? d / u->e->speed : 0;
            if (s < front_seconds + 1 && attack_target_of(u->e) == 0)
                continue;
        }
        // One already known to be cut off from the objective is not sent to it.
        const OpponentReach* r = opponent_known_reach(o, u->e, look.enemies[objective[kind]].e);
        if (r && r->reach == OPPONENT_NO_ROUTE)
            continue;
        u->target = objective[kind];
    }
}

// Whether enemy gun `threat` holds its fire on another unit of ours that stays in its range: a
// weapon keeps its target while the target is in range, so it does not turn on `e` for now.
bool holds_another(const Entity* threat, const Entity* e)
{
    if (threat->shoot_target.type != TARGET_ENTITY || threat->shoot_target.uid == (int)e->uid)
        return false;
    for (int i = 0; i < look.own_count; i++) {
        const Entity* u = look.own[i].e;
        if ((int)u->uid == threat->shoot_target.uid)
            return distance(threat, u) <= threat->shoot_range;
    }
    return false;
}

// Whether a unit moving with `flags` can stand in cell c: a level step into it would be allowed.
bool can_stand(GameEnv* env, V3i c, int flags)
{
    if (!area_contains(&env->voxeldata.area, &c))
        return false;
    V3i beside = {c.x - 1, c.y, c.z};
    return is_connected(&beside, &c, env, flags);
}

// Where a reloading missile unit steps back to: of the cells four cells round it that it can
// stand in (at its own level, or up to three cells up or down), the one farthest beyond the range
// of every enemy gun, SAFE_MARGIN_CELLS beyond counting as safe; among equals, the one most
// straight away from `threat`. The headings are whole-cell offsets, not angles, so every build
// picks the same cell.
bool step_back_cell(GameEnv* env, const Entity* e, const Entity* threat, V3i* cell)
{
    static constexpr int kRound[16][2] = {
        {4, 0},  {4, 2},   {3, 3},   {2, 4},   {0, 4},  {-2, 4}, {-3, 3}, {-4, 2},
        {-4, 0}, {-4, -2}, {-3, -3}, {-2, -4}, {0, -4}, {2, -4}, {3, -3}, {4, -2},
    };
    static constexpr int kLevels[] = {0, 1, -1, 2, -2, 3, -3};
    float ax = (float)(e->p0.x - threat->p0.x), ay = (float)(e->p0.y - threat->p0.y);
    bool found = false;
    float best_margin = 0, best_away = 0;
    for (const auto& step : kRound) {
        V3i c = e->p0;
        c.x += step[0];
        c.y += step[1];
        bool standable = false;
        for (int dz : kLevels) {
            V3i at = {c.x, c.y, e->p0.z + dz};
            if (can_stand(env, at, e->base_graphflags)) {
                c = at;
                standable = true;
                break;
            }
        }
        if (!standable)
            continue;
        float margin = SAFE_MARGIN_CELLS;
        for (int t = 0; t < look.enemy_count; t++) {
            const Entity* gun = look.enemies[t].e;
            float m = v3i_distance(&c, &gun->p0) - gun->shoot_range;
            if (look.enemies[t].volley > 0 && m < margin)
                margin = m;
        }
        float away = step[0] * ax + step[1] * ay;
        if (!found || margin > best_margin || (margin == best_margin && away > best_away)) {
            *cell = c;
            best_margin = margin;
            best_away = away;
            found = true;
        }
    }
    return found;
}

// Missile units fight in and out: in range the moment their pair is loaded, out of every
// enemy's range while they reload. A defender needs a look round and a turn before it fires, so
// a unit that stays only to fire is shot at far less than one that stands. A gun that holds on
// another unit of ours is not fled: it does not turn on this one while that one stays.
void step_back(Opponent* o, GameEnv* env)
{
    for (int i = 0; i < look.own_count; i++) {
        Seen* u = &look.own[i];
        const Entity* e = u->e;
        if (!e->double_weapon || !e->shoot_requires_body_aim || u->volley <= 0)
            continue;
        if (!e->first_of_double_shot || e->reload_timer >= e->reload_time - STEP_IN_SECONDS)
            continue;  // loaded, or about to be: it goes in
        if (missiles_on_the_way(o, env, e, false) >= u->cost)
            continue;  // no step outruns them: it stays in the fight while it lasts
        const Entity* threat = nullptr;
        float threat_d = 0;
        for (int t = 0; t < look.enemy_count; t++) {
            const Entity* en = look.enemies[t].e;
            float d = distance(e, en);
            if (look.enemies[t].volley > 0 && d <= en->shoot_range + 1 && (!threat || d < threat_d) &&
                !holds_another(en, e)) {
                threat = en;
                threat_d = d;
            }
        }
        if (!threat)
            continue;
        if (e->task.type == ETT_TRAVEL && e->task_queue_len == 0) {
            u->target = -1;
            continue;  // on its way out already
        }
        V3i cell;
        if (!step_back_cell(env, e, threat, &cell))
            continue;  // nowhere to stand round it: it stays in the fight
        u->target = -1;
        Order* order = new_order(o, ORDER_TRAVEL);
        if (!order)
            return;
        order->cell = cell;
        order->group_size = 1;
        order_add_uid(order, e->uid);
    }
}

bool travelling(const Entity* e)
{
    return e->task.type == ETT_TRAVEL && e->task.travel.finish_animate == -1;
}

// Since when each own unit has stood in its cell on its way somewhere; its entry of the last
// look is found by uid (units keep their list order, so the search starts past the last find).
void note_standing(Opponent* o)
{
    OpponentStanding* next = look.standing;
    int n = 0, hint = 0;
    for (int i = 0; i < look.own_count && n < OPPONENT_MAX_UNITS; i++) {
        const Entity* e = look.own[i].e;
        OpponentStanding st = {e->uid, e->p0, o->game_time, {0, 0, 0}, false};
        for (int k = 0; k < o->standing_count; k++) {
            int j = (hint + k) % o->standing_count;
            if (o->standing[j].uid != e->uid)
                continue;
            const OpponentStanding* was = &o->standing[j];
            if (v3i_eq(&was->cell, &e->p0) && travelling(e))
                st.since = was->since;
            st.detour = was->detour;
            st.detouring = was->detouring;
            hint = j + 1;
            break;
        }
        // A detour is over once the unit no longer travels to its cell.
        V3i going;
        if (st.detouring && !(opponent_travel_cell(e, &going) && v3i_eq(&going, &st.detour)))
            st.detouring = false;
        next[n++] = st;
    }
    std::memcpy(o->standing, next, sizeof(OpponentStanding) * n);
    o->standing_count = n;
}

// A unit that has stood too long on its way is held up by what its own route search does not
// see (a building of ours in the way, friends that do not make room): it is sent a few cells
// along a way round everything standing, towards where it was going, and left on that detour
// unless it stands as long on it.
void unstick(Opponent* o, GameEnv* env)
{
    for (int i = 0; i < look.own_count && i < o->standing_count; i++) {
        Seen* u = &look.own[i];
        OpponentStanding* st = &o->standing[i];
        if (st->detouring) {
            // A detour's cell that another unit holds (a friend firing from it makes no room)
            // is never reached, and the unit would stand on its way for good without firing:
            // once it has stood that long it is given its orders anew.
            if (travelling(u->e) && o->game_time - st->since >= STUCK_SECONDS) {
                st->detouring = false;
                st->since = o->game_time;
            } else {
                u->target = -1;
            }
            continue;
        }
        if (!travelling(u->e) || o->game_time - st->since < STUCK_SECONDS)
            continue;
        V3i to;
        float range = 1.5f;
        u32 target_uid = attack_target_of(u->e);
        const Entity* target = nullptr;
        for (int t = 0; t < look.enemy_count && target_uid; t++)
            if (look.enemies[t].e->uid == target_uid)
                target = look.enemies[t].e;
        if (target) {
            to = target->p0;
            range = (float)u->e->shoot_range;
        } else if (!opponent_travel_cell(u->e, &to)) {
            continue;
        }
        if (o->route_checks_left <= 0)
            return;
        o->route_checks_left--;
        st->since = o->game_time;  // found or not, asked again only after a while
        Path path;
        path_init(&path);
        V3i from = u->e->p0;
        if (pathfind_astar(&path, &from, &to, env, u->e->base_graphflags | GF_ENTITIES_BLOCK,
                           TRAVEL_ROUTE_BUDGET, nullptr, 0, range) == 1 &&
            path.length > 0) {
            Order* order = new_order(o, ORDER_TRAVEL);
            if (order) {
                order->cell = path.coords[(path.length < DETOUR_CELLS ? path.length : DETOUR_CELLS) - 1];
                order->group_size = 1;
                order_add_uid(order, u->e->uid);
                st->detour = order->cell;
                st->detouring = true;
                u->target = -1;
            }
        }
        path_free(&path);
    }
}

void think(Opponent* o, GameEnv* env)
{
    o->order_count = 0;
    o->route_checks_left = OPPONENT_ROUTE_CHECKS;
    collect(o, env);
    note_standing(o);
    if (look.own_count == 0 || look.enemy_count == 0)
        return;
    float enemy_left = 0;
    for (int t = 0; t < look.enemy_count; t++)
        enemy_left += look.enemies[t].cost;
    if (o->progress_at < 0 || enemy_left < o->enemy_cost)
        o->progress_at = o->game_time;
    o->enemy_cost = enemy_left;
    look.impatient = o->game_time - o->progress_at > PATIENCE_SECONDS;
    if (!find_contact()) {
        o->contact_since = -1;
        if (!gather(o)) {
            advance(o, env);
            unstick(o, env);
            emit_attacks(o, env);
        }
        return;
    }
    // Only a fight that lasts calls for a new meeting after it: a unit brushing past the range
    // of an enemy on its way must not call the advance back, nor start a meeting under way
    // afresh (brushes every few seconds would keep its time limit from ever running out, and
    // the army would walk to and fro between the enemy and its middle for the rest of the game).
    if (o->contact_since < 0)
        o->contact_since = o->game_time;
    if (o->game_time - o->contact_since >= FIGHT_SECONDS) {
        o->gathered = false;
        o->gather_started = -1;
    }
    float own_dps = 0, own_cost = 0, enemy_dps = 0, enemy_cost = 0;
    for (int i = 0; i < look.own_count; i++) {
        own_dps += look.own[i].dps;
        own_cost += look.own[i].cost;
    }
    for (int t = 0; t < look.enemy_count; t++)
        if (look.enemies[t].engaged && look.enemies[t].e->type != ET_BUILDING) {
            enemy_dps += look.enemies[t].dps;
            enemy_cost += look.enemies[t].cost;
        }
    // Pulling back from an enemy that holds its ground gains nothing: it does not follow, and
    // the fight would only start again at the next advance. Only a pressing enemy is fled, and
    // only its units count: towers never follow a retreat.
    if (enemy_presses() && strength(own_dps, own_cost) < RETREAT_RATIO * strength(enemy_dps, enemy_cost)) {
        if (Entity* b = fallback_building()) {
            fall_back(o, b);
            return;
        }
    }
    focus_fire(o, env);
    // Units the fight at hand has no use for (its enemies are out of their reach) head for the
    // nearest enemy they can reach.
    advance(o, env);
    step_back(o, env);
    unstick(o, env);
    emit_attacks(o, env);
}

}  // namespace

void opponent_init(Opponent* o, int party)
{
    std::memset(o, 0, sizeof(*o));
    o->party = party;
    o->game_time = 0;
    o->next_think = 0;
    o->gather_started = -1;
    o->contact_since = -1;
    o->progress_at = -1;
}

int opponent_step(Opponent* o, GameEnv* env, float dtime)
{
    o->order_count = 0;
    if (o->game_time >= o->next_think) {
        think(o, env);
        o->next_think += OPPONENT_THINK_SECONDS;
        // A long pause (a step longer than a look's interval) gives one look, not a burst.
        if (o->next_think < o->game_time)
            o->next_think = o->game_time + OPPONENT_THINK_SECONDS;
    }
    o->game_time += dtime;
    return o->order_count;
}
