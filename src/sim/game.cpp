#include "game.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "entitytask.h"
#include "portable_math.h"
#include "random.h"
#include "routememo.h"
#include "sound.h"

int next_entity_uid = 1;

namespace {

// Turning rates are in full turns per second and multiplied by this double; headings are
// wrapped with the single-precision bounds (so a wrap adds or subtracts 6.2831855).
constexpr double PI = 3.141592653589793;
constexpr float FPI = 3.1415927f;

float wrap_angle(float a)
{
    return fwrap(a, -FPI, FPI);
}

// Releases every task the entity holds (a travel path included) and forgets its shooting target.
void entity_clear_tasks(Entity* e)
{
    for (int i = 0; i < e->task_queue_len; i++)
        entitytask_clear(&e->task_queue[i]);
    e->task_queue_len = 0;
    entitytask_clear(&e->task);
    e->shoot_target.type = TARGET_NONE;
}

// One frame of stepping from p0 towards p1; turns in place first when the heading is far off.
void entity_move(Entity* e, float dtime, GameEnv* env)
{
    (void)env;
    if (v3i_eq(&e->p0, &e->p1)) {
        e->avg_speed *= 0.95;
        return;
    }
    float s = e->p0.z < e->p1.z ? e->speed_uphill : e->speed;
    V3f d = {(float)e->p1.x - e->pf.x, (float)e->p1.y - e->pf.y, (float)e->p1.z - e->pf.z};
    float dlen = v3f_length(&d);
    if (dlen < 0.05) {
        // Close enough: the entity counts as standing in p1 although pf stays where it is.
        e->p0 = e->p1;
        e->avg_speed *= 0.95;
        return;
    }
    float wanted = portable_atan2f(d.y, d.x);
    float yaw_d = wrap_angle(wanted - e->yaw);
    if (std::fabs(yaw_d) <= PI / 4) {
        e->yaw = wanted;
    } else {
        float turn = (float)(PI * dtime * 2 * e->turn_speed);
        if (std::fabs(turn) > std::fabs(yaw_d)) {
            e->yaw = wanted;
        } else {
            e->yaw = wrap_angle(e->yaw + (yaw_d < 0 ? -turn : turn));
            e->avg_speed *= 0.95;
            return;
        }
    }
    float maxd = s * dtime;
    if (dlen > maxd) {
        v3f_mul(&d, maxd / dlen);
        v3f_add(&e->pf, &d);
    } else {
        e->p0 = e->p1;
        v3f_add(&e->pf, &d);
    }
    e->avg_speed = e->avg_speed * 0.95 + 0.05;
}

// Takes the next waiting task, or an idle task, or marks the entity for deletion.
void entity_choose_task(Entity* e)
{
    if (e->task.type != ETT_NONE)
        return;
    if (e->task_queue_len > 0) {
        e->task = e->task_queue[e->task_queue_len - 1];
        e->task_queue_len--;
    } else if (e->idle_type == IT_NORMAL) {
        entitytask_init_idle(&e->task);
    } else if (e->idle_type == IT_DELETE) {
        e->to_be_deleted = true;
    }
}

// Turns the turret by at most one frame's worth towards its wanted heading.
void entity_turn_turret(Entity* e, float dtime)
{
    if (entity_peripheral_yaw_ready(e))
        return;
    float max_turn = (float)(dtime * e->peripheral_yaw_speed * PI * 2);
    float d = wrap_angle(e->peripheral_wanted_yaw - e->peripheral_yaw);
    if (std::fabs(d) > max_turn)
        d = d < 0 ? -max_turn : max_turn;
    e->peripheral_yaw += d;
}

// One shot at the target's exact position tpf: sound, then a projectile at the muzzle.
void entity_fire(Entity* e, V3f* tpf, GameEnv* env)
{
    e->reload_timer = 0;
    if (e->double_weapon)
        e->first_of_double_shot = !e->first_of_double_shot;
    sound_play_collection_pos(e->shoot_sound, 0.5, &e->pf);
    Projectile* pr = (Projectile*)std::calloc(1, sizeof(Projectile));
    if (!pr)
        return;  // out of memory: this shot is lost, the game goes on
    pr->type = e->projectile_type;
    pr->power = e->projectile_power;
    pr->speed = e->projectile_speed;
    pr->pos = e->pf;
    v3f_add(&pr->pos, &e->peripheral_pf);
    scale_to_view_f(&pr->pos);
    pr->dest = *tpf;
    scale_to_view_f(&pr->dest);
    pr->target_uid = e->shoot_target.type == TARGET_ENTITY ? e->shoot_target.uid : -1;
    pr->party = e->party;
    list_insert_head(&env->projectiles, pr);
}

// The first entity in list order with this uid, or null.
Entity* find_entity_by_uid(int uid, GameEnv* env)
{
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->uid == (u32)uid)
            return e;
    return nullptr;
}

// A destroyed entity becomes nobody's exploding wreck that removes itself when the animation ends.
// A building's wreck holds only its corner cell.
void entity_make_wreck(Entity* e, GameEnv* env)
{
    e->type = ET_UNIT;
    e->health = 1.0;
    e->party = -1;
    e->tx_main = {0, 0.375, 0.0625, 0.0625};
    e->speed = 0;
    e->speed_uphill = 0;
    e->turn_speed = 0;
    e->peripheral = PT_CUSTOM;
    e->peripheral_tx = {0, 0.5, 0.0625, 0.0625};
    e->durability = 1e8;
    e->idle_type = IT_DELETE;
    entity_clear_tasks(e);
    entitytask_init_explode(&e->task);
    e->task_locked = true;
    occupancy_update(env, e);
}

// Damages every entity within half a cell of the impact point hp (voxel space), in list order.
void projectile_hit(Projectile* pr, V3f* hp, GameEnv* env)
{
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        if (v3f_distance(&e->pf, hp) >= 0.5)
            continue;
        sound_play_collection_pos(pr->type == PT_MISSILE ? "explode_large" : "hit", 0.5, &e->pf);
        // Counted before the damage, which may turn the entity into nobody's wreck.
        if (e->party >= 0 && e->party != pr->party)
            env->party_hits++;
        e->health = (double)e->health - (double)pr->power / (double)e->durability;
        if (e->health <= 0) {
            sound_play_collection_pos("explode", 0.5, &e->pf);
            entity_make_wreck(e, env);
        }
    }
}

// One frame of flight; true when the projectile has arrived (and its hits are done).
bool projectile_run(Projectile* pr, float dtime, GameEnv* env)
{
    V3f d = pr->dest;
    v3f_sub(&d, &pr->pos);
    float dlen = v3f_length(&d);
    bool arrived = true;
    if (dlen >= 0.001) {
        V3f step = d;
        v3f_normalize(&step);
        v3f_mul(&step, dtime * pr->speed);
        if (v3f_length(&step) <= dlen) {
            arrived = false;
            v3f_add(&pr->pos, &step);
        }
    }
    if (arrived)
        v3f_add(&pr->pos, &d);  // lands exactly on dest
    if (pr->type == PT_MISSILE) {
        pr->speed += pr->speed * dtime * 5.0;
        Entity* target = find_entity_by_uid(pr->target_uid, env);
        if (target) {
            pr->dest = target->pf;
            scale_to_view_f(&pr->dest);
        }
    }
    if (arrived) {
        V3f hp = pr->pos;
        scale_from_view_f(&hp);
        projectile_hit(pr, &hp, env);
    }
    return arrived;
}

}  // namespace

void entity_init(Entity* e)
{
    std::memset(e, 0, sizeof(*e));
    e->type = ET_UNIT;
    e->variation = myrand_range(500, 2000) / 1000.0;
    e->uid = 0;
    e->party = 0;
    e->tx_main = {0, 0, 1, 1};
    e->size = 1;
    e->speed = 1.2f;
    e->speed_uphill = 0.6f;
    e->turn_speed = 0.5f;
    e->base_graphflags = GF_WALK;
    e->peripheral = PT_NONE;
    e->peripheral_pf = {0, 0, 0};
    e->peripheral_tx = {0, 0, 1, 1};
    e->peripheral_yaw_speed = 1;
    e->can_attack = false;
    e->shoot_range = 4;
    e->projectile_type = PT_BULLET;
    e->projectile_power = 1;
    e->projectile_speed = 20;
    e->shoot_sound = "shoot";
    e->reload_time = 2.5847f;
    e->reload_timer = 0;
    e->shoot_requires_body_aim = false;
    e->double_weapon = false;
    e->double_weapon_delay = 0.2f;
    e->durability = 5;
    e->idle_type = IT_NORMAL;
    e->building_size = {1, 1, 1};
    e->draw_func = nullptr;
    e->health = 1;
    e->shoot_target.type = TARGET_NONE;
    e->task_queue_len = 0;
    e->task_locked = false;
    entitytask_init(&e->task);
}

void entity_set_pos(Entity* e, V3i* p)
{
    e->p0 = *p;
    e->p1 = *p;
    if (e->type == ET_BUILDING) {
        e->pf.x = p->x + (e->building_size.x - 1) * 0.5;
        e->pf.y = p->y + (e->building_size.y - 1) * 0.5;
        e->pf.z = p->z;
    } else {
        v3f_set_xyz(&e->pf, p->x, p->y, p->z);
    }
}

void entity_set_p1(Entity* e, V3i* p, GameEnv* env)
{
    e->p1 = *p;
    occupancy_update(env, e);
}

void entity_start_steptravel(Entity* e, V3i* p)
{
    if (e->task_locked)
        return;
    entity_clear_tasks(e);
    entitytask_init_steptravel(&e->task, p);
}

void entity_start_travel(Entity* e, Target* target, int group_size)
{
    if (e->task_locked)
        return;
    entity_clear_tasks(e);
    entitytask_init_travel(&e->task, target, group_size, 0.0);
}

void entity_start_attack(Entity* e, Target* target)
{
    if (e->task_locked)
        return;
    entity_clear_tasks(e);
    entitytask_init_attack(&e->task, target);
}

bool entity_is_idle(Entity* e)
{
    return e->task.type == ETT_NONE || e->task.type == ETT_IDLE;
}

bool entity_peripheral_yaw_ready(Entity* e)
{
    if (e->peripheral != PT_TURRET)
        return true;
    return std::fabs(wrap_angle(e->peripheral_wanted_yaw - e->peripheral_yaw)) < 0.03;
}

void entity_run(Entity* e, float dtime, GameEnv* env)
{
    e->reload_timer += dtime;

    entity_choose_task(e);
    // A finished task is replaced at the start of the next frame, not now.
    if (entitytask_run(e, dtime, env) == 0)
        entitytask_clear(&e->task);
    if (e->to_be_deleted)
        return;

    V3i tp0;
    V3f tpf;
    bool has_target = target_get_pos(&tp0, &tpf, &e->shoot_target, env, true);
    float target_distance = 0;
    if (has_target) {
        e->peripheral_wanted_yaw = portable_atan2f(tpf.y - e->pf.y, tpf.x - e->pf.x);
        target_distance = v3i_distance(&tp0, &e->p0);
    }

    // Also without a target, so the turret follows whatever heading a task has set.
    entity_turn_turret(e, dtime);

    if (has_target) {
        bool shoot_yaw_ready = e->peripheral == PT_TURRET ? entity_peripheral_yaw_ready(e) : false;
        if (e->shoot_requires_body_aim && v3i_eq(&e->p0, &e->p1)) {
            // The body aims at the target's cell, not at its exact position.
            float wanted = portable_atan2f(tp0.y - e->pf.y, tp0.x - e->pf.x);
            float d = wrap_angle(wanted - e->yaw);
            float max_turn = (float)(dtime * e->turn_speed * PI * 2);
            if (std::fabs(d) < 0.03 || std::fabs(d) <= max_turn) {
                e->yaw += d;
                shoot_yaw_ready = true;
            } else {
                e->yaw += d < 0 ? -max_turn : max_turn;
            }
        }
        bool loaded;
        if (e->double_weapon && !e->first_of_double_shot)
            loaded = e->reload_timer >= e->double_weapon_delay;
        else
            loaded = e->reload_timer >= e->reload_time;
        if (loaded && target_distance <= e->shoot_range && shoot_yaw_ready)
            entity_fire(e, &tpf, env);
    }

    if (e->base_graphflags != 0 && e->type != ET_BUILDING)
        entity_move(e, dtime, env);
}

void gameenv_init(GameEnv* env)
{
    voxeldata_init(&env->voxeldata);
    list_init(&env->entities);
    list_init(&env->projectiles);
    occupancy_init(&env->occupancy);
    env->scan_for_content = false;
    env->party_hits = 0;
    env->route_memo = nullptr;
}

void gameenv_terrain_final(GameEnv* env)
{
    route_memo_free(env->route_memo);
    env->route_memo = route_memo_new();
}

void gameenv_add_entity(GameEnv* env, Entity* e)
{
    list_insert_head(&env->entities, e);
    occupancy_insert(env, e);
}

void gameenv_remove_entity(GameEnv* env, Entity* e)
{
    occupancy_remove(env, e);
    list_remove(e);
}

void gameenv_free(GameEnv* env)
{
    route_memo_free(env->route_memo);
    env->route_memo = nullptr;
    voxeldata_free(&env->voxeldata);
    occupancy_free(&env->occupancy);
    while (Entity* e = env->entities.lh_first) {
        list_remove(e);
        entity_clear_tasks(e);
        std::free(e);
    }
    while (Projectile* pr = env->projectiles.lh_first) {
        list_remove(pr);
        std::free(pr);
    }
}

void gameenv_run(GameEnv* env, float dtime)
{
    // Each entity completes its whole update before the next starts; a removed entity was still
    // seen by those before it in the list.
    for (Entity* e = env->entities.lh_first; e;) {
        entity_run(e, dtime, env);
        Entity* next = e->entries.le_next;
        if (e->to_be_deleted) {
            gameenv_remove_entity(env, e);
            entity_clear_tasks(e);
            std::free(e);
        }
        e = next;
    }
    // Projectiles fired above are included and move in this frame.
    for (Projectile* pr = env->projectiles.lh_first; pr;) {
        Projectile* next = pr->entries.le_next;
        if (projectile_run(pr, dtime, env)) {
            list_remove(pr);
            std::free(pr);
        }
        pr = next;
    }
}
