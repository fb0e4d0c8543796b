// One player's side of a network game: the world advances only in the server's turns. Orders
// (this player's and the other's) come back from the server tagged with the turn before whose
// first step both machines apply them, so both run the same steps with the same orders; after
// each turn's last step the world's hash goes to the server, which compares the two.
//
// The session knows nothing of sockets or of the world: the transport hands it every message
// received and sends what lockstep_next_outgoing gives, and the game supplies the world through
// LockstepWorld. It allocates only in lockstep_init.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "netmsg.h"
#include "types.h"

// The world as the session drives it; the game binds these to its own update.
struct LockstepWorld {
    void* ctx;
    // Applies an order of `party` (as the game encoded it) before the next step; a record the
    // game refuses simply does nothing, on both machines alike.
    void (*apply_order)(void* ctx, int party, const u8* bytes, size_t n);
    // Called once when the start message arrives: builds the world the server fixed.
    void (*start)(void* ctx, const NetMsg* start);
    // One fixed step of `dt` seconds.
    void (*step)(void* ctx, float dt);
    // The world hash now.
    u64 (*hash)(void* ctx);
};

enum LockstepState {
    LOCKSTEP_CONNECTING,  // hello sent, no answer yet
    LOCKSTEP_WAITING,     // in a game, waiting for the other player to join
    LOCKSTEP_PLAYING,     // started: turns arrive
    LOCKSTEP_ENDED,       // out of sync, refused, closed or the protocol broken: see the fields
};

// Received orders are kept until their turn runs. A page that runs no frames for a while (a
// hidden tab) keeps receiving the other player's orders and runs them all when it catches up,
// so the bound is on memory only: at the server's rate of orders it is more than half an hour
// of the largest orders.
constexpr size_t LOCKSTEP_MAX_PENDING_BYTES = 16u << 20;
// Messages kept until the transport sends them.
constexpr int LOCKSTEP_MAX_OUTBOX = 64;
// A client behind the server catches up at most this many steps per frame.
constexpr int LOCKSTEP_MAX_STEPS_PER_CALL = 120;
// Seconds with a step due and no turn to run it before the player is told they wait.
constexpr double LOCKSTEP_WAIT_NOTICE = 1.0;

struct LockstepPending {
    u32 turn;
    u8 party;
    std::vector<u8> bytes;  // the order record as sent
};

struct LockstepOutgoing {
    u16 len;
    u8 bytes[NET_MAX_MESSAGE];
};

struct LockstepSession {
    LockstepWorld world;
    LockstepState state;
    char code[NET_CODE_LEN + 1];  // the game's code once welcomed, terminated
    int party;                    // the party this player commands, once welcomed
    u16 steps_per_turn;           // from the start message
    float step_seconds;           // 1 / steps per second
    u32 turns_ready;              // turns 0 .. turns_ready - 1 have arrived complete
    u32 steps_done;               // steps run since the start: the game's frame
    double owed;                  // real seconds not yet run as steps
    double waiting;               // seconds a step has been due with no turn to run it
    bool peer_left;               // the other player has left; play goes on
    bool closing;                 // the server is stopping: the turns received still run, then
                                  // the session ends, so both players stop at the same frame
    u8 end_reason;                // NetEndReason once ended by the server, else 0
    u32 end_frame;                // the frame the server named in its end message
    u8 refused;                   // NetRefusal when the server refused us, else 0
    char error[128];              // why the session ended, for the player
    std::deque<LockstepPending> pending;  // in the order received
    size_t pending_bytes;                 // of the orders in pending
    std::vector<LockstepOutgoing> outbox;  // ring, LOCKSTEP_MAX_OUTBOX
    int outbox_head, outbox_count;
    std::vector<NetMsg> scratch;  // one message decoded or built at a time
};

// A session that will host a game (code null) or join the game of `code`; the hello is queued.
// False when the code is not five capital letters.
bool lockstep_init(LockstepSession* s, const LockstepWorld* world, const char* code);
// Handles one message from the server. False (and the session ended with the reason in
// s->error) when it breaks the protocol: undecodable, out of order, or more than fits.
bool lockstep_receive(LockstepSession* s, const u8* data, size_t size);
// Runs the steps that `real_dt` seconds make due and whose turns have arrived, and more when
// a whole turn or more is waiting (catching up); returns how many ran.
int lockstep_advance(LockstepSession* s, double real_dt);
// Queues one of this player's orders for the server. False when not playing or the outbox is
// full (the order is then dropped, as a click that did not happen).
bool lockstep_submit(LockstepSession* s, const u8* bytes, size_t n);
// The next message to send, or null; valid until the next call on the session.
const LockstepOutgoing* lockstep_next_outgoing(LockstepSession* s);
// Whether the player should be told that the game waits for the other player.
bool lockstep_waiting_notice(const LockstepSession* s);
// The transport lost the server: the session ends with that reason (after the turns already
// received, when the server said it was stopping).
void lockstep_connection_lost(LockstepSession* s);
