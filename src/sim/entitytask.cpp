// The task records, the dispatcher and the simple tasks: idle, step-travel, attack, explode.
#include "entitytask.h"

#include "entitytask_travel.h"
#include "game.h"
#include "portable_math.h"

void entitytask_clear(EntityTask* task)
{
    if (task->type == ETT_TRAVEL)
        path_free(&task->travel.path);
    task->type = ETT_NONE;
}

void entitytask_init(EntityTask* task)
{
    task->type = ETT_NONE;
}

void entitytask_init_idle(EntityTask* task)
{
    task->type = ETT_IDLE;
    task->idle.check_timer = 0;
}

void entitytask_init_steptravel(EntityTask* task, V3i* p)
{
    task->type = ETT_STEPTRAVEL;
    task->steptravel.p = *p;
}

void entitytask_init_travel(EntityTask* task, Target* target, int group_size, float wanted_distance)
{
    task->type = ETT_TRAVEL;
    TravelTask* t = &task->travel;
    t->target = *target;
    t->group_size = group_size;
    t->wanted_distance = wanted_distance;
    path_init(&t->path);
    t->blocked_count = 0;
    t->full_retry_count = 0;
    t->full_retry_timer = 0;
    // The first detour and push-aside decisions are due at once.
    t->roundabout_timer = 10000;
    t->pathfind_timer = 10000;
    t->finish_animate = -1;
}

void entitytask_init_attack(EntityTask* task, Target* target)
{
    task->type = ETT_ATTACK;
    task->attack.target = *target;
    // The first range check is due at once.
    task->attack.check_timer = 10000;
}

void entitytask_init_explode(EntityTask* task)
{
    task->type = ETT_EXPLODE;
    task->explode.frame_timer = 0;
}

bool target_get_pos(V3i* pos, V3f* pf, Target* target, GameEnv* env, bool stable)
{
    if (target->type == TARGET_COORDS) {
        if (pos)
            *pos = target->p;
        if (pf)
            v3f_set_xyz(pf, target->p.x, target->p.y, target->p.z);
        return true;
    }
    if (target->type != TARGET_ENTITY)
        return false;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        if (e->uid != (u32)target->uid)
            continue;
        if (pos)
            *pos = stable ? e->p0 : e->p1;
        if (pf)
            *pf = e->pf;
        return true;
    }
    return false;
}

namespace {

// Every variation seconds: keep a target still in range, else take the first enemy in range.
int entitytask_idle_run(Entity* e, float dtime, GameEnv* env)
{
    IdleTask* t = &e->task.idle;
    t->check_timer += dtime;
    if (t->check_timer < e->variation)
        return 1;
    t->check_timer = 0;
    V3i tp;
    if (target_get_pos(&tp, nullptr, &e->shoot_target, env, true) &&
        v3i_distance(&e->p0, &tp) <= e->shoot_range)
        return 1;
    e->shoot_target.type = TARGET_NONE;
    Entity* o = env->scan_for_content
                    ? occupancy_first_enemy_scan(env, &e->p0, e->party, e->shoot_range)
                    : occupancy_first_enemy(env, &e->p0, e->party, e->shoot_range);
    if (o) {
        e->shoot_target.type = TARGET_ENTITY;
        e->shoot_target.uid = (int)o->uid;
    }
    return 1;
}

// One step into a neighbouring cell. The unit that pushed this one aside found the cell free,
// but nothing held it since: another push or a passing unit may have taken it before this
// unit's turn came, and two units sharing a cell never block each other again. So the cell is
// looked at once more, as the push did, and if it is taken the step is given up where the unit
// stands; the pusher then waits, goes round or plans anew as when a push fails.
int entitytask_steptravel_run(Entity* e, float dtime, GameEnv* env)
{
    (void)dtime;
    V3i* p = &e->task.steptravel.p;
    e->peripheral_wanted_yaw = portable_atan2f(p->y - e->pf.y, p->x - e->pf.x);
    if (!v3i_eq(&e->p0, &e->p1))
        return 1;
    if (v3i_eq(&e->p0, p))
        return 0;
    CheckedContent cc;
    check_content(&cc, p, env);
    if (cc.type != CCT_NONE)
        return 0;
    entity_set_p1(e, p, env);
    return 1;
}

// Keeps the target as the shooting target; out of range, hands over to an approach travel
// followed by a fresh attack.
int entitytask_attack_run(Entity* e, float dtime, GameEnv* env)
{
    AttackTask* t = &e->task.attack;
    t->check_timer += dtime;
    if (t->check_timer < e->variation * 0.5)
        return 1;
    t->check_timer = 0;
    V3i tp;
    if (!target_get_pos(&tp, nullptr, &t->target, env, true)) {
        e->shoot_target.type = TARGET_NONE;
        return 0;
    }
    e->shoot_target = t->target;
    if (v3i_distance(&e->p0, &tp) > e->shoot_range) {
        Target target = t->target;
        for (int i = 0; i < e->task_queue_len; i++)
            entitytask_clear(&e->task_queue[i]);
        // The queue is a stack: the travel at index 1 runs first, the attack resumes after it.
        entitytask_init_attack(&e->task_queue[0], &target);
        entitytask_init_travel(&e->task_queue[1], &target, 1, (float)e->shoot_range);
        e->task_queue_len = 2;
        return 0;
    }
    return 1;
}

// Eight frames of at least 0.125 s each, then the wreck asks to be removed.
int entitytask_explode_run(Entity* e, float dtime, GameEnv* env)
{
    (void)env;
    float* frame_timer = &e->task.explode.frame_timer;
    *frame_timer += dtime;
    if (*frame_timer < 0.125)
        return 1;
    if (e->peripheral_frame == 7) {
        e->to_be_deleted = true;
        return 0;
    }
    *frame_timer = 0;
    e->peripheral_frame += 1;
    return 1;
}

}  // namespace

int entitytask_run(Entity* e, float dtime, GameEnv* env)
{
    switch (e->task.type) {
    case ETT_NONE:
        return 0;
    case ETT_IDLE:
        return entitytask_idle_run(e, dtime, env);
    case ETT_STEPTRAVEL:
        return entitytask_steptravel_run(e, dtime, env);
    case ETT_TRAVEL:
        return entitytask_travel_run(e, dtime, env);
    case ETT_ATTACK:
        return entitytask_attack_run(e, dtime, env);
    case ETT_EXPLODE:
        return entitytask_explode_run(e, dtime, env);
    }
    return -1;
}
