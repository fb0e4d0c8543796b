// What an entity is doing and aiming at: targets, the task records and the task machine.
#pragma once

#include "pathfind.h"
#include "types.h"

struct Entity;
struct GameEnv;

enum TargetType {
    TARGET_NONE = 0,
    TARGET_COORDS = 1,
    TARGET_ENTITY = 2,
};

// Something to go to or shoot at. An entity is held by uid, never by pointer: the target is
// valid exactly while an entity with that uid is in the entity list.
struct Target {
    TargetType type;
    union {
        V3i p;    // TARGET_COORDS: the voxel cell
        int uid;  // TARGET_ENTITY: the entity's uid
    };
};

enum EntityTaskType {
    ETT_NONE = 0,
    ETT_IDLE = 1,
    ETT_STEPTRAVEL = 2,
    ETT_TRAVEL = 3,
    ETT_ATTACK = 4,
    ETT_EXPLODE = 5,
};

struct IdleTask {
    float check_timer;  // seconds since the last target check
};

struct TravelTask {
    Target target;           // where to go
    int group_size;          // units sent to the same destination together; widens the arrival tolerance
    float wanted_distance;   // below 1: go to the target cell itself; from 1: stop within this distance
    Path path;               // the route being followed; owned by the task
    V3i blocked[100];        // cells found blocked on the way, kept out of the next route search
    int blocked_count;       // valid entries in blocked, 0..100
    int full_retry_count;    // failed full re-plans and short route ends; more than 2 ends the travel
    float full_retry_timer;  // seconds since the last full re-plan (also reset by a push-aside)
    float roundabout_timer;  // seconds since the last detour attempt (also reset by a push-aside)
    float pathfind_timer;    // seconds since a blocker was last pushed aside
    int finish_animate;      // -1 while travelling; 0, 1, 2: phases of the closing turret sweep
};

struct AttackTask {
    Target target;      // what to attack
    float check_timer;  // seconds since the last range check
};

// A tagged union: only the member named by `type` is meaningful.
struct EntityTask {
    EntityTaskType type;
    union {
        IdleTask idle;
        struct {
            V3i p;  // the neighbouring cell to step into
        } steptravel;
        TravelTask travel;
        AttackTask attack;
        struct {
            float frame_timer;  // seconds since the animation frame last advanced
        } explode;
    };
};

// The init operations overwrite a task without releasing it; clear a task that may hold a path first.

// Releases a travel task's path; the task becomes ETT_NONE.
void entitytask_clear(EntityTask* task);
// An empty task (ETT_NONE).
void entitytask_init(EntityTask* task);
// An idle task with its check timer at 0.
void entitytask_init_idle(EntityTask* task);
// One step into the neighbouring cell p.
void entitytask_init_steptravel(EntityTask* task, V3i* p);
// A travel to target with an empty path; the detour and push-aside decisions are due at once.
void entitytask_init_travel(EntityTask* task, Target* target, int group_size, float wanted_distance);
// An attack on target whose first range check is due at once.
void entitytask_init_attack(EntityTask* task, Target* target);
// The explosion animation of a wreck.
void entitytask_init_explode(EntityTask* task);

// Where the target is: its cell (an entity's p0 when stable, else its p1) into *pos and its exact
// position into *pf; either may be null. False, outputs untouched, when the target does not exist.
bool target_get_pos(V3i* pos, V3f* pf, Target* target, GameEnv* env, bool stable);

// Advances e->task by one frame: 1 the task goes on, 0 it has finished, -1 unknown task type.
int entitytask_run(Entity* e, float dtime, GameEnv* env);

// Tries to make `entity` (an idle unit of `party`) step aside into a neighbouring cell other than
// the disalloweds, pushing further idle friends up to `recur` levels deep; true when a step began.
bool move_entity_out_of_way(Entity* entity, GameEnv* env, V3i* disalloweds, int disalloweds_len,
                            int disalloweds_max_len, int recur, int party);
