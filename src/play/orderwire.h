// An order record as bytes for the network: the same fields in the same order as the game
// record's order entry, little-endian. Decoding checks only the shape; order_apply checks
// what the order may do, so a record from the other machine can do no more than a click.
#pragma once

#include <cstddef>

#include "order.h"
#include "types.h"

// kind (1), party (1), n uids (2), group size (4), cell x, y, z (4 each, signed), target (4),
// then n uids (4 each).
constexpr size_t ORDERWIRE_HEADER = 24;
constexpr size_t ORDERWIRE_MAX = ORDERWIRE_HEADER + 4 * ORDER_MAX_UIDS;

// Writes the order; returns its length, or 0 when `cap` is too small or the uid count is
// outside 1..ORDER_MAX_UIDS.
size_t order_to_bytes(const Order* order, u8* out, size_t cap);
// Reads an order of exactly `n` bytes: false for a wrong length, an unknown kind, a party
// other than 0 or 1, or a uid count outside 1..ORDER_MAX_UIDS.
bool order_from_bytes(const u8* data, size_t n, Order* out);

// Reads an order of `party` that a turn brings, a moment after its click, into what the world
// takes: the units destroyed meanwhile are left out (order_drop_fallen). False, and nothing to
// apply, when the bytes are not an order of that party, when none of its units is left, or
// when no click could have given it. Every machine of a game decides alike.
bool order_from_turn(const GameEnv* env, int party, const u8* data, size_t n, Order* out);
