// The route search: a greedy A* over the voxel grid with a loop budget.
#include "pathfind.h"

#include <cstdlib>
#include <new>

#include "game.h"
#include "rbtree.h"

namespace {

// One explored cell; lives for one search.
struct Node {
    RbEntry<Node> rb_entry;  // membership in open_nodes or closed_nodes
    V3i p;                   // the cell
    float h;                 // estimate from p to the goal
    float f;                 // g + h
    float g;                 // cost from the start along the best known route
    Node* parent;            // the node this one was reached from; null for the start
    RbEntry<Node> prio_entry;  // while open: membership in the (f, cell) order used for selection
};

// Cells ordered by z, then y, then x.
int nodecmp(const Node* e1, const Node* e2)
{
    if (e1->p.z != e2->p.z)
        return e1->p.z < e2->p.z ? -1 : 1;
    if (e1->p.y != e2->p.y)
        return e1->p.y < e2->p.y ? -1 : 1;
    if (e1->p.x != e2->p.x)
        return e1->p.x < e2->p.x ? -1 : 1;
    return 0;
}

// Open nodes by f, equal f in cell order: the first element is the first smallest-f node in the
// cell order, the node the selection rule picks unless the root of open_nodes shares its f.
int priocmp(const Node* e1, const Node* e2)
{
    if (e1->f != e2->f)
        return e1->f < e2->f ? -1 : 1;
    return nodecmp(e1, e2);
}

typedef RbHead<Node> NodeTree;
typedef RbTree<Node, &Node::rb_entry, nodecmp> NodeTreeOps;
typedef RbTree<Node, &Node::prio_entry, priocmp> PrioOps;

inline Node* NodeTree_RB_INSERT(NodeTree* t, Node* n) { return NodeTreeOps::insert(t, n); }
inline Node* NodeTree_RB_REMOVE(NodeTree* t, Node* n) { return NodeTreeOps::remove(t, n); }
inline Node* NodeTree_RB_FIND(NodeTree* t, Node* key) { return NodeTreeOps::find(t, key); }
inline Node* NodeTree_RB_NEXT(Node* n) { return NodeTreeOps::next(n); }
inline Node* NodeTree_RB_MINMAX(NodeTree* t, int val) { return NodeTreeOps::minmax(t, val); }

float heuristic(V3i* from, V3i* to)
{
    return 2 * v3i_distance(from, to);
}

float cost(V3i* from, V3i* to)
{
    return (float)(std::abs(to->x - from->x) + std::abs(to->y - from->y) +
                   std::abs(to->z - from->z));
}

// Builds the route ending at n (without the start cell) into *result: 0, or -1 when out of memory.
int retrace_path(Path* result, Node* n)
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

// The node nearest p; among equally near ones the first in tree order; null for an empty tree.
Node* get_closest_node(V3i* p, NodeTree* nodetree)
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

void free_nodetree(NodeTree* tree)
{
    Node* next;
    for (Node* n = NodeTree_RB_MINMAX(tree, -1); n; n = next) {
        next = NodeTree_RB_NEXT(n);
        NodeTree_RB_REMOVE(tree, n);
        delete n;
    }
}

// The node to expand: the smallest f; on a tie the root of open_nodes if it is among the
// smallest, else the first smallest in cell order.
Node* select_open_node(NodeTree* open_nodes, RbHead<Node>* prio)
{
    Node* first = PrioOps::minmax(prio, -1);
    Node* root = open_nodes->rbh_root;
    return root->f == first->f ? root : first;
}

bool is_additional_blocked(V3i* q, V3i* blocked, int count)
{
    for (int i = 0; i < count; i++)
        if (v3i_eq(q, &blocked[i]))
            return true;
    return false;
}

// The search proper; the caller releases the trees.
int astar_search(NodeTree* open_nodes, NodeTree* closed_nodes, Path* result, V3i* from, V3i* to,
                 GameEnv* env, int graphflags, int max_loops, V3i* additional_blocked,
                 int additional_blocked_count, float wanted_distance)
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

    for (int loops = 0;;) {
        if (open_nodes->rbh_root == nullptr)
            break;
        if (++loops > max_loops)
            break;
        Node* n = select_open_node(open_nodes, &prio);
        // A route that cannot be stored counts as no route.
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

}  // namespace

int pathfind_astar(Path* result, V3i* from, V3i* to, GameEnv* env, int graphflags, int max_loops,
                   V3i* additional_blocked, int additional_blocked_count, float wanted_distance)
{
    if (v3i_eq(from, to))
        return 0;
    NodeTree open_nodes = {nullptr};
    NodeTree closed_nodes = {nullptr};
    int ret = astar_search(&open_nodes, &closed_nodes, result, from, to, env, graphflags,
                           max_loops, additional_blocked, additional_blocked_count,
                           wanted_distance);
    free_nodetree(&open_nodes);
    free_nodetree(&closed_nodes);
    return ret;
}
