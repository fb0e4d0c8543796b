// Two literal forms of the route search that the game's search must agree with, cell for cell:
// pathfind_astar_plain scans every open node for the smallest f, starting from the root of the
// open tree, exactly as the rule reads; pathfind_astar_trees is the search as the game had it
// before the node arena (a heap node per cell, closed and open sets as trees searched by cell, a
// second tree ordering the open nodes by f). Both count their expansions in `expansions`.
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
    RbEntry<Node> prio_entry;  // pathfind_astar_trees only
};

// Nodes expanded by the last search of either form (the benchmarks report time per expansion).
inline long expansions = 0;

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
    expansions = 0;
    for (int loops = 0; open->rbh_root && ++loops <= max_loops;) {
        expansions++;
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
    if (!best) {  // nothing expanded (a budget below 1)
        path_free(result);
        return 0;
    }
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

namespace trees {

// Open nodes by f, equal f in cell order.
inline int priocmp(const Node* e1, const Node* e2)
{
    if (e1->f != e2->f)
        return e1->f < e2->f ? -1 : 1;
    return nodecmp(e1, e2);
}

typedef RbHead<Node> NodeTree;
typedef RbTree<Node, &Node::prio_entry, priocmp> PrioOps;

inline Node* NodeTree_RB_INSERT(NodeTree* t, Node* n) { return Ops::insert(t, n); }
inline Node* NodeTree_RB_REMOVE(NodeTree* t, Node* n) { return Ops::remove(t, n); }
inline Node* NodeTree_RB_FIND(NodeTree* t, Node* key) { return Ops::find(t, key); }
inline Node* NodeTree_RB_NEXT(Node* n) { return Ops::next(n); }
inline Node* NodeTree_RB_MINMAX(NodeTree* t, int val) { return Ops::minmax(t, val); }

inline float cost(V3i* from, V3i* to)
{
    return (float)(std::abs(to->x - from->x) + std::abs(to->y - from->y) +
                   std::abs(to->z - from->z));
}

inline int retrace_path(Path* result, Node* n)
{
    path_free(result);
    int count = 0;
    for (Node* a = n->parent; a; a = a->parent)
        count++;
    if (count == 0)
        return 0;
    V3i* coords = (V3i*)std::malloc(sizeof(V3i) * count);
    if (!coords)
        return -1;
    result->coords = coords;
    result->length = count;
    int i = count - 1;
    for (Node* a = n; a->parent; a = a->parent)
        coords[i--] = a->p;
    return 0;
}

inline Node* get_closest_node(V3i* p, NodeTree* nodetree)
{
    Node* best = nullptr;
    float best_d = 0;
    for (Node* n = NodeTree_RB_MINMAX(nodetree, -1); n; n = NodeTree_RB_NEXT(n)) {
        float d = v3i_distance(&n->p, p);
        if (!best || d < best_d) {
            best = n;
            best_d = d;
        }
    }
    return best;
}

inline void free_nodetree(NodeTree* tree)
{
    Node* next;
    for (Node* n = NodeTree_RB_MINMAX(tree, -1); n; n = next) {
        next = NodeTree_RB_NEXT(n);
        NodeTree_RB_REMOVE(tree, n);
        delete n;
    }
}

inline Node* select_open_node(NodeTree* open_nodes, RbHead<Node>* prio)
{
    Node* first = PrioOps::minmax(prio, -1);
    Node* root = open_nodes->rbh_root;
    return root->f == first->f ? root : first;
}

inline bool is_additional_blocked(V3i* q, V3i* blocked, int count)
{
    for (int i = 0; i < count; i++)
        if (v3i_eq(q, &blocked[i]))
            return true;
    return false;
}

inline int astar_search(NodeTree* open_nodes, NodeTree* closed_nodes, Path* result, V3i* from,
                        V3i* to, GameEnv* env, int graphflags, int max_loops,
                        V3i* additional_blocked, int additional_blocked_count,
                        float wanted_distance)
{
    RbHead<Node> prio = {nullptr};
    Node* start = new (std::nothrow) Node;
    if (!start)
        return 0;
    start->p = *from;
    start->h = heuristic(from, to);
    start->f = start->h;
    start->g = 0;
    start->parent = nullptr;
    NodeTree_RB_INSERT(open_nodes, start);
    PrioOps::insert(&prio, start);

    expansions = 0;
    for (int loops = 0;;) {
        if (open_nodes->rbh_root == nullptr)
            break;
        if (++loops > max_loops)
            break;
        expansions++;
        Node* n = select_open_node(open_nodes, &prio);
        if (v3i_eq(&n->p, to))
            return retrace_path(result, n) == 0 ? 1 : 0;
        if (wanted_distance >= 1.0 && wanted_distance >= v3i_distance(&n->p, to))
            return retrace_path(result, n) == 0 ? 1 : 0;
        NodeTree_RB_REMOVE(open_nodes, n);
        PrioOps::remove(&prio, n);
        NodeTree_RB_INSERT(closed_nodes, n);

        for (const V3i& dp : pathfind_neighbor_dps) {
            Node key;
            v3i_set_add(&key.p, &n->p, &dp);
            if (!is_connected(&n->p, &key.p, env, graphflags))
                continue;
            if (NodeTree_RB_FIND(closed_nodes, &key))
                continue;
            if (is_additional_blocked(&key.p, additional_blocked, additional_blocked_count))
                continue;
            float g = n->g + cost(&n->p, &key.p);
            Node* m = NodeTree_RB_FIND(open_nodes, &key);
            if (!m) {
                m = new (std::nothrow) Node;
                if (!m)
                    return 0;
                m->p = key.p;
                NodeTree_RB_INSERT(open_nodes, m);
            } else if (g < m->g) {
                PrioOps::remove(&prio, m);
            } else {
                continue;
            }
            m->parent = n;
            m->g = g;
            m->h = heuristic(&m->p, to);
            m->f = g + m->h;
            PrioOps::insert(&prio, m);
        }
    }

    Node* closest = get_closest_node(to, closed_nodes);
    if (!closest) {
        path_free(result);
        return 0;
    }
    if (retrace_path(result, closest) != 0)
        return 0;
    return result->length >= 1 ? 2 : 0;
}

}  // namespace trees

inline int pathfind_astar_trees(Path* result, V3i* from, V3i* to, GameEnv* env, int graphflags,
                                int max_loops, V3i* additional_blocked,
                                int additional_blocked_count, float wanted_distance)
{
    if (v3i_eq(from, to))
        return 0;
    trees::NodeTree open_nodes = {nullptr};
    trees::NodeTree closed_nodes = {nullptr};
    int ret = trees::astar_search(&open_nodes, &closed_nodes, result, from, to, env, graphflags,
                                  max_loops, additional_blocked, additional_blocked_count,
                                  wanted_distance);
    trees::free_nodetree(&open_nodes);
    trees::free_nodetree(&closed_nodes);
    return ret;
}

}  // namespace astar_reference
