#include "routememo.h"

#include <cstdlib>
#include <cstring>

#include "fnv.h"

namespace {

// Direct-mapped: the repeats come from a handful of stuck units at a time, so a slot per
// question hash is enough and a clash merely costs a search.
constexpr int SLOT_COUNT = 128;

struct Slot {
    bool used;
    u32 hash;
    V3i from, to;
    int graphflags, max_loops;
    u32 wanted_bits;
    V3i* blocked;  // owned; null when blocked_count is 0
    int blocked_count;
    V3i* route;  // owned; null when route_length is 0
    int route_length;
    int answer;
};

u32 float_bits(float f)
{
    u32 bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

u32 mix(u32 h, u32 v)
{
    return fnv1a(h, &v, sizeof v);
}

u32 mix_cell(u32 h, const V3i& p)
{
    return mix(mix(mix(h, (u32)p.x), (u32)p.y), (u32)p.z);
}

u32 query_hash(const RouteQuery* q)
{
    u32 h = mix_cell(mix_cell(FNV1A_BASIS, q->from), q->to);
    h = mix(mix(mix(h, (u32)q->graphflags), (u32)q->max_loops), float_bits(q->wanted_distance));
    for (int i = 0; i < q->blocked_count; i++)
        h = mix_cell(h, q->blocked[i]);
    return h;
}

bool same_question(const Slot& s, u32 hash, const RouteQuery* q)
{
    return s.used && s.hash == hash && v3i_eq(&s.from, &q->from) && v3i_eq(&s.to, &q->to) &&
           s.graphflags == q->graphflags && s.max_loops == q->max_loops &&
           s.wanted_bits == float_bits(q->wanted_distance) && s.blocked_count == q->blocked_count &&
           (q->blocked_count == 0 ||
            std::memcmp(s.blocked, q->blocked, sizeof(V3i) * q->blocked_count) == 0);
}

void slot_clear(Slot& s)
{
    std::free(s.blocked);
    std::free(s.route);
    s = Slot{};
}

V3i* copy_cells(const V3i* cells, int count)
{
    if (count == 0)
        return nullptr;
    V3i* copy = (V3i*)std::malloc(sizeof(V3i) * count);
    if (copy)
        std::memcpy(copy, cells, sizeof(V3i) * count);
    return copy;
}

}  // namespace

struct RouteMemo {
    Slot slots[SLOT_COUNT];
};

RouteMemo* route_memo_new()
{
    return (RouteMemo*)std::calloc(1, sizeof(RouteMemo));
}

void route_memo_free(RouteMemo* memo)
{
    if (!memo)
        return;
    for (Slot& s : memo->slots)
        slot_clear(s);
    std::free(memo);
}

bool route_memo_find(RouteMemo* memo, const RouteQuery* q, Path* result, int* answer)
{
    u32 hash = query_hash(q);
    const Slot& s = memo->slots[hash % SLOT_COUNT];
    if (!same_question(s, hash, q))
        return false;
    V3i* route = copy_cells(s.route, s.route_length);
    if (s.route_length > 0 && !route)
        return false;  // let the search have its go at the memory
    path_free(result);
    result->coords = route;
    result->length = s.route_length;
    *answer = s.answer;
    return true;
}

void route_memo_store(RouteMemo* memo, const RouteQuery* q, const Path* route, int answer)
{
    u32 hash = query_hash(q);
    Slot& s = memo->slots[hash % SLOT_COUNT];
    slot_clear(s);
    V3i* blocked = copy_cells(q->blocked, q->blocked_count);
    V3i* cells = copy_cells(route->coords, route->length);
    if ((q->blocked_count > 0 && !blocked) || (route->length > 0 && !cells)) {
        std::free(blocked);
        std::free(cells);
        return;
    }
    s.used = true;
    s.hash = hash;
    s.from = q->from;
    s.to = q->to;
    s.graphflags = q->graphflags;
    s.max_loops = q->max_loops;
    s.wanted_bits = float_bits(q->wanted_distance);
    s.blocked = blocked;
    s.blocked_count = q->blocked_count;
    s.route = cells;
    s.route_length = route->length;
    s.answer = answer;
}
