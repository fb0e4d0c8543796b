// The travel task's run, shared between the dispatcher and the travel logic.
#pragma once

struct Entity;
struct GameEnv;

// Cells a travelling unit's route search may expand; a target farther round than that is not
// found by the unit on its own.
constexpr int TRAVEL_ROUTE_BUDGET = 1000;

// One frame of a travel task: 1 still travelling, 0 finished.
int entitytask_travel_run(Entity* e, float dtime, GameEnv* env);
