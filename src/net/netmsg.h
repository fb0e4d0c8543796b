// The network game's messages. Every message is one WebSocket binary message: a version byte,
// a kind byte and the kind's fields, little-endian, field by field. Nothing is ever sent as a
// raw struct, so the desktop and the browser read the same bytes the same way.
//
//   kind            direction  fields after version and kind
//   1 hello         to server  role (1 host, 2 join), 5 code letters (zeros when hosting)
//   2 order         to server  party (1), n (2), n bytes of the order as the game encodes it
//   3 hash          to server  turn (4), world hash after the turn's last step (8)
//  16 welcome       to client  5 code letters, the party this player commands (1)
//  17 start         to client  calendar second (8, signed), generator state (4), uid counter (4),
//                              steps per turn (2), steps per second (2)
//  18 order at      to client  turn (4), party (1), n (2), n bytes: applied before the turn's
//                              first step, in the order received
//  19 turn          to client  turn (4): every order of that turn has been sent; run it
//  20 peer left     to client  (nothing)
//  21 end           to client  reason (1: out of sync, 2: server closing, 3: nobody joined the
//                              hosted game in time), frame (4)
//  22 refused       to client  reason (1 unknown code, 2 game full, 3 server full, 4 bad message)
//
// Turns count from 0; turn t holds steps t * steps_per_turn .. (t + 1) * steps_per_turn - 1.
#pragma once

#include <cstddef>

#include "types.h"

constexpr u8 NET_VERSION = 1;
// The longest message either side accepts; anything longer breaks the protocol.
constexpr size_t NET_MAX_MESSAGE = 1400;
// The longest encoded order a message may carry.
constexpr size_t NET_MAX_ORDER_BYTES = 1300;
constexpr int NET_CODE_LEN = 5;

enum NetKind : u8 {
    NET_HELLO = 1,
    NET_ORDER = 2,
    NET_HASH = 3,
    NET_WELCOME = 16,
    NET_START = 17,
    NET_ORDER_AT = 18,
    NET_TURN = 19,
    NET_PEER_LEFT = 20,
    NET_END = 21,
    NET_REFUSED = 22,
};

enum NetRole : u8 { NET_ROLE_HOST = 1, NET_ROLE_JOIN = 2 };
enum NetEndReason : u8 { NET_END_OUT_OF_SYNC = 1, NET_END_SERVER_CLOSING = 2, NET_END_NOBODY_JOINED = 3 };
enum NetRefusal : u8 {
    NET_REFUSED_UNKNOWN_CODE = 1,
    NET_REFUSED_GAME_FULL = 2,
    NET_REFUSED_SERVER_FULL = 3,
    NET_REFUSED_BAD_MESSAGE = 4,
};

// One decoded message; only the fields of its kind mean anything.
struct NetMsg {
    NetKind kind;
    u8 role;                    // hello
    char code[NET_CODE_LEN];    // hello (join), welcome: 'A'..'Z'; not terminated
    u8 party;                   // order, order at, welcome: 0 or 1
    u32 turn;                   // hash, order at, turn
    u64 hash;                   // hash
    s64 second;                 // start
    u32 generator;              // start
    u32 uid_counter;            // start
    u16 steps_per_turn;         // start: 1..600
    u16 steps_per_second;       // start: 1..1000
    u8 reason;                  // end, refused
    u32 frame;                  // end
    u16 order_len;              // order, order at: 1..NET_MAX_ORDER_BYTES
    u8 order[NET_MAX_ORDER_BYTES];
};

// Writes `msg` into `out`; returns its length, or 0 when a field is out of range or `cap` is
// too small.
size_t net_encode(const NetMsg* msg, u8* out, size_t cap);
// Reads one message: false with the reason in `why` for a message that is too long or short
// for its kind, of another version, of an unknown kind, or with a field out of range (a party
// but 0 or 1, a code with other than capital letters, an empty order). Trailing bytes are an
// error too, so every accepted message has exactly one encoding.
bool net_decode(const u8* data, size_t size, NetMsg* out, char* why, size_t why_size);

// A message of `kind` with every field zero.
void net_msg_init(NetMsg* msg, NetKind kind);
// Whether `code` is NET_CODE_LEN capital letters.
bool net_code_valid(const char* code);
