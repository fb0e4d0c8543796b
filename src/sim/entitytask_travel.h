// The travel task's run, shared between the dispatcher and the travel logic.
#pragma once

struct Entity;
struct GameEnv;

// One frame of a travel task: 1 still travelling, 0 finished.
int entitytask_travel_run(Entity* e, float dtime, GameEnv* env);
