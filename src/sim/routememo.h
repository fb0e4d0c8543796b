// Route searches remembered while the terrain stays as it is.
//
// A search that does not treat entities as obstacles reads nothing but the terrain and its own
// arguments, so on a terrain that no longer changes the same arguments always give the same
// answer. A unit whose goal has no route asks that same question every frame it stands still
// (until its full-retry timer gives up), and at a high frame rate most of the game's searching
// is such repeats; the memo answers them from a table instead. Answers are exactly what the
// search returns, route cells included, so nothing the world does changes.
#pragma once

#include "pathfind.h"
#include "types.h"

struct RouteMemo;

// A memo for a terrain that is final from now on; null when out of memory (searches then
// simply run). Released with route_memo_free.
RouteMemo* route_memo_new();
void route_memo_free(RouteMemo* memo);

// The arguments of one search; the blocked cells are the caller's (not copied).
struct RouteQuery {
    V3i from;
    V3i to;
    int graphflags;
    int max_loops;
    float wanted_distance;
    const V3i* blocked;
    int blocked_count;
};

// When the memo holds the answer to q: fills *result as the search would (emptied, or the route
// with next_i 0), sets *answer to its return value and returns true.
bool route_memo_find(RouteMemo* memo, const RouteQuery* q, Path* result, int* answer);
// Remembers the answer the search gave to q (route: the result it filled).
void route_memo_store(RouteMemo* memo, const RouteQuery* q, const Path* route, int answer);
