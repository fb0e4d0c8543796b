// A player's connection to the game server, carrying one lockstep session's messages. The
// desktop's runs on the same network library as the server; the frame loop polls it, so no
// thread is needed. Every call is from the main thread.
#pragma once

#include <cstddef>

#include "lockstep.h"

struct NetClient;

// Starts connecting to `url` (ws://ADDR:PORT) for the session, which must outlive the client.
// Null with the reason in `err` for a URL this client cannot use.
NetClient* netclient_open(const char* url, LockstepSession* session, char* err, size_t err_size);
// Does whatever network work is ready, waiting at most `wait_ms` for some: messages received
// go to their sessions at once (so the world may change only in lockstep_advance). For every
// open client.
void netclient_run(int wait_ms);
// Hands what the session has queued to the network.
void netclient_send(NetClient* c);
// Whether the connection has gone (the session was told: lockstep_connection_lost).
bool netclient_lost(const NetClient* c);
// Closes the connection and frees the client; null is ignored.
void netclient_close(NetClient* c);
