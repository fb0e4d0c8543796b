// quorvale-server: pairs players by game code and relays their lockstep games.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wsserver.h"

namespace {

const char* const usage =
    "Usage: quorvale-server [--listen ADDR:PORT] [--page DIR] [--max-games N] [--join-wait SECONDS]\n"
    "                       [--stats SECONDS]\n"
    "  --listen ADDR:PORT  where to accept players (default 127.0.0.1:8000; port 0 picks one)\n"
    "  --page DIR          the browser page's folder served over HTTP (default build-web)\n"
    "  --max-games N       games at once (default 1100; twice as many connections)\n"
    "  --join-wait SECONDS how long a hosted game waits for its guest (default 600)\n"
    "  --stats SECONDS     log turn timing and counts this often\n";

bool parse_number(const char* s, long lo, long hi, long* out)
{
    char* end;
    long v = std::strtol(s, &end, 10);
    if (*s == 0 || *end != 0 || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ServerOptions o;
    static std::string address;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::printf("%s", usage);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n%s", argv[i], usage);
            return 2;
        }
        const char* v = argv[++i];
        long n;
        if (a == "--listen") {
            std::string s = v;
            size_t colon = s.rfind(':');
            if (colon == std::string::npos || colon == 0 ||
                !parse_number(s.c_str() + colon + 1, 0, 65535, &n)) {
                std::fprintf(stderr, "--listen wants ADDR:PORT, not %s\n", v);
                return 2;
            }
            address = s.substr(0, colon);
            o.address = address.c_str();
            o.port = (unsigned short)n;
        } else if (a == "--page") {
            o.page_dir = v;
        } else if (a == "--max-games" && parse_number(v, 1, 100000, &n)) {
            o.limits.max_games = (int)n;
            o.limits.max_clients = (int)n * 2 + 200;
        } else if (a == "--join-wait" && parse_number(v, 1, 86400, &n)) {
            o.limits.join_timeout_us = (u64)n * 1000000;
        } else if (a == "--stats" && parse_number(v, 1, 3600, &n)) {
            o.stats_seconds = (int)n;
        } else {
            std::fprintf(stderr, "Bad argument: %s %s\n%s", argv[i - 1], v, usage);
            return 2;
        }
    }
    return server_run(&o);
}
