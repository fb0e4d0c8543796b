// The server's network side: one port that serves the page folder over HTTP and game
// connections over WebSocket at /play, feeding the relay. This interface keeps the network
// library out of every other file: only wsserver.cpp includes it.
#pragma once

#include "relay.h"

struct ServerOptions {
    const char* address = "127.0.0.1";
    unsigned short port = 8000;   // 0: any free port (the one chosen is printed)
    const char* page_dir = "build-web";
    RelayLimits limits;
    int max_http_connections = 256;
    int stats_seconds = 0;        // >0: a line of turn timing and counts this often
};

// Serves until SIGINT or SIGTERM; prints "Listening on http://ADDR:PORT/" once ready. Returns
// the program's exit status (1 when the port cannot be had).
int server_run(const ServerOptions* options);
