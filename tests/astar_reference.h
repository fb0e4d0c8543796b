// A plain implementation of the route search used to check the game's faster selection: it
// scans every open node for the smallest f, starting from the root of the open tree, exactly as
// the rule reads. Same result codes and routes as pathfind_astar.
#pragma once

#include <cstdlib>
#include <new>

#include "game.h"
#include "pathfind.h"
#include "rbtree.h"

namespace astar_reference {

struct Node {
    RbEntry<Node> rb_entry;
    V3i p;
    float h, f, g;
    Node* parent;
};

inline int nodecmp(const Node* a, const Node* b)
{
    if (a->p.z != b->p.z)
        return a->p.z < b->p.z ? -1 : 1;
    if (a->p.y != b->p.y)
        return a->p.y < b->p.y ? -1 : 1;
    if (a->p.x != b->p.x)
        return a->p.x < b->p.x ? -1 : 1;
    return 0;
}

typedef RbTree<Node, &Node::rb_entry, nodecmp> Ops;

inline float heuristic(V3i* a, V3i* b)
{
    return 2 * v3i_distance(a, b);
}

inline int retrace(Path* result, Node* n)
{
    path_free(result);
    int count = 0;
    for (Node* a = n->parent; a; a = a->parent)
        count++;
    if (count == 0)
        return 0;
    result->coords = (V3i*)std::malloc(sizeof(V3i) * count);
    result->length = count;
    int i = count - 1;
    for (Node* a = n; a->parent; a = a->parent)
        result->coords[i--] = a->p;
    return 0;
}

inline void free_tree(RbHead<Node>* t)
{
    while (Node* n = t->rbh_root) {
        Ops::remove(t, n);
        delete n;
    }
}

inline int search(RbHead<Node>* open, RbHead<Node>* closed, Path* result, V3i* from, V3i* to,
                  GameEnv* env, int flags, int max_loops, V3i* blocked, int blocked_count,
                  float wanted_distance)
{
    Node* start = new Node{};
    start->p = *from;
    start->h = start->f = heuristic(from, to);
    Ops::insert(open, start);
    for (int loops = 0; open->rbh_root && ++loops <= max_loops;) {
        Node* n = open->rbh_root;
        for (Node* m = Ops::minmax(open, -1); m; m = Ops::next(m))
            if (m->f < n->f)
                n = m;
        if (v3i_eq(&n->p, to))
            return retrace(result, n), 1;
        if (wanted_distance >= 1.0 && wanted_distance >= v3i_distance(&n->p, to))
            return retrace(result, n), 1;
        Ops::remove(open, n);
        Ops::insert(closed, n);
        for (const V3i& dp : pathfind_neighbor_dps) {
            Node key;
            v3i_set_add(&key.p, &n->p, &dp);
            if (!is_connected(&n->p, &key.p, env, flags) || Ops::find(closed, &key))
                continue;
            bool is_blocked = false;
            for (int i = 0; i < blocked_count; i++)
                is_blocked = is_blocked || v3i_eq(&key.p, &blocked[i]);
            if (is_blocked)
                continue;
            float g = n->g + (float)(std::abs(dp.x) + std::abs(dp.y) + std::abs(dp.z));
            Node* m = Ops::find(open, &key);
            if (!m) {
                m = new Node{};
                m->p = key.p;
                Ops::insert(open, m);
            } else if (!(g < m->g)) {
                continue;
            }
            m->parent = n;
            m->g = g;
            m->h = heuristic(&m->p, to);
            m->f = g + m->h;
        }
    }
    Node* best = nullptr;
    for (Node* m = Ops::minmax(closed, -1); m; m = Ops::next(m))
        if (!best || v3i_distance(&m->p, to) < v3i_distance(&best->p, to))
            best = m;
    retrace(result, best);
    return result->length >= 1 ? 2 : 0;
}

inline int pathfind_astar_plain(Path* result, V3i* from, V3i* to, GameEnv* env, int flags,
                                int max_loops, V3i* blocked, int blocked_count,
                                float wanted_distance)
{
    if (v3i_eq(from, to))
        return 0;
    RbHead<Node> open = {nullptr}, closed = {nullptr};
    int ret = search(&open, &closed, result, from, to, env, flags, max_loops, blocked,
                     blocked_count, wanted_distance);
    free_tree(&open);
    free_tree(&closed);
    return ret;
}

}  // namespace astar_reference
