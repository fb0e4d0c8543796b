#include "orders.h"

#include "shell.h"

int submit_order(const Order* order)
{
    return order_apply(&main_gameenv, order);
}
