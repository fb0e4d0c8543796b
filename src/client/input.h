// Event handling: turns every SDL event into key and button states, menu input,
// program-state changes and, in play, camera motion, selection and orders.
#pragma once

#include <SDL/SDL.h>

// Handles one event from the queue; never fails.
void handle_event(SDL_Event* event);
