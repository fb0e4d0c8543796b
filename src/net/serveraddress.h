// A game server's address as a player gives it (--host/--join, or the page's own location):
// ws://HOST[:PORT] in the clear or wss://HOST[:PORT] over TLS, a trailing slash allowed. The
// desktop and the page parse it alike, whatever connects to it.
#pragma once

#include <cstddef>
#include <string>

struct ServerAddress {
    bool secure;           // wss://
    std::string hostport;  // HOST[:PORT] as given
    std::string host;
    std::string port;      // as given, else 443 for wss:// and 80 for ws://
};

// False, with the reason naming `url` in err, when it is not such an address.
bool server_address_parse(const char* url, ServerAddress* a, char* err, size_t err_size);
