// The one way the client changes the world between updates. Every order of a frame (the
// player's clicks, and whoever else commands a party) goes through submit_order, which
// applies it to main_gameenv at once and, while the game is recorded, hands it to the recorder.
#pragma once

#include "order.h"

// Applies the order to the current game in this frame; returns order_apply's count.
int submit_order(const Order* order);
