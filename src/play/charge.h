// The simplest rush, kept as the baseline the computer opponent is measured against: every few
// seconds of game time every unit of its party that can fire is ordered to attack the nearest
// enemy entity. It gives orders only through order records, as a player does.
#pragma once

#include "game.h"
#include "order.h"

constexpr float CHARGE_PERIOD_SECONDS = 3;  // game time between two rounds of orders
constexpr int CHARGE_MAX_ORDERS = 32;       // orders one round can give (one per target)

struct Charge {
    int party;           // the party it commands
    double game_time;    // seconds of game time fed so far
    double next_round;   // game time of the next round of orders
    int order_count;     // orders of the last round
    Order orders[CHARGE_MAX_ORDERS];
};

// A fresh rush for `party`; its first round comes with its first step.
void charge_init(Charge* c, int party);
// Advances its clock by dtime; on a round, fills c->orders (a unit already attacking its
// nearest enemy is left alone). Returns how many orders to apply before the step.
int charge_step(Charge* c, const GameEnv* env, float dtime);
