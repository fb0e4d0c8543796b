// The network game without sockets: the message codec, the server's relay and two lockstep
// sessions wired back to back through it in memory, on a small stand-in world.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "lockstep.h"
#include "netmatch.h"
#include "netmsg.h"
#include "order.h"
#include "orderwire.h"
#include "random.h"
#include "relay.h"
#include "serveraddress.h"
#include "world_fixture.h"
#include "worldhash.h"

namespace {

std::vector<u8> encode(const NetMsg& m)
{
    std::vector<u8> b(NET_MAX_MESSAGE);
    size_t n = net_encode(&m, b.data(), b.size());
    b.resize(n);
    return b;
}

bool decodes(const std::vector<u8>& b, NetMsg* out = nullptr, std::string* why = nullptr)
{
    NetMsg m;
    char w[64] = "";
    bool ok = net_decode(b.data(), b.size(), out ? out : &m, w, sizeof(w));
    if (why)
        *why = w;
    return ok;
}

TEST(NetMessages, EveryKindSurvivesTheRoundTripLittleEndian)
{
    NetMsg start;
    net_msg_init(&start, NET_START);
    start.second = -2;
    start.generator = 0x01020304;
    start.uid_counter = 7;
    start.steps_per_turn = 4;
    start.steps_per_second = 60;
    std::vector<u8> b = encode(start);
    ASSERT_EQ(b.size(), 2u + 8 + 4 + 4 + 2 + 2);
    EXPECT_EQ(b[0], NET_VERSION);
    EXPECT_EQ(b[1], NET_START);
    EXPECT_EQ(b[2], 0xfe);   // -2, lowest byte first
    EXPECT_EQ(b[9], 0xff);
    EXPECT_EQ(b[10], 0x04);  // generator, lowest byte first
    NetMsg back;
    ASSERT_TRUE(decodes(b, &back));
    EXPECT_EQ(back.second, -2);
    EXPECT_EQ(back.generator, 0x01020304u);
    EXPECT_EQ(back.uid_counter, 7u);
    EXPECT_EQ(back.steps_per_turn, 4);

    NetMsg at;
    net_msg_init(&at, NET_ORDER_AT);
    at.turn = 123456;
    at.party = 1;
    at.order_len = NET_MAX_ORDER_BYTES;
    for (size_t i = 0; i < NET_MAX_ORDER_BYTES; i++)
        at.order[i] = (u8)(i * 7);
    b = encode(at);
    ASSERT_LE(b.size(), NET_MAX_MESSAGE);
    ASSERT_TRUE(decodes(b, &back));
    EXPECT_EQ(back.turn, 123456u);
    EXPECT_EQ(back.party, 1);
    EXPECT_EQ(0, std::memcmp(back.order, at.order, NET_MAX_ORDER_BYTES));

    NetMsg hash;
    net_msg_init(&hash, NET_HASH);
    hash.turn = 9;
    hash.hash = 0x8877665544332211ull;
    ASSERT_TRUE(decodes(encode(hash), &back));
    EXPECT_EQ(back.hash, 0x8877665544332211ull);

    NetMsg join;
    net_msg_init(&join, NET_HELLO);
    join.role = NET_ROLE_JOIN;
    std::memcpy(join.code, "QWERT", 5);
    ASSERT_TRUE(decodes(encode(join), &back));
    EXPECT_EQ(std::string(back.code, 5), "QWERT");
}

TEST(NetMessages, MalformedMessagesAreRefusedWithAReason)
{
    NetMsg hash;
    net_msg_init(&hash, NET_HASH);
    std::vector<u8> good = encode(hash);
    ASSERT_TRUE(decodes(good));
    std::string why;

    std::vector<u8> b = good;
    b[0] = NET_VERSION + 1;
    EXPECT_FALSE(decodes(b, nullptr, &why));
    EXPECT_EQ(why, "wrong protocol version");

    b = good;
    b[1] = 99;
    EXPECT_FALSE(decodes(b, nullptr, &why));
    EXPECT_EQ(why, "unknown message kind");

    b = good;
    b.pop_back();
    EXPECT_FALSE(decodes(b, nullptr, &why));
    EXPECT_EQ(why, "message too short");

    b = good;
    b.push_back(0);
    EXPECT_FALSE(decodes(b, nullptr, &why));
    EXPECT_EQ(why, "message too long for its kind");

    EXPECT_FALSE(decodes(std::vector<u8>(NET_MAX_MESSAGE + 1, 0), nullptr, &why));
    EXPECT_EQ(why, "message too long");
    EXPECT_FALSE(decodes(std::vector<u8>{NET_VERSION}));

    // An order whose length runs past the message, one of length 0, one for party 2.
    NetMsg order;
    net_msg_init(&order, NET_ORDER);
    order.order_len = 3;
    std::vector<u8> o = encode(order);
    ASSERT_TRUE(decodes(o));
    o[3] = 4;
    EXPECT_FALSE(decodes(o));
    o[3] = 0;
    EXPECT_FALSE(decodes(o));
    o = encode(order);
    o[2] = 2;
    EXPECT_FALSE(decodes(o));

    // Codes are capital letters; a host names none.
    NetMsg join;
    net_msg_init(&join, NET_HELLO);
    join.role = NET_ROLE_JOIN;
    std::memcpy(join.code, "ABCDE", 5);
    std::vector<u8> j = encode(join);
    j[4] = 'a';
    EXPECT_FALSE(decodes(j));
    j[4] = 'C';
    j[2] = NET_ROLE_HOST;
    EXPECT_FALSE(decodes(j));
    j[2] = 3;
    EXPECT_FALSE(decodes(j));

    // Nothing out of range is ever written either.
    u8 buf[NET_MAX_MESSAGE];
    order.order_len = NET_MAX_ORDER_BYTES + 1;
    EXPECT_EQ(net_encode(&order, buf, sizeof(buf)), 0u);
    order.order_len = 3;
    EXPECT_EQ(net_encode(&order, buf, 5), 0u);
    NetMsg start;
    net_msg_init(&start, NET_START);
    EXPECT_EQ(net_encode(&start, buf, sizeof(buf)), 0u);
}

// The desktop and the page read a server's address alike: the scheme says TLS or not, the
// port defaults to the scheme's, and anything else is refused with the address named.
TEST(NetMessages, ServerAddressesAreReadAlikeEverywhere)
{
    struct Case {
        const char* url;
        bool ok, secure;
        const char* hostport;
        const char* host;
        const char* port;
    };
    const Case cases[] = {
        {"ws://127.0.0.1:8000", true, false, "127.0.0.1:8000", "127.0.0.1", "8000"},
        {"ws://example.org/", true, false, "example.org", "example.org", "80"},
        {"wss://example.org", true, true, "example.org", "example.org", "443"},
        {"wss://example.org:8443/", true, true, "example.org:8443", "example.org", "8443"},
        {"http://example.org", false, false, "", "", ""},
        {"ws://", false, false, "", "", ""},
        {"ws://:8000", false, false, "", "", ""},
        {"wss://example.org/play", false, true, "", "", ""},
    };
    for (const Case& c : cases) {
        ServerAddress a;
        char err[128] = "";
        ASSERT_EQ(server_address_parse(c.url, &a, err, sizeof err), c.ok) << c.url;
        if (!c.ok) {
            EXPECT_NE(std::strstr(err, c.url), nullptr) << err;
            continue;
        }
        EXPECT_EQ(a.secure, c.secure) << c.url;
        EXPECT_EQ(a.hostport, c.hostport) << c.url;
        EXPECT_EQ(a.host, c.host) << c.url;
        EXPECT_EQ(a.port, c.port) << c.url;
    }
}

TEST(NetMessages, OrdersTravelAsTheirFieldsAndOnlyWellShaped)
{
    Order o;
    order_init(&o, ORDER_TRAVEL, 1);
    o.group_size = 300;
    o.cell = {-3, 70000, 5};
    o.target_uid = 0xdeadbeef;
    for (u32 i = 0; i < ORDER_MAX_UIDS; i++)
        ASSERT_TRUE(order_add_uid(&o, 0x01000000u + i));
    u8 buf[ORDERWIRE_MAX];
    size_t n = order_to_bytes(&o, buf, sizeof(buf));
    ASSERT_EQ(n, ORDERWIRE_MAX);
    ASSERT_LE(n, NET_MAX_ORDER_BYTES);  // the largest order fits one message
    Order back;
    ASSERT_TRUE(order_from_bytes(buf, n, &back));
    EXPECT_EQ(back.kind, ORDER_TRAVEL);
    EXPECT_EQ(back.party, 1);
    EXPECT_EQ(back.group_size, 300);
    EXPECT_EQ(back.cell.x, -3);
    EXPECT_EQ(back.cell.y, 70000);
    EXPECT_EQ(back.target_uid, 0xdeadbeefu);
    EXPECT_EQ(back.uid_count, ORDER_MAX_UIDS);
    EXPECT_EQ(back.uids[ORDER_MAX_UIDS - 1], 0x01000000u + ORDER_MAX_UIDS - 1);

    EXPECT_FALSE(order_from_bytes(buf, n - 1, &back));  // cut short
    buf[0] = 3;
    EXPECT_FALSE(order_from_bytes(buf, n, &back));  // unknown kind
    buf[0] = ORDER_ATTACK;
    buf[1] = 2;
    EXPECT_FALSE(order_from_bytes(buf, n, &back));  // no such party
    buf[1] = 0;
    buf[2] = 0;
    buf[3] = 0;
    EXPECT_FALSE(order_from_bytes(buf, ORDERWIRE_HEADER, &back));  // no uids
    EXPECT_EQ(order_to_bytes(&o, buf, 100), 0u);
}

// ---- The relay and two sessions back to back ----

// A stand-in world: its state mixes every order and step in the order they happen, so two
// worlds agree only if they saw the same orders before the same steps.
struct ToyWorld {
    u64 state = 0;
    int orders = 0;
    int steps = 0;
    bool started = false;
    u64 corrupt_at_step = 0;  // nonzero: the world goes wrong at that step
};

void toy_apply(void* ctx, int party, const u8* bytes, size_t n)
{
    ToyWorld* w = (ToyWorld*)ctx;
    w->orders++;
    w->state = w->state * 1000003 + (u64)party + 1;
    for (size_t i = 0; i < n; i++)
        w->state = w->state * 31 + bytes[i];
}
void toy_start(void* ctx, const NetMsg* m)
{
    ToyWorld* w = (ToyWorld*)ctx;
    w->started = true;
    w->state = m->generator ^ (u64)m->second;
}
void toy_step(void* ctx, float)
{
    ToyWorld* w = (ToyWorld*)ctx;
    w->steps++;
    w->state = w->state * 6364136223846793005ull + 1442695040888963407ull;
    if (w->corrupt_at_step && (u64)w->steps == w->corrupt_at_step)
        w->state ^= 1;
}
u64 toy_hash(void* ctx) { return ((ToyWorld*)ctx)->state; }

struct Net {
    Relay relay;
    std::map<u64, std::deque<std::vector<u8>>> inbox;  // what the server sent each client
    std::map<u64, bool> closed;
    std::vector<std::string> log;
    u32 random_state = 12345;
    u64 now = 1000000;

    static void io_send(void* c, u64 id, const u8* d, size_t n)
    {
        ((Net*)c)->inbox[id].push_back(std::vector<u8>(d, d + n));
    }
    static void io_close(void* c, u64 id) { ((Net*)c)->closed[id] = true; }
    static void io_log(void* c, const char* line) { ((Net*)c)->log.push_back(line); }
    static void io_random(void* c, u8* out, size_t n)
    {
        for (size_t i = 0; i < n; i++) {
            u32& st = ((Net*)c)->random_state;
            st = st * 1103515245u + 12345u;
            out[i] = (u8)(st >> 16);
        }
    }
    static s64 io_second(void*) { return 1700000000; }

    explicit Net(RelayLimits limits = RelayLimits())
    {
        RelayIo io = {this, io_send, io_close, io_log, io_random, io_second};
        relay_init(&relay, &limits, &io);
    }
    bool logged(const std::string& part) const
    {
        for (const std::string& l : log)
            if (l.find(part) != std::string::npos)
                return true;
        return false;
    }
    void send_raw(u64 id, const NetMsg& m)
    {
        std::vector<u8> b = encode(m);
        relay_receive(&relay, id, b.data(), b.size(), now);
    }
};

struct Player {
    u64 id;
    ToyWorld world;
    LockstepSession session;
};

void start_player(Net* net, Player* p, u64 id, const char* code)
{
    p->id = id;
    LockstepWorld w = {&p->world, toy_apply, toy_start, toy_step, toy_hash};
    ASSERT_TRUE(relay_connect(&net->relay, id, net->now));
    ASSERT_TRUE(lockstep_init(&p->session, &w, code));
}

// Carries messages both ways until nothing moves.
template <typename P>
void pump(Net* net, P* players, int count)
{
    for (int round = 0; round < 100; round++) {
        bool moved = false;
        for (int i = 0; i < count; i++) {
            P* p = &players[i];
            while (const LockstepOutgoing* o = lockstep_next_outgoing(&p->session)) {
                relay_receive(&net->relay, p->id, o->bytes, o->len, net->now);
                moved = true;
            }
            auto& q = net->inbox[p->id];
            while (!q.empty()) {
                lockstep_receive(&p->session, q.front().data(), q.front().size());
                q.pop_front();
                moved = true;
            }
        }
        if (!moved)
            return;
    }
}

// Host and guest in one game, started.
void two_players(Net* net, Player* players)
{
    start_player(net, &players[0], 1, nullptr);
    pump(net, players, 1);
    ASSERT_EQ(players[0].session.state, LOCKSTEP_WAITING);
    start_player(net, &players[1], 2, players[0].session.code);
    pump(net, players, 2);
    ASSERT_EQ(players[0].session.state, LOCKSTEP_PLAYING);
    ASSERT_EQ(players[1].session.state, LOCKSTEP_PLAYING);
}

// `ms` of real time in frames of 16 ms on both machines and the server.
template <typename P>
void play(Net* net, P* players, int count, int ms)
{
    for (int t = 0; t < ms; t += 16) {
        net->now += 16000;
        relay_tick(&net->relay, net->now);
        pump(net, players, count);
        for (int i = 0; i < count; i++)
            lockstep_advance(&players[i].session, 0.016);
        pump(net, players, count);
    }
}

TEST(NetLockstep, BothPlayersApplyEveryOrderBeforeTheSameStep)
{
    Net net;
    Player p[2];
    two_players(&net, p);
    EXPECT_EQ(p[0].session.party, 0);
    EXPECT_EQ(p[1].session.party, 1);
    EXPECT_TRUE(net.logged("created by client 1"));
    EXPECT_TRUE(net.logged("client 2 joined game"));
    EXPECT_TRUE(net.logged("started"));
    EXPECT_EQ(p[0].world.state, p[1].world.state);

    for (int round = 0; round < 20; round++) {
        u8 order[3] = {(u8)round, 1, 2};
        ASSERT_TRUE(lockstep_submit(&p[round % 2].session, order, sizeof(order)));
        if (round % 3 == 0) {
            ASSERT_TRUE(lockstep_submit(&p[1 - round % 2].session, order, 1));
        }
        play(&net, p, 2, 130 + round * 7);
    }
    play(&net, p, 2, 300);
    EXPECT_EQ(p[0].world.orders, 27);
    EXPECT_EQ(p[1].world.orders, 27);
    EXPECT_GT(p[0].world.steps, 60 * 3);
    // The machines may be a few steps apart; after equal steps their worlds are equal, and the
    // server has compared every hash without finding a difference.
    u32 common = std::min(p[0].session.steps_done, p[1].session.steps_done);
    EXPECT_GE(common, (u32)(p[0].session.turns_ready - 1) * 4);
    EXPECT_FALSE(net.logged("out of sync"));
    EXPECT_EQ(p[0].session.state, LOCKSTEP_PLAYING);
    EXPECT_EQ(p[1].session.state, LOCKSTEP_PLAYING);
}

TEST(NetLockstep, AHashDifferenceEndsTheGameOnBothWithItsFrame)
{
    Net net;
    Player p[2];
    p[1].world.corrupt_at_step = 10;  // inside turn 2 (steps 8..11)
    two_players(&net, p);
    play(&net, p, 2, 500);
    EXPECT_TRUE(net.logged("out of sync at frame 12"));
    for (Player& pl : p) {
        EXPECT_EQ(pl.session.state, LOCKSTEP_ENDED);
        EXPECT_STREQ(pl.session.error, "Out of sync at frame 12");
        EXPECT_FALSE(pl.session.peer_left);
        EXPECT_TRUE(net.closed[pl.id]);
    }
    EXPECT_TRUE(net.relay.games.empty());
}

TEST(NetLockstep, ABehindClientCatchesUpAndAStarvedOneWaits)
{
    Net net;
    Player p[2];
    two_players(&net, p);
    // Player 1's machine stalls for a second: its turns pile up.
    for (int t = 0; t < 1000; t += 16) {
        net.now += 16000;
        relay_tick(&net.relay, net.now);
        pump(&net, p, 2);
        lockstep_advance(&p[0].session, 0.016);
    }
    u32 owed = p[1].session.turns_ready * 4 - p[1].session.steps_done;
    EXPECT_GT(owed, 50u);
    play(&net, p, 2, 200);
    // Within a turn of the server again, and nothing changed for player 0.
    EXPECT_LE(p[1].session.turns_ready * 4 - p[1].session.steps_done, 4u);
    EXPECT_FALSE(net.logged("out of sync"));
    EXPECT_FALSE(lockstep_waiting_notice(&p[0].session));

    // The server stops sending turns: after a second each player is told.
    for (int t = 0; t < 1100; t += 16)
        for (Player& pl : p)
            lockstep_advance(&pl.session, 0.016);
    EXPECT_TRUE(lockstep_waiting_notice(&p[0].session));
    u32 before = p[0].session.steps_done;
    play(&net, p, 2, 100);
    EXPECT_FALSE(lockstep_waiting_notice(&p[0].session));
    // Time spent waiting is not owed: the world resumes at its pace, not in a jump.
    EXPECT_LE(p[0].session.steps_done - before, 10u);
}

// What a broken or hostile server could send: the session ends with the reason and never
// runs a step of a turn it did not get whole.
TEST(NetLockstep, MessagesOutOfPlaceEndTheSession)
{
    ToyWorld world;
    LockstepWorld w = {&world, toy_apply, toy_start, toy_step, toy_hash};
    auto session_with = [&](std::vector<NetMsg> msgs, LockstepSession* s) {
        lockstep_init(s, &w, nullptr);
        bool ok = true;
        for (const NetMsg& m : msgs) {
            std::vector<u8> b = encode(m);
            ok = lockstep_receive(s, b.data(), b.size()) && ok;
        }
        return ok;
    };
    NetMsg welcome, start, turn0, turn1, at;
    net_msg_init(&welcome, NET_WELCOME);
    std::memcpy(welcome.code, "ABCDE", 5);
    net_msg_init(&start, NET_START);
    start.steps_per_turn = 4;
    start.steps_per_second = 60;
    net_msg_init(&turn0, NET_TURN);
    net_msg_init(&turn1, NET_TURN);
    turn1.turn = 1;
    net_msg_init(&at, NET_ORDER_AT);
    at.order_len = 1;

    LockstepSession s;
    EXPECT_FALSE(session_with({welcome, start, turn1}, &s));
    EXPECT_STREQ(s.error, "Bad message from the server: turn out of order");
    EXPECT_EQ(lockstep_advance(&s, 1.0), 0);

    at.turn = 0;
    EXPECT_FALSE(session_with({welcome, start, turn0, at}, &s));
    EXPECT_STREQ(s.error, "Bad message from the server: order for a turn already sent");

    EXPECT_FALSE(session_with({start}, &s));
    EXPECT_STREQ(s.error, "Bad message from the server: start out of place");
    EXPECT_FALSE(session_with({welcome, welcome}, &s));

    NetMsg hello;
    net_msg_init(&hello, NET_HELLO);
    hello.role = NET_ROLE_HOST;
    EXPECT_FALSE(session_with({welcome, hello}, &s));
    EXPECT_STREQ(s.error, "Bad message from the server: a message meant for the server");

    // A page that runs no frames for a while keeps every order the other player gives in the
    // meantime and runs them all when it catches up; only a flood beyond memory's bound ends it.
    world = ToyWorld();
    at.turn = 0;
    std::vector<NetMsg> backlog = {welcome, start};
    for (int i = 0; i < 2000; i++)
        backlog.push_back(at);
    backlog.push_back(turn0);
    EXPECT_TRUE(session_with(backlog, &s));
    EXPECT_EQ(lockstep_advance(&s, 1.0), 4);
    EXPECT_EQ(world.orders, 2000);
    EXPECT_TRUE(session_with({welcome, start}, &s));
    NetMsg big = at;
    big.order_len = NET_MAX_ORDER_BYTES;
    std::vector<u8> bytes = encode(big);
    size_t kept = 0;
    while (kept < 100000 && lockstep_receive(&s, bytes.data(), bytes.size()))
        kept++;
    EXPECT_EQ(kept, LOCKSTEP_MAX_PENDING_BYTES / NET_MAX_ORDER_BYTES);
    EXPECT_STREQ(s.error, "Bad message from the server: too many orders");

    // A well-formed game runs the turn it got, and no further.
    world = ToyWorld();
    EXPECT_TRUE(session_with({welcome, start, at, turn0}, &s));
    EXPECT_EQ(lockstep_advance(&s, 1.0), 4);
    EXPECT_EQ(world.orders, 1);
    EXPECT_EQ(world.steps, 4);
    EXPECT_FALSE(lockstep_init(&s, &w, "abcde"));
    EXPECT_FALSE(lockstep_init(&s, &w, "ABCDEF"));
}

TEST(NetRelay, APlayerWhoLeavesIsReportedAndTheOtherPlaysOn)
{
    Net net;
    Player p[2];
    two_players(&net, p);
    play(&net, p, 2, 200);
    relay_disconnect(&net.relay, 2, "connection reset");
    EXPECT_TRUE(net.logged("client 2 dropped: connection reset"));
    play(&net, p, 1, 300);
    EXPECT_TRUE(p[0].session.peer_left);
    EXPECT_EQ(p[0].session.state, LOCKSTEP_PLAYING);
    u8 order = 5;
    ASSERT_TRUE(lockstep_submit(&p[0].session, &order, 1));
    int before = p[0].world.orders;
    play(&net, p, 1, 200);
    EXPECT_EQ(p[0].world.orders, before + 1);
    relay_disconnect(&net.relay, 1, "closed");
    EXPECT_TRUE(net.logged("ended after"));
    EXPECT_TRUE(net.relay.games.empty());
}

TEST(NetRelay, ClientsBreakingTheRulesAreDroppedWithTheReason)
{
    RelayLimits limits;
    limits.orders_per_second = 5;
    Net net(limits);
    Player p[2];
    two_players(&net, p);

    // An order for the other party, sent around the session.
    NetMsg order;
    net_msg_init(&order, NET_ORDER);
    order.party = 1;
    order.order_len = 1;
    net.send_raw(1, order);
    EXPECT_TRUE(net.closed[1]);
    EXPECT_TRUE(net.logged("client 1 dropped: order for the other party"));

    // Flooding orders: the allowed burst passes, the next one drops the client.
    Net net2(limits);
    Player q[2];
    two_players(&net2, q);
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(lockstep_submit(&q[1].session, (const u8*)"x", 1));
    pump(&net2, q, 2);
    EXPECT_FALSE(net2.closed[2]);
    ASSERT_TRUE(lockstep_submit(&q[1].session, (const u8*)"x", 1));
    pump(&net2, q, 2);
    EXPECT_TRUE(net2.closed[2]);
    EXPECT_TRUE(net2.logged("more orders a second than allowed"));
    EXPECT_TRUE(q[0].session.peer_left);

    // A hash for a turn not yet sent, or sent twice.
    Net net3;
    Player r[2];
    two_players(&net3, r);
    NetMsg hash;
    net_msg_init(&hash, NET_HASH);
    hash.turn = 0;
    net3.send_raw(1, hash);
    EXPECT_TRUE(net3.logged("client 1 dropped: hash for a turn out of order"));

    // Undecodable bytes, a second hello, a message meant for clients.
    Net net4;
    Player s[2];
    two_players(&net4, s);
    u8 junk[3] = {NET_VERSION, 77, 0};
    relay_receive(&net4.relay, 1, junk, sizeof(junk), net4.now);
    EXPECT_TRUE(net4.logged("client 1 dropped: bad message: unknown message kind"));
    NetMsg hello;
    net_msg_init(&hello, NET_HELLO);
    hello.role = NET_ROLE_HOST;
    net4.send_raw(2, hello);
    EXPECT_TRUE(net4.logged("client 2 dropped: second hello"));
    EXPECT_TRUE(net4.relay.clients.empty());
    EXPECT_TRUE(net4.relay.games.empty());
}

TEST(NetRelay, ConnectionsGamesAndSilenceAreLimited)
{
    RelayLimits limits;
    limits.max_clients = 3;
    limits.max_games = 1;
    limits.hello_timeout_us = 2000000;
    Net net(limits);
    Player p[2];
    start_player(&net, &p[0], 1, nullptr);
    pump(&net, p, 1);
    // A second host finds no room for a game.
    NetMsg hello;
    net_msg_init(&hello, NET_HELLO);
    hello.role = NET_ROLE_HOST;
    ASSERT_TRUE(relay_connect(&net.relay, 5, net.now));
    net.send_raw(5, hello);
    EXPECT_TRUE(net.closed[5]);
    NetMsg m;
    ASSERT_FALSE(net.inbox[5].empty());
    ASSERT_TRUE(decodes(net.inbox[5].back(), &m));
    EXPECT_EQ(m.kind, NET_REFUSED);
    EXPECT_EQ(m.reason, NET_REFUSED_SERVER_FULL);

    // Joining an unknown code.
    Player stranger;
    start_player(&net, &stranger, 6, "ZZZZZ");
    pump(&net, &stranger, 1);
    EXPECT_EQ(stranger.session.state, LOCKSTEP_ENDED);
    EXPECT_EQ(stranger.session.refused, NET_REFUSED_UNKNOWN_CODE);

    // Silent connections fill the server, then time out.
    ASSERT_TRUE(relay_connect(&net.relay, 7, net.now));
    ASSERT_TRUE(relay_connect(&net.relay, 8, net.now));
    EXPECT_FALSE(relay_connect(&net.relay, 9, net.now));
    EXPECT_TRUE(net.closed[9]);
    net.now += 2500000;
    relay_tick(&net.relay, net.now);
    EXPECT_TRUE(net.closed[7] && net.closed[8]);
    EXPECT_TRUE(net.logged("client 7 dropped: said nothing in time"));
    EXPECT_FALSE(net.closed[1]);  // the host said who it was

    // A third player for a started game.
    start_player(&net, &p[1], 2, p[0].session.code);
    pump(&net, p, 2);
    ASSERT_EQ(p[1].session.state, LOCKSTEP_PLAYING);
    Player third;
    start_player(&net, &third, 10, p[0].session.code);
    pump(&net, &third, 1);
    EXPECT_EQ(third.session.refused, NET_REFUSED_GAME_FULL);
}

TEST(NetRelay, AServerThatStopsEndsBothGamesAtTheSameFrame)
{
    Net net;
    Player p[2];
    two_players(&net, p);
    u8 order[2] = {1, 2};
    ASSERT_TRUE(lockstep_submit(&p[1].session, order, sizeof order));
    // The guest's machine stops drawing for a while: turns pile up unrun.
    for (int t = 0; t < 1000; t += 16) {
        net.now += 16000;
        relay_tick(&net.relay, net.now);
        pump(&net, p, 2);
        lockstep_advance(&p[0].session, 0.016);
        pump(&net, p, 2);
    }
    ASSERT_LT(p[1].session.steps_done + 40, p[0].session.steps_done);
    relay_shutdown(&net.relay);
    pump(&net, p, 2);
    // The server is gone; both still run every turn it sent, then end.
    lockstep_connection_lost(&p[0].session);
    lockstep_connection_lost(&p[1].session);
    for (int frame = 0; frame < 10; frame++) {
        lockstep_advance(&p[0].session, 0.016);
        lockstep_advance(&p[1].session, 0.016);
    }
    for (Player& q : p) {
        EXPECT_EQ(q.session.state, LOCKSTEP_ENDED);
        EXPECT_STREQ(q.session.error, "Connection to the server lost");
        EXPECT_EQ(q.session.steps_done, q.session.turns_ready * 4u);
        EXPECT_EQ(q.session.steps_done, q.session.end_frame);
    }
    EXPECT_EQ(p[0].session.steps_done, p[1].session.steps_done);
    EXPECT_EQ(p[0].world.state, p[1].world.state);
    EXPECT_EQ(p[0].world.orders, 1);
    EXPECT_EQ(p[1].world.orders, 1);
    EXPECT_FALSE(p[0].session.peer_left || p[1].session.peer_left) << "told the other player left";
    EXPECT_TRUE(net.relay.games.empty());
}

TEST(NetRelay, AHostedGameNobodyJoinsExpiresWithOneLogLine)
{
    RelayLimits limits;
    limits.join_timeout_us = 60000000;
    Net net(limits);
    Player p[2];
    start_player(&net, &p[0], 1, nullptr);
    pump(&net, p, 1);
    std::string code = p[0].session.code;
    size_t lines = net.log.size();
    net.now += 59000000;
    relay_tick(&net.relay, net.now);
    pump(&net, p, 1);
    EXPECT_EQ(p[0].session.state, LOCKSTEP_WAITING);
    net.now += 2000000;
    relay_tick(&net.relay, net.now);
    pump(&net, p, 1);
    EXPECT_EQ(p[0].session.state, LOCKSTEP_ENDED);
    EXPECT_STREQ(p[0].session.error, "Nobody joined the game in time");
    EXPECT_TRUE(net.closed[1]);
    ASSERT_EQ(net.log.size(), lines + 1);
    EXPECT_EQ(net.log.back(), "game " + code + " expired: nobody joined within 60 s; client 1 dropped");
    EXPECT_TRUE(net.relay.games.empty());
    EXPECT_TRUE(net.relay.clients.empty());
    // Its code no longer finds a game; a started game never expires.
    start_player(&net, &p[1], 2, code.c_str());
    pump(&net, &p[1], 1);
    EXPECT_EQ(p[1].session.refused, NET_REFUSED_UNKNOWN_CODE);
    Player q[2];
    two_players(&net, q);
    net.now += 120000000;
    relay_tick(&net.relay, net.now);
    EXPECT_EQ(net.relay.games.size(), 1u);
}

TEST(NetRelay, GameCodesAreFiveCapitalsAndUnique)
{
    Net net;
    std::vector<std::string> codes;
    for (u64 id = 1; id <= 40; id++) {
        Player p;
        start_player(&net, &p, id, nullptr);
        pump(&net, &p, 1);
        ASSERT_EQ(p.session.state, LOCKSTEP_WAITING) << "game " << id << ": " << p.session.error;
        std::string code = p.session.code;
        ASSERT_EQ(code.size(), 5u);
        EXPECT_TRUE(net_code_valid(code.c_str()));
        for (const std::string& c : codes)
            EXPECT_NE(c, code);
        codes.push_back(code);
    }
    EXPECT_EQ(net.relay.games.size(), 40u);
}

}  // namespace

namespace {

// ---- The end rule in a network game, on two small built worlds ----

// One machine's world, bound to its session as the game binds its own: the end rule gates
// every step and order. Each machine has its own generator and uid counter, as two processes
// would.
struct MatchPlayer {
    u64 id;
    GameEnv env;
    NetMatch match = {};
    unsigned int generator = 7;
    int uid_counter = 100;
    int steps_run = 0;
    int end_step = 0;
    int orders_applied = 0;
    LockstepSession session;
    ~MatchPlayer() { gameenv_free(&env); }
};

void match_apply(void* ctx, int party, const u8* bytes, size_t n)
{
    MatchPlayer* p = (MatchPlayer*)ctx;
    Order o;
    if (netmatch_open(&p->match) && order_from_turn(&p->env, party, bytes, n, &o)) {
        order_apply(&p->env, &o);
        p->orders_applied++;
    }
}
void match_start_world(void* ctx, const NetMsg*) { netmatch_start(&((MatchPlayer*)ctx)->match, &((MatchPlayer*)ctx)->env); }
void match_step(void* ctx, float dt)
{
    MatchPlayer* p = (MatchPlayer*)ctx;
    if (!netmatch_open(&p->match))
        return;
    mysrand(p->generator);
    next_entity_uid = p->uid_counter;
    gameenv_run(&p->env, dt);
    p->generator = myrand_state();
    p->uid_counter = next_entity_uid;
    p->steps_run++;
    if (netmatch_after_step(&p->match, &p->env, dt))
        p->end_step = p->steps_run;
}
// The hash covers the generator's state and the uid counter: this world's own.
u64 match_hash(void* ctx)
{
    MatchPlayer* p = (MatchPlayer*)ctx;
    mysrand(p->generator);
    next_entity_uid = p->uid_counter;
    return world_hash(&p->env);
}

// A turret of party 0 with a weak unit of party 1 in range, and a second unit of party 0
// away from the fight: party 1 falls within seconds.
void build_match_world(MatchPlayer* p)
{
    mysrand(p->generator);  // units draw their looks from it
    make_flat_world(&p->env, 32, 32, 8, 4);
    Entity* victim = add_unit(&p->env, 7, 5, 5, 1);
    victim->uid = 2;
    victim->health = 0.1f;
    Entity* shooter = add_unit(&p->env, 5, 5, 5, 0);
    shooter->uid = 1;
    shooter->can_attack = true;
    shooter->peripheral = PT_TURRET;
    shooter->reload_timer = 100;
    Target t = entity_target(victim);
    entity_start_attack(shooter, &t);
    add_unit(&p->env, 20, 20, 5, 0)->uid = 3;
    p->generator = myrand_state();
}

void start_match_player(Net* net, MatchPlayer* p, u64 id, const char* code)
{
    p->id = id;
    LockstepWorld w = {p, match_apply, match_start_world, match_step, match_hash};
    ASSERT_TRUE(relay_connect(&net->relay, id, net->now));
    ASSERT_TRUE(lockstep_init(&p->session, &w, code));
}

TEST(NetLockstep, TheEndRuleEndsTheGameOnBothAtOneStepEachFromTheirSide)
{
    Net net;
    MatchPlayer p[2];
    build_match_world(&p[0]);
    build_match_world(&p[1]);
    ASSERT_EQ(match_hash(&p[0]), match_hash(&p[1]));
    start_match_player(&net, &p[0], 1, nullptr);
    pump(&net, p, 1);
    start_match_player(&net, &p[1], 2, p[0].session.code);
    pump(&net, p, 2);
    ASSERT_EQ(p[1].session.state, LOCKSTEP_PLAYING);
    EXPECT_EQ(p[0].match.match.start_count[1], 1);

    // The guest's machine is slow: it runs a frame for every three of the host's, and
    // catches up by the turns it owes; the end must not depend on it.
    for (int frame = 0; frame < 60 * 20 && !(netmatch_ended(&p[0].match) && netmatch_ended(&p[1].match)); frame++) {
        net.now += 16000;
        relay_tick(&net.relay, net.now);
        pump(&net, p, 2);
        lockstep_advance(&p[0].session, 0.016);
        if (frame % 3 == 2)
            lockstep_advance(&p[1].session, 0.048);
        pump(&net, p, 2);
    }
    ASSERT_TRUE(netmatch_ended(&p[0].match)) << p[0].session.error;
    ASSERT_TRUE(netmatch_ended(&p[1].match));
    EXPECT_GT(p[0].end_step, 0);
    EXPECT_EQ(p[0].end_step, p[1].end_step);
    EXPECT_EQ(p[0].match.match.winner, 0);
    char host_line[64], guest_line[64];
    match_result_line(&p[0].match.match, p[0].session.party, host_line, sizeof host_line);
    match_result_line(&p[1].match.match, p[1].session.party, guest_line, sizeof guest_line);
    EXPECT_STREQ(host_line, "Victory after 0:00") << "the turret needs well under a second";
    EXPECT_STREQ(guest_line, "Defeat after 0:00");
    u64 at_end = match_hash(&p[0]);
    EXPECT_EQ(match_hash(&p[1]), at_end);

    // Turns go on arriving, with an order of the winner's in one: the worlds stand still,
    // alike, and the server finds no difference in their hashes.
    Order o;
    order_init(&o, ORDER_TRAVEL, 0);
    o.group_size = 1;
    o.cell = {10, 10, 5};
    order_add_uid(&o, 3);
    u8 bytes[ORDERWIRE_MAX];
    size_t n = order_to_bytes(&o, bytes, sizeof bytes);
    ASSERT_TRUE(lockstep_submit(&p[0].session, bytes, n));
    play(&net, p, 2, 2000);
    EXPECT_GT(p[1].session.steps_done, (u32)p[1].end_step + 60);
    EXPECT_EQ(p[0].steps_run, p[0].end_step);
    EXPECT_EQ(p[1].steps_run, p[1].end_step);
    EXPECT_EQ(p[0].orders_applied + p[1].orders_applied, 0);
    EXPECT_EQ(match_hash(&p[0]), at_end);
    EXPECT_EQ(match_hash(&p[1]), at_end);
    EXPECT_FALSE(net.logged("out of sync"));
}

}  // namespace
