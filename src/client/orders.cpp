#include "orders.h"

#include <cstdio>

#include "netgame.h"
#include "recording.h"
#include "shell.h"

int submit_order(const Order* order)
{
    // A record that no click could give is refused whole, here as in a replay, so that the
    // game played and the game recorded can never part.
    char why[160];
    if (!order_valid(&main_gameenv, order, why, sizeof why)) {
        std::fprintf(stderr, "Order refused: %s\n", why);
        return 0;
    }
    if (netgame_active()) {
        // Applied when the server's turn brings it back, on both machines at the same step.
        netgame_submit(order);
        return 0;
    }
    recording_order(order);
    return order_apply(&main_gameenv, order);
}
