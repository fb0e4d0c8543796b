// The player's two commands as records: travel to a cell, attack an entity. Whoever gives an
// order (a click, a replay, later the computer or a remote player) builds one of these, and
// order_apply is the one way it reaches the world. Applying checks every uid, so a record read
// from a file can never do what a click cannot.
#pragma once

#include <cstddef>

#include "game.h"
#include "types.h"

enum OrderKind : int {  // a fixed type: a record read from a file may hold any number
    ORDER_TRAVEL = 1,
    ORDER_ATTACK = 2,
};

// More than every entity a party can have: a new game gives each party at most 5 x 5 units
// and 4 buildings.
constexpr int ORDER_MAX_UIDS = 256;
// The largest group size a record may carry: every entity of both parties together.
constexpr int ORDER_MAX_GROUP = 2 * ORDER_MAX_UIDS;

struct Order {
    OrderKind kind;
    int party;         // the party whose units it commands: 0 or 1
    int group_size;    // travel: the group size given to every traveller, 1..ORDER_MAX_GROUP
    V3i cell;          // travel: destination cell
    u32 target_uid;    // attack: the entity attacked
    int uid_count;     // 1..ORDER_MAX_UIDS
    u32 uids[ORDER_MAX_UIDS];  // the entities it applies to, in world list order
};

// An empty travel or attack record of `party`: no uids yet, group size 0, target 0.
void order_init(Order* order, OrderKind kind, int party);
// Appends a uid; false when the record is full.
bool order_add_uid(Order* order, u32 uid);

// Whether the record could have come from a click in `env`: a known kind and party, 1 to
// ORDER_MAX_UIDS distinct uids, each a living entity of the order's party able to do it (travel:
// a unit; attack: an entity that can fire), a travel's cell inside the map and its group size
// at least its uid count, an attack's target an entity in the world. False with the first
// reason in `why` (when given) otherwise.
bool order_valid(const GameEnv* env, const Order* order, char* why, size_t why_size);

// Drops the uids that no longer name an entity of the order's party (destroyed since the order
// was given: a wreck is nobody's), keeping the others in their order; returns how many are
// left. An order that travels over the network reaches the world a moment after the click, and
// a unit lost meanwhile must not cost the player the order of all the others.
int order_drop_fallen(const GameEnv* env, Order* order);

// Carries the order out: every uid is checked (alive, of order->party, able to do it); those
// that pass start the travel or the attack, in world list order whatever the order of the uids.
// Returns how many entities took it (0: nothing happened). An entity whose task is locked
// ignores it and does not count.
int order_apply(GameEnv* env, const Order* order);
