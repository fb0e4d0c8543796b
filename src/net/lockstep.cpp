#include "lockstep.h"

#include <cstdio>
#include <cstring>

namespace {

bool queue(LockstepSession* s, const NetMsg* m)
{
    if (s->outbox_count == LOCKSTEP_MAX_OUTBOX)
        return false;
    LockstepOutgoing* o = &s->outbox[(s->outbox_head + s->outbox_count) % LOCKSTEP_MAX_OUTBOX];
    size_t n = net_encode(m, o->bytes, sizeof(o->bytes));
    if (n == 0)
        return false;
    o->len = (u16)n;
    s->outbox_count++;
    return true;
}

bool end_with(LockstepSession* s, const char* text)
{
    s->state = LOCKSTEP_ENDED;
    std::snprintf(s->error, sizeof(s->error), "%s", text);
    return false;
}

bool protocol_error(LockstepSession* s, const char* what)
{
    char text[128];
    std::snprintf(text, sizeof(text), "Bad message from the server: %s", what);
    return end_with(s, text);
}

// Applies every received order of the turn about to start, in the order received.
void apply_turn_orders(LockstepSession* s, u32 turn)
{
    while (!s->pending.empty() && s->pending.front().turn == turn) {
        const LockstepPending& p = s->pending.front();
        s->world.apply_order(s->world.ctx, p.party, p.bytes.data(), p.bytes.size());
        s->pending_bytes -= p.bytes.size();
        s->pending.pop_front();
    }
}

}  // namespace

bool lockstep_init(LockstepSession* s, const LockstepWorld* world, const char* code)
{
    s->world = *world;
    s->state = LOCKSTEP_CONNECTING;
    std::memset(s->code, 0, sizeof(s->code));
    s->party = -1;
    s->steps_per_turn = 0;
    s->step_seconds = 0;
    s->turns_ready = 0;
    s->steps_done = 0;
    s->owed = 0;
    s->waiting = 0;
    s->peer_left = false;
    s->closing = false;
    s->end_reason = 0;
    s->end_frame = 0;
    s->refused = 0;
    s->error[0] = 0;
    s->pending.clear();
    s->pending_bytes = 0;
    s->outbox.assign(LOCKSTEP_MAX_OUTBOX, LockstepOutgoing{});
    s->outbox_head = s->outbox_count = 0;
    s->scratch.assign(1, NetMsg{});
    NetMsg hello;
    net_msg_init(&hello, NET_HELLO);
    hello.role = code ? NET_ROLE_JOIN : NET_ROLE_HOST;
    if (code) {
        if (std::strlen(code) != NET_CODE_LEN || !net_code_valid(code))
            return end_with(s, "A game code is five letters");
        std::memcpy(hello.code, code, NET_CODE_LEN);
    }
    return queue(s, &hello);
}

bool lockstep_receive(LockstepSession* s, const u8* data, size_t size)
{
    if (s->state == LOCKSTEP_ENDED)
        return true;  // whatever follows the end changes nothing
    NetMsg& m = s->scratch[0];
    char why[64];
    if (!net_decode(data, size, &m, why, sizeof(why)))
        return protocol_error(s, why);
    switch (m.kind) {
    case NET_WELCOME:
        if (s->state != LOCKSTEP_CONNECTING)
            return protocol_error(s, "welcome twice");
        std::memcpy(s->code, m.code, NET_CODE_LEN);
        s->party = m.party;
        s->state = LOCKSTEP_WAITING;
        return true;
    case NET_START:
        if (s->state != LOCKSTEP_WAITING)
            return protocol_error(s, "start out of place");
        s->steps_per_turn = m.steps_per_turn;
        s->step_seconds = 1.0f / (float)m.steps_per_second;
        s->state = LOCKSTEP_PLAYING;
        s->world.start(s->world.ctx, &m);
        return true;
    case NET_ORDER_AT: {
        if (s->state != LOCKSTEP_PLAYING)
            return protocol_error(s, "order before the start");
        if (m.turn != s->turns_ready)
            return protocol_error(s, "order for a turn already sent");
        if (s->pending_bytes + m.order_len > LOCKSTEP_MAX_PENDING_BYTES)
            return protocol_error(s, "too many orders");
        s->pending.push_back({m.turn, m.party, std::vector<u8>(m.order, m.order + m.order_len)});
        s->pending_bytes += m.order_len;
        return true;
    }
    case NET_TURN:
        if (s->state != LOCKSTEP_PLAYING)
            return protocol_error(s, "turn before the start");
        if (m.turn != s->turns_ready)
            return protocol_error(s, "turn out of order");
        s->turns_ready++;
        return true;
    case NET_PEER_LEFT:
        s->peer_left = true;
        return true;
    case NET_END:
        s->end_reason = m.reason;
        s->end_frame = m.frame;
        if (m.reason == NET_END_OUT_OF_SYNC) {
            char text[64];
            std::snprintf(text, sizeof(text), "Out of sync at frame %u", m.frame);
            end_with(s, text);
        } else if (m.reason == NET_END_NOBODY_JOINED) {
            end_with(s, "Nobody joined the game in time");
        } else if (s->state == LOCKSTEP_PLAYING && s->steps_done < s->turns_ready * s->steps_per_turn) {
            // Every turn sent before this has arrived: run them all first (lockstep_advance),
            // and both players' games and records end at the same frame.
            s->closing = true;
        } else {
            end_with(s, "Connection to the server lost");
        }
        return true;
    case NET_REFUSED:
        s->refused = m.reason;
        end_with(s, m.reason == NET_REFUSED_UNKNOWN_CODE ? "No game with that code"
                    : m.reason == NET_REFUSED_GAME_FULL  ? "That game already has two players"
                    : m.reason == NET_REFUSED_SERVER_FULL ? "The server is full"
                                                          : "The server refused the game");
        return true;
    default:
        return protocol_error(s, "a message meant for the server");
    }
}

int lockstep_advance(LockstepSession* s, double real_dt)
{
    if (s->state != LOCKSTEP_PLAYING)
        return 0;
    u32 spt = s->steps_per_turn;
    s->owed += real_dt;
    u32 runnable = s->turns_ready * spt - s->steps_done;
    u32 due = (u32)(s->owed / s->step_seconds);
    if (s->closing)
        due = runnable;  // no more turns will come: the last ones run at once
    // A whole turn or more waiting means this machine is behind the server: run what it owes
    // beyond one turn now, so that it never falls further behind.
    u32 run = due;
    if (runnable > spt && runnable - spt > run)
        run = runnable - spt;
    if (run > runnable)
        run = runnable;
    if (run > LOCKSTEP_MAX_STEPS_PER_CALL)
        run = LOCKSTEP_MAX_STEPS_PER_CALL;
    int ran = 0;
    for (u32 i = 0; i < run; i++) {
        u32 turn = s->steps_done / spt;
        bool last_of_turn = (s->steps_done + 1) % spt == 0;
        if (last_of_turn && s->outbox_count == LOCKSTEP_MAX_OUTBOX && !s->closing)
            break;  // the hash must go out; the transport drains the outbox first
        if (s->steps_done % spt == 0)
            apply_turn_orders(s, turn);
        s->world.step(s->world.ctx, s->step_seconds);
        s->steps_done++;
        ran++;
        if (last_of_turn && !s->closing) {
            NetMsg h;
            net_msg_init(&h, NET_HASH);
            h.turn = turn;
            h.hash = s->world.hash(s->world.ctx);
            queue(s, &h);
        }
    }
    if (s->closing && s->steps_done == s->turns_ready * spt) {
        end_with(s, "Connection to the server lost");
        return ran;
    }
    s->owed -= ran * (double)s->step_seconds;
    if (s->owed < 0)
        s->owed = 0;
    if (ran < (int)due && s->turns_ready * spt == s->steps_done) {
        // Nothing left to run: time spent waiting is not owed later, or the world would jump.
        s->waiting += real_dt;
        s->owed = s->step_seconds;
    } else {
        s->waiting = 0;
    }
    return ran;
}

bool lockstep_submit(LockstepSession* s, const u8* bytes, size_t n)
{
    if (s->state != LOCKSTEP_PLAYING || n == 0 || n > NET_MAX_ORDER_BYTES)
        return false;
    NetMsg* m = &s->scratch[0];
    net_msg_init(m, NET_ORDER);
    m->party = (u8)s->party;
    m->order_len = (u16)n;
    std::memcpy(m->order, bytes, n);
    return queue(s, m);
}

const LockstepOutgoing* lockstep_next_outgoing(LockstepSession* s)
{
    if (s->outbox_count == 0)
        return nullptr;
    const LockstepOutgoing* o = &s->outbox[s->outbox_head];
    s->outbox_head = (s->outbox_head + 1) % LOCKSTEP_MAX_OUTBOX;
    s->outbox_count--;
    return o;
}

bool lockstep_waiting_notice(const LockstepSession* s)
{
    return s->state == LOCKSTEP_PLAYING && s->waiting >= LOCKSTEP_WAIT_NOTICE;
}

void lockstep_connection_lost(LockstepSession* s)
{
    if (s->state != LOCKSTEP_ENDED && !s->closing)
        end_with(s, "Connection to the server lost");
}
