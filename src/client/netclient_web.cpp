// The page's connection to the game server is not built yet: a network game is refused with
// a message rather than started half-way.
#include "netclient.h"

#include <cstdio>

NetClient* netclient_open(const char* url, LockstepSession*, char* err, size_t err_size)
{
    std::snprintf(err, err_size, "%s: network games are not available in the browser yet", url);
    return nullptr;
}

void netclient_run(int) {}
void netclient_send(NetClient*) {}
bool netclient_lost(const NetClient*) { return true; }
void netclient_close(NetClient*) {}
