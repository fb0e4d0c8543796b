#include "entitytask.h"

#include "game.h"

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
