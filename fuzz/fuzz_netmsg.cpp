// Feeds arbitrary bytes to the network message decoder, and a stream of them to a player's
// lockstep session and to the server's relay. The input is a sequence of messages, each
// preceded by its length in one byte.
#include <cstring>
#include <vector>

#include "check.h"
#include "lockstep.h"
#include "netmsg.h"
#include "relay.h"

namespace {

u64 world_state;
void apply(void*, int party, const u8* b, size_t n)
{
    CHECK(party == 0 || party == 1);
    CHECK(n >= 1 && n <= NET_MAX_ORDER_BYTES);
    world_state = world_state * 31 + b[0];
}
void start(void*, const NetMsg* m) { world_state = m->generator; }
void step(void*, float dt)
{
    CHECK(dt > 0);
    world_state++;
}
u64 hash(void*) { return world_state; }

void io_send(void*, u64, const u8* d, size_t n)
{
    NetMsg m;
    CHECK(n <= NET_MAX_MESSAGE);
    CHECK(net_decode(d, n, &m, nullptr, 0));  // the server sends only what decodes
}
void io_close(void*, u64) {}
void io_log(void*, const char*) {}
void io_random(void*, u8* out, size_t n) { std::memset(out, 7, n); }
s64 io_second(void*) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    static NetMsg m;
    if (net_decode(data, size, &m, nullptr, 0)) {
        // An accepted message has exactly one encoding: its own bytes.
        static u8 again[NET_MAX_MESSAGE];
        size_t n = net_encode(&m, again, sizeof(again));
        CHECK(n == size && std::memcmp(again, data, size) == 0);
    }

    static LockstepSession s;
    LockstepWorld w = {nullptr, apply, start, step, hash};
    lockstep_init(&s, &w, nullptr);
    Relay r;
    RelayIo io = {nullptr, io_send, io_close, io_log, io_random, io_second};
    RelayLimits limits;
    relay_init(&r, &limits, &io);
    relay_connect(&r, 1, 0);
    u64 now = 0;
    for (size_t pos = 0; pos < size;) {
        size_t n = data[pos++];
        if (n > size - pos)
            n = size - pos;
        lockstep_receive(&s, data + pos, n);
        lockstep_advance(&s, 0.05);
        while (lockstep_next_outgoing(&s)) {
        }
        relay_receive(&r, 1, data + pos, n, now);
        now += 70000;
        relay_tick(&r, now);
        pos += n;
    }
    return 0;
}
