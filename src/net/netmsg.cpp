#include "netmsg.h"

#include <cstdio>
#include <cstring>

namespace {

struct Writer {
    u8* out;
    size_t cap;
    size_t len;
    bool ok;
    void bytes(const void* p, size_t n)
    {
        if (!ok || cap - len < n) {
            ok = false;
            return;
        }
        std::memcpy(out + len, p, n);
        len += n;
    }
    void uint(u64 v, int n)
    {
        u8 b[8];
        for (int i = 0; i < n; i++)
            b[i] = (u8)(v >> (8 * i));
        bytes(b, (size_t)n);
    }
};

struct Reader {
    const u8* data;
    size_t size;
    size_t pos;
    bool ok;
    u64 uint(int n)
    {
        if (!ok || size - pos < (size_t)n) {
            ok = false;
            return 0;
        }
        u64 v = 0;
        for (int i = 0; i < n; i++)
            v |= (u64)data[pos + i] << (8 * i);
        pos += (size_t)n;
        return v;
    }
    void bytes(void* p, size_t n)
    {
        if (!ok || size - pos < n) {
            ok = false;
            return;
        }
        std::memcpy(p, data + pos, n);
        pos += n;
    }
};

bool fail(char* why, size_t why_size, const char* text)
{
    if (why && why_size)
        std::snprintf(why, why_size, "%s", text);
    return false;
}

bool order_len_valid(u16 n) { return n >= 1 && n <= NET_MAX_ORDER_BYTES; }

}  // namespace

void net_msg_init(NetMsg* msg, NetKind kind)
{
    std::memset(msg, 0, sizeof(*msg));
    msg->kind = kind;
}

bool net_code_valid(const char* code)
{
    for (int i = 0; i < NET_CODE_LEN; i++)
        if (code[i] < 'A' || code[i] > 'Z')
            return false;
    return true;
}

size_t net_encode(const NetMsg* m, u8* out, size_t cap)
{
    Writer w = {out, cap, 0, true};
    w.uint(NET_VERSION, 1);
    w.uint(m->kind, 1);
    switch (m->kind) {
    case NET_HELLO:
        if (m->role != NET_ROLE_HOST && m->role != NET_ROLE_JOIN)
            return 0;
        if (m->role == NET_ROLE_JOIN && !net_code_valid(m->code))
            return 0;
        w.uint(m->role, 1);
        if (m->role == NET_ROLE_JOIN)
            w.bytes(m->code, NET_CODE_LEN);
        else
            w.uint(0, NET_CODE_LEN);
        break;
    case NET_ORDER:
    case NET_ORDER_AT:
        if (m->party > 1 || !order_len_valid(m->order_len))
            return 0;
        if (m->kind == NET_ORDER_AT)
            w.uint(m->turn, 4);
        w.uint(m->party, 1);
        w.uint(m->order_len, 2);
        w.bytes(m->order, m->order_len);
        break;
    case NET_HASH:
        w.uint(m->turn, 4);
        w.uint(m->hash, 8);
        break;
    case NET_WELCOME:
        if (!net_code_valid(m->code) || m->party > 1)
            return 0;
        w.bytes(m->code, NET_CODE_LEN);
        w.uint(m->party, 1);
        break;
    case NET_START:
        if (m->steps_per_turn < 1 || m->steps_per_turn > 600 || m->steps_per_second < 1 ||
            m->steps_per_second > 1000)
            return 0;
        w.uint((u64)m->second, 8);
        w.uint(m->generator, 4);
        w.uint(m->uid_counter, 4);
        w.uint(m->steps_per_turn, 2);
        w.uint(m->steps_per_second, 2);
        break;
    case NET_TURN:
        w.uint(m->turn, 4);
        break;
    case NET_PEER_LEFT:
        break;
    case NET_END:
        w.uint(m->reason, 1);
        w.uint(m->frame, 4);
        break;
    case NET_REFUSED:
        w.uint(m->reason, 1);
        break;
    default:
        return 0;
    }
    return w.ok ? w.len : 0;
}

bool net_decode(const u8* data, size_t size, NetMsg* m, char* why, size_t why_size)
{
    if (size > NET_MAX_MESSAGE)
        return fail(why, why_size, "message too long");
    if (size < 2)
        return fail(why, why_size, "message too short");
    if (data[0] != NET_VERSION)
        return fail(why, why_size, "wrong protocol version");
    Reader r = {data, size, 2, true};
    net_msg_init(m, (NetKind)data[1]);
    switch (data[1]) {
    case NET_HELLO:
        m->role = (u8)r.uint(1);
        r.bytes(m->code, NET_CODE_LEN);
        if (!r.ok)
            break;
        if (m->role == NET_ROLE_HOST) {
            for (char c : m->code)
                if (c != 0)
                    return fail(why, why_size, "hosting with a code");
        } else if (m->role == NET_ROLE_JOIN) {
            if (!net_code_valid(m->code))
                return fail(why, why_size, "bad game code");
        } else {
            return fail(why, why_size, "unknown role");
        }
        break;
    case NET_ORDER:
    case NET_ORDER_AT:
        if (data[1] == NET_ORDER_AT)
            m->turn = (u32)r.uint(4);
        m->party = (u8)r.uint(1);
        m->order_len = (u16)r.uint(2);
        if (!r.ok)
            break;
        if (m->party > 1)
            return fail(why, why_size, "no such party");
        if (!order_len_valid(m->order_len))
            return fail(why, why_size, "order of bad length");
        r.bytes(m->order, m->order_len);
        break;
    case NET_HASH:
        m->turn = (u32)r.uint(4);
        m->hash = r.uint(8);
        break;
    case NET_WELCOME:
        r.bytes(m->code, NET_CODE_LEN);
        m->party = (u8)r.uint(1);
        if (r.ok && (!net_code_valid(m->code) || m->party > 1))
            return fail(why, why_size, "bad welcome");
        break;
    case NET_START:
        m->second = (s64)r.uint(8);
        m->generator = (u32)r.uint(4);
        m->uid_counter = (u32)r.uint(4);
        m->steps_per_turn = (u16)r.uint(2);
        m->steps_per_second = (u16)r.uint(2);
        if (r.ok && (m->steps_per_turn < 1 || m->steps_per_turn > 600 || m->steps_per_second < 1 ||
                     m->steps_per_second > 1000))
            return fail(why, why_size, "bad turn length");
        break;
    case NET_TURN:
        m->turn = (u32)r.uint(4);
        break;
    case NET_PEER_LEFT:
        break;
    case NET_END:
        m->reason = (u8)r.uint(1);
        m->frame = (u32)r.uint(4);
        break;
    case NET_REFUSED:
        m->reason = (u8)r.uint(1);
        break;
    default:
        return fail(why, why_size, "unknown message kind");
    }
    if (!r.ok)
        return fail(why, why_size, "message too short");
    if (r.pos != size)
        return fail(why, why_size, "message too long for its kind");
    return true;
}
