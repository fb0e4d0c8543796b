// What the computer opponent knows of routes: whether a unit of ours gets within range of an
// enemy where both stand, as the route search answered it, and the long routes it keeps to lead
// units along where their own travel's search gives up. Facts and routes live in the Opponent
// record, so two opponents in one process know each their own.
#pragma once

#include "opponent.h"

// A unit's kind of movement in route questions: 0 walking, 1 floating too.
int opponent_move_kind(const Entity* e);

// The destination cell of this unit's travel, when it travels to a cell.
bool opponent_travel_cell(const Entity* e, V3i* cell);

// What is known of `unit` getting within range of `target` where both stand, or of a unit of
// its kind standing beside it on its level (which goes where it goes); null when nothing is.
const OpponentReach* opponent_known_reach(Opponent* o, const Entity* unit, const Entity* target);

// Whether `unit` can get within firing range of `target`: 1 yes, 0 no, -1 not known yet (the
// look has spent its route searches, o->route_checks_left). A target only a longer search than
// the unit's own travel finds is a fact too, and its route is kept to lead the unit along.
int opponent_reaches(Opponent* o, GameEnv* env, const Entity* unit, const Entity* target);

enum OpponentStage {
    OPPONENT_GO_STRAIGHT,  // it can go straight to the target
    OPPONENT_GO_TO_STAGE,  // it goes to the next stage of a long route
    OPPONENT_GO_ON,        // not known this look: it goes on doing what it does
};

// How `unit` gets to `target`; for OPPONENT_GO_TO_STAGE, *cell is its next stage, some way along
// the kept route from the route's cell nearest to it.
OpponentStage opponent_next_stage(Opponent* o, GameEnv* env, const Entity* unit, const Entity* target,
                                  V3i* cell);
