#include "relay.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void logf(Relay* r, const char* fmt, ...)
{
    char line[200];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof(line), fmt, ap);
    va_end(ap);
    r->io.log(r->io.ctx, line);
}

void send(Relay* r, u64 client, const NetMsg* m)
{
    u8 buf[NET_MAX_MESSAGE];
    size_t n = net_encode(m, buf, sizeof(buf));
    if (n)
        r->io.send(r->io.ctx, client, buf, n);
}

void send_simple(Relay* r, u64 client, NetKind kind, u8 reason)
{
    NetMsg m;
    net_msg_init(&m, kind);
    m.reason = reason;
    send(r, client, &m);
}

u64 turn_due_us(const Relay* r, const RelayGame* g, u32 turn)
{
    return g->start_us + (u64)(turn + 1) * r->limits.steps_per_turn * 1000000u /
                             r->limits.steps_per_second;
}

// Forgets a game once nobody is left in it.
void end_game_if_empty(Relay* r, const std::string& code)
{
    auto it = r->games.find(code);
    if (it != r->games.end() && !it->second.players[0] && !it->second.players[1]) {
        logf(r, "game %s ended after %u turns", code.c_str(), it->second.turns_sent);
        r->games.erase(it);
    }
}

// Removes a client from its game and the server; the other player hears of it.
void remove_client(Relay* r, u64 client, const char* why, bool close)
{
    auto it = r->clients.find(client);
    if (it == r->clients.end())
        return;
    std::string code = it->second.game;
    int party = it->second.party;
    r->clients.erase(it);
    logf(r, "client %llu dropped: %s", (unsigned long long)client, why);
    if (close)
        r->io.close(r->io.ctx, client);
    auto git = r->games.find(code);
    if (git == r->games.end())
        return;
    RelayGame& g = git->second;
    g.players[party] = 0;
    u64 other = g.players[1 - party];
    if (other && g.started)
        send_simple(r, other, NET_PEER_LEFT, 0);
    if (!g.started && other == 0)
        logf(r, "game %s closed before it started", code.c_str());
    end_game_if_empty(r, code);
}

void drop(Relay* r, u64 client, const char* why)
{
    NetMsg m;
    net_msg_init(&m, NET_REFUSED);
    m.reason = NET_REFUSED_BAD_MESSAGE;
    send(r, client, &m);
    remove_client(r, client, why, true);
}

bool new_code(Relay* r, char* code)
{
    for (int attempt = 0; attempt < 16; attempt++) {
        u8 bytes[NET_CODE_LEN];
        r->io.random(r->io.ctx, bytes, sizeof(bytes));
        // 26 divides 260 evenly enough: the bias of a byte taken mod 26 is under 2 %, and
        // rejection keeps it uniform.
        bool ok = true;
        for (int i = 0; i < NET_CODE_LEN; i++) {
            if (bytes[i] >= 234) {
                ok = false;
                break;
            }
            code[i] = (char)('A' + bytes[i] % 26);
        }
        code[NET_CODE_LEN] = 0;
        if (ok && !r->games.count(code))
            return true;
    }
    return false;
}

void start_game(Relay* r, const std::string& code, RelayGame* g, u64 now_us)
{
    NetMsg m;
    net_msg_init(&m, NET_START);
    m.second = r->io.calendar_second(r->io.ctx);
    u8 gen[4];
    r->io.random(r->io.ctx, gen, 4);
    m.generator = (u32)gen[0] | (u32)gen[1] << 8 | (u32)gen[2] << 16 | (u32)gen[3] << 24;
    m.uid_counter = 1;
    m.steps_per_turn = r->limits.steps_per_turn;
    m.steps_per_second = r->limits.steps_per_second;
    g->started = true;
    g->start_us = now_us;
    send(r, g->players[0], &m);
    send(r, g->players[1], &m);
    logf(r, "game %s started (second %lld, generator %u)", code.c_str(), (long long)m.second,
         m.generator);
}

void hello(Relay* r, u64 id, RelayClient* c, const NetMsg* m, u64 now_us)
{
    if (m->role == NET_ROLE_HOST) {
        char code[NET_CODE_LEN + 1];
        if ((int)r->games.size() >= r->limits.max_games || !new_code(r, code)) {
            send_simple(r, id, NET_REFUSED, NET_REFUSED_SERVER_FULL);
            remove_client(r, id, "no room for another game", true);
            return;
        }
        RelayGame g = {};
        g.players[0] = id;
        g.created_us = now_us;
        r->games[code] = g;
        c->game = code;
        c->party = 0;
        NetMsg w;
        net_msg_init(&w, NET_WELCOME);
        std::memcpy(w.code, code, NET_CODE_LEN);
        w.party = 0;
        send(r, id, &w);
        logf(r, "game %s created by client %llu", code, (unsigned long long)id);
        return;
    }
    std::string code(m->code, NET_CODE_LEN);
    auto it = r->games.find(code);
    if (it == r->games.end()) {
        send_simple(r, id, NET_REFUSED, NET_REFUSED_UNKNOWN_CODE);
        remove_client(r, id, "joined an unknown game code", true);
        return;
    }
    RelayGame& g = it->second;
    if (g.started || g.players[1] || !g.players[0]) {
        send_simple(r, id, NET_REFUSED, NET_REFUSED_GAME_FULL);
        remove_client(r, id, "joined a game that has its players", true);
        return;
    }
    g.players[1] = id;
    c->game = code;
    c->party = 1;
    NetMsg w;
    net_msg_init(&w, NET_WELCOME);
    std::memcpy(w.code, m->code, NET_CODE_LEN);
    w.party = 1;
    send(r, id, &w);
    logf(r, "client %llu joined game %s", (unsigned long long)id, code.c_str());
    start_game(r, code, &g, now_us);
}

void order(Relay* r, u64 id, RelayClient* c, RelayGame* g, const NetMsg* m, u64 now_us)
{
    if (m->party != c->party)
        return drop(r, id, "order for the other party");
    double rate = r->limits.orders_per_second;
    c->order_tokens += (double)(now_us - c->tokens_us) * rate / 1e6;
    if (c->order_tokens > rate)
        c->order_tokens = rate;
    c->tokens_us = now_us;
    if (c->order_tokens < 1)
        return drop(r, id, "more orders a second than allowed");
    c->order_tokens -= 1;
    NetMsg out = *m;
    out.kind = NET_ORDER_AT;
    out.turn = g->turns_sent;
    for (u64 p : g->players)
        if (p)
            send(r, p, &out);
}

void hash(Relay* r, u64 id, RelayClient* c, const std::string& code, RelayGame* g, const NetMsg* m)
{
    int me = c->party, other = 1 - me;
    if (m->turn != g->hashed[me] || m->turn >= g->turns_sent)
        return drop(r, id, "hash for a turn out of order");
    g->hashed[me]++;
    if (!g->players[other])
        return;  // alone in the game: nobody to compare with
    auto it = g->hashes[other].find(m->turn);
    if (it == g->hashes[other].end()) {
        if (g->hashes[me].size() >= r->limits.max_hash_lag) {
            remove_client(r, g->players[other], "fell too far behind", true);
            return;
        }
        g->hashes[me][m->turn] = m->hash;
        return;
    }
    u64 theirs = it->second;
    g->hashes[other].erase(it);
    if (theirs == m->hash)
        return;
    NetMsg end;
    net_msg_init(&end, NET_END);
    end.reason = NET_END_OUT_OF_SYNC;
    end.frame = (m->turn + 1) * r->limits.steps_per_turn;
    logf(r, "game %s out of sync at frame %u", code.c_str(), end.frame);
    u64 players[2] = {g->players[0], g->players[1]};
    g->started = false;  // both hear the end, not that the other left
    for (u64 p : players)
        send(r, p, &end);
    for (u64 p : players)
        remove_client(r, p, "game ended out of sync", true);
}

}  // namespace

void relay_init(Relay* r, const RelayLimits* limits, const RelayIo* io)
{
    r->limits = *limits;
    r->io = *io;
    r->clients.clear();
    r->games.clear();
    std::memset(r->late_hist, 0, sizeof(r->late_hist));
    r->turns_total = 0;
}

bool relay_connect(Relay* r, u64 client, u64 now_us)
{
    if ((int)r->clients.size() >= r->limits.max_clients) {
        send_simple(r, client, NET_REFUSED, NET_REFUSED_SERVER_FULL);
        r->io.close(r->io.ctx, client);
        logf(r, "client %llu refused: server full", (unsigned long long)client);
        return false;
    }
    RelayClient c;
    c.connected_us = now_us;
    c.party = 0;
    c.order_tokens = r->limits.orders_per_second;
    c.tokens_us = now_us;
    r->clients[client] = c;
    return true;
}

void relay_receive(Relay* r, u64 id, const u8* data, size_t size, u64 now_us)
{
    auto it = r->clients.find(id);
    if (it == r->clients.end())
        return;
    RelayClient* c = &it->second;
    NetMsg m;
    char why[64], text[100];
    if (!net_decode(data, size, &m, why, sizeof(why))) {
        std::snprintf(text, sizeof(text), "bad message: %s", why);
        return drop(r, id, text);
    }
    if (m.kind == NET_HELLO) {
        if (!c->game.empty())
            return drop(r, id, "second hello");
        return hello(r, id, c, &m, now_us);
    }
    if (c->game.empty())
        return drop(r, id, "message before the hello");
    std::string code = c->game;
    RelayGame* g = &r->games.find(code)->second;  // a client's game lives while it is in it
    if (m.kind != NET_ORDER && m.kind != NET_HASH)
        return drop(r, id, "a message meant for clients");
    if (!g->started)
        return drop(r, id, "message before the game started");
    if (m.kind == NET_ORDER)
        order(r, id, c, g, &m, now_us);
    else
        hash(r, id, c, code, g, &m);
}

void relay_disconnect(Relay* r, u64 client, const char* why)
{
    remove_client(r, client, why, false);
}

void relay_tick(Relay* r, u64 now_us)
{
    for (auto it = r->clients.begin(); it != r->clients.end();) {
        u64 id = it->first;
        bool silent = it->second.game.empty() && now_us - it->second.connected_us > r->limits.hello_timeout_us;
        ++it;  // removal below invalidates only the removed entry
        if (silent)
            remove_client(r, id, "said nothing in time", true);
    }
    // Removing a host erases its game, so the expired ones are found first.
    u64 expired[8];
    int n_expired = 0;
    for (const auto& [code, g] : r->games)
        if (!g.started && g.players[0] && now_us - g.created_us > r->limits.join_timeout_us && n_expired < 8)
            expired[n_expired++] = g.players[0];
    for (int i = 0; i < n_expired; i++) {
        auto it = r->clients.find(expired[i]);
        const std::string code = it->second.game;
        send_simple(r, expired[i], NET_END, NET_END_NOBODY_JOINED);
        // One line for the whole event, where a host who leaves gives three.
        r->clients.erase(it);
        r->games.erase(code);
        r->io.close(r->io.ctx, expired[i]);
        logf(r, "game %s expired: nobody joined within %llu s; client %llu dropped", code.c_str(),
             (unsigned long long)(r->limits.join_timeout_us / 1000000), (unsigned long long)expired[i]);
    }
    for (auto& [code, g] : r->games) {
        if (!g.started)
            continue;
        while (turn_due_us(r, &g, g.turns_sent) <= now_us) {
            u64 late = now_us - turn_due_us(r, &g, g.turns_sent);
            u64 bucket = late / 100;
            r->late_hist[bucket > 1000 ? 1000 : bucket]++;
            r->turns_total++;
            NetMsg t;
            net_msg_init(&t, NET_TURN);
            t.turn = g.turns_sent++;
            for (u64 p : g.players)
                if (p)
                    send(r, p, &t);
        }
    }
}

u64 relay_next_due_us(const Relay* r, u64 now_us, u64 cap_us)
{
    u64 best = cap_us;
    for (const auto& [code, g] : r->games) {
        if (!g.started)
            continue;
        u64 due = turn_due_us(r, &g, g.turns_sent);
        u64 wait = due > now_us ? due - now_us : 0;
        if (wait < best)
            best = wait;
    }
    return best;
}

double relay_lateness_ms(const Relay* r, double p)
{
    if (r->turns_total == 0)
        return 0;
    u64 need = (u64)(p * (double)r->turns_total);
    u64 seen = 0;
    for (int i = 0; i <= 1000; i++) {
        seen += r->late_hist[i];
        if (seen >= need && seen > 0)
            return (i + 1) * 0.1;
    }
    return 100.0;
}

void relay_shutdown(Relay* r)
{
    // Players of a started game hear the frame they stop at (the end of the last turn sent),
    // and that the server closes, not that the other player left.
    std::vector<u64> told;
    for (auto& [code, g] : r->games) {
        if (!g.started)
            continue;
        for (u64 p : g.players) {
            if (!p)
                continue;
            NetMsg m;
            net_msg_init(&m, NET_END);
            m.reason = NET_END_SERVER_CLOSING;
            m.frame = g.turns_sent * r->limits.steps_per_turn;
            send(r, p, &m);
            r->clients[p].game.clear();
            told.push_back(p);
        }
        g.players[0] = g.players[1] = 0;
        logf(r, "game %s ended after %u turns", code.c_str(), g.turns_sent);
    }
    while (!r->clients.empty()) {
        u64 id = r->clients.begin()->first;
        if (std::find(told.begin(), told.end(), id) == told.end())
            send_simple(r, id, NET_END, NET_END_SERVER_CLOSING);
        remove_client(r, id, "server closing", true);
    }
    r->games.clear();
}
