#include "serveraddress.h"

#include <cstdio>

bool server_address_parse(const char* url, ServerAddress* a, char* err, size_t err_size)
{
    std::string u = url;
    a->secure = u.compare(0, 6, "wss://") == 0;
    if (!a->secure && u.compare(0, 5, "ws://") != 0) {
        std::snprintf(err, err_size, "%s: not a ws:// or wss:// address", url);
        return false;
    }
    std::string rest = u.substr(a->secure ? 6 : 5);
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    size_t colon = rest.rfind(':');
    if (rest.empty() || rest.find('/') != std::string::npos || colon == 0) {
        std::snprintf(err, err_size, "%s: expected %s://HOST:PORT", url, a->secure ? "wss" : "ws");
        return false;
    }
    a->hostport = rest;
    a->host = colon == std::string::npos ? rest : rest.substr(0, colon);
    a->port = colon == std::string::npos ? (a->secure ? "443" : "80") : rest.substr(colon + 1);
    return true;
}
