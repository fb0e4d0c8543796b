// The server's whole game logic, without sockets: it pairs players by game code, paces the
// turns, relays orders into the next turn, compares the players' world hashes and drops any
// client that breaks the protocol. It never simulates the world. The transport calls in with
// every connection, message and clock tick and carries out the sends and closes it asks for;
// that keeps every rule testable without a network.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "netmsg.h"
#include "types.h"

struct RelayLimits {
    int max_clients = 2200;
    int max_games = 1100;
    u64 hello_timeout_us = 5000000;  // a connection must say who it is within this
    // A hosted game whose guest has not come within this is dropped (10 minutes): a host who
    // went away without closing must not hold a code and a connection for ever.
    u64 join_timeout_us = 600000000;
    u16 steps_per_turn = 4;          // 4 steps of 1/60 s: a turn every 67 ms
    u16 steps_per_second = 60;
    int orders_per_second = 20;      // per client; a burst of as many is allowed
    u32 max_hash_lag = 600;          // turns a player may fall behind in hashes (40 s)
};

// What the relay asks of its transport.
struct RelayIo {
    void* ctx;
    // Queues a message for a client.
    void (*send)(void* ctx, u64 client, const u8* data, size_t n);
    // Closes a client once what was queued for it has gone; the relay has forgotten it.
    void (*close)(void* ctx, u64 client);
    // One line of the server's log, without the newline.
    void (*log)(void* ctx, const char* line);
    // Fills `n` bytes from a cryptographic source: game codes and the world's generator.
    void (*random)(void* ctx, u8* out, size_t n);
    // The calendar second a game's map is built from.
    s64 (*calendar_second)(void* ctx);
};

struct RelayClient {
    u64 connected_us;
    std::string game;      // the game's code, empty before the hello
    int party;             // 0 host, 1 guest
    double order_tokens;   // orders it may still send now
    u64 tokens_us;         // when order_tokens was last refilled
};

struct RelayGame {
    u64 players[2];        // client ids; 0 once gone
    bool started;
    u64 created_us;        // when the host made it
    u64 start_us;
    u32 turns_sent;        // turns 0 .. turns_sent - 1 have gone out
    u32 hashed[2];         // the next turn whose hash each player owes
    std::map<u32, u64> hashes[2];  // hashes received ahead of the other player's
};

struct Relay {
    RelayLimits limits;
    RelayIo io;
    std::map<u64, RelayClient> clients;
    std::map<std::string, RelayGame> games;
    u64 late_hist[1001];   // turns sent late by 0.1 ms steps; the last counts 100 ms and more
    u64 turns_total;
};

void relay_init(Relay* r, const RelayLimits* limits, const RelayIo* io);
// A new connection. False when the server is full (it is refused and closed).
bool relay_connect(Relay* r, u64 client, u64 now_us);
// One message from a client; a client that breaks the protocol is dropped with a log line.
void relay_receive(Relay* r, u64 client, const u8* data, size_t size, u64 now_us);
// A connection went away (`why` for the log); the other player is told and plays on.
void relay_disconnect(Relay* r, u64 client, const char* why);
// Sends every turn that is due, drops connections that never said who they are and games
// nobody joined in time (the host is told).
void relay_tick(Relay* r, u64 now_us);
// The microseconds until the next turn is due (at most `cap_us`).
u64 relay_next_due_us(const Relay* r, u64 now_us, u64 cap_us);
// The lateness of sent turns below which a fraction `p` of them lie, in milliseconds.
double relay_lateness_ms(const Relay* r, double p);
// Tells every client the server is closing, and closes them all.
void relay_shutdown(Relay* r);
