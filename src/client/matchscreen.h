// The end of a game that has an end (against the computer, or against another player over
// the network) drawn over the world: the result from the player's side, the game time, both
// parties' losses and the way back to the main menu.
#pragma once

#include "matchend.h"

// `party` is the player's; `other` names the other party in the losses line ("computer").
// Window pixels.
void match_draw_end(const MatchState* m, int party, const char* other, int w, int h);
