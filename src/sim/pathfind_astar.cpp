// The route search: a greedy A* over the voxel grid with a loop budget.
//
// Which open cell is expanded next depends on the shape of the open red-black tree (on a tie in
// f the tree's root wins), so the open set is still that tree, keyed by cell, with every insert
// and removal the search has always made. Everything around it is bookkeeping that gives the
// same answers faster: nodes come from an arena kept between searches, a table indexed by cell
// says whether a cell is open or closed, and a binary heap ordered by (f, cell) finds the first
// smallest f. The scratch is the module's own and is reused by every search (the game plans
// routes on one thread).
#include "pathfind.h"

#include <cstdlib>
#include <cstring>

#include "game.h"
#include "rbtree.h"

namespace {

// One explored cell; lives for one search.
struct Node {
    RbEntry<Node> rb_entry;  // membership in the open tree (or, off the table, the closed one)
    V3i p;                   // the cell
    float h;                 // estimate from p to the goal
    float f;                 // g + h
    float g;                 // cost from the start along the best known route
    Node* parent;            // the node this one was reached from; null for the start
    int heap_i;              // while open: place in the heap
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

typedef RbHead<Node> NodeTree;
typedef RbTree<Node, &Node::rb_entry, nodecmp> NodeTreeOps;

// Nodes are handed out in blocks that stay put, so tree links and parents stay valid as the
// arena grows.
constexpr int NODE_BLOCK_SHIFT = 10;
constexpr int NODE_BLOCK_SIZE = 1 << NODE_BLOCK_SHIFT;

// A cell's state in the current search: mark is 2 * search + 1 for open (node is its arena
// index), 2 * search + 2 for closed, anything else for unseen. Bumping the search number empties
// the table without touching it.
struct CellMark {
    u32 mark;
    u32 node;
};

struct Scratch {
    Node** blocks;      // node blocks; owned
    int block_count;    // blocks allocated
    int node_capacity;  // block_count * NODE_BLOCK_SIZE
    int node_count;     // nodes handed out in this search
    Node** heap;        // open nodes, a binary heap by (f, cell); node_capacity entries
    int heap_count;
    Node** closed;      // closed nodes in the order they were expanded; node_capacity entries
    int closed_count;
    CellMark* cells;    // one per cell of `window`; owned
    Area window;        // the map grown by one cell on every side
    u32 search;         // number of the current search
};

Scratch scratch;

Node* node_at(u32 i)
{
    return &scratch.blocks[i >> NODE_BLOCK_SHIFT][i & (NODE_BLOCK_SIZE - 1)];
}

// One more block of nodes, with heap and closed list to match: false when out of memory.
bool grow_nodes()
{
    Scratch& s = scratch;
    int capacity = s.node_capacity + NODE_BLOCK_SIZE;
    Node** blocks = (Node**)std::realloc(s.blocks, sizeof(Node*) * (s.block_count + 1));
    if (!blocks)
        return false;
    s.blocks = blocks;
    Node** heap = (Node**)std::realloc(s.heap, sizeof(Node*) * capacity);
    if (!heap)
        return false;
    s.heap = heap;
    Node** closed = (Node**)std::realloc(s.closed, sizeof(Node*) * capacity);
    if (!closed)
        return false;
    s.closed = closed;
    Node* block = (Node*)std::malloc(sizeof(Node) * NODE_BLOCK_SIZE);
    if (!block)
        return false;
    s.blocks[s.block_count++] = block;
    s.node_capacity = capacity;
    return true;
}

// A fresh node for cell p, or null when out of memory; *index receives its arena index.
Node* new_node(const V3i* p, u32* index)
{
    if (scratch.node_count == scratch.node_capacity && !grow_nodes())
        return nullptr;
    *index = (u32)scratch.node_count++;
    Node* n = node_at(*index);
    n->p = *p;
    return n;
}

// Prepares the table for the map and starts a new search number: false when out of memory.
bool begin_search(const Area* map)
{
    Scratch& s = scratch;
    Area w = {map->x - 1, map->y - 1, map->z - 1, map->w + 2, map->h + 2, map->d + 2};
    bool same = s.cells && w.x == s.window.x && w.y == s.window.y && w.z == s.window.z &&
                w.w == s.window.w && w.h == s.window.h && w.d == s.window.d;
    if (!same || s.search >= 0x7ffffff0u) {
        std::free(s.cells);
        s.cells = (CellMark*)std::calloc((size_t)area_size(&w), sizeof(CellMark));
        if (!s.cells)
            return false;
        s.window = w;
        s.search = 0;
    }
    s.search++;
    s.node_count = 0;
    s.heap_count = 0;
    s.closed_count = 0;
    return true;
}

u32 open_mark() { return 2 * scratch.search + 1; }
u32 closed_mark() { return 2 * scratch.search + 2; }

// The table entry of cell p, or null when p lies off the table (only a search without ground
// under its feet gets there).
CellMark* cell_mark(const V3i* p)
{
    if (!area_contains(&scratch.window, p))
        return nullptr;
    return &scratch.cells[area_index(&scratch.window, p)];
}

// Heap order: smaller f first, equal f in cell order, so the top is the first smallest-f node
// in the order of the open tree.
bool heap_less(const Node* a, const Node* b)
{
    if (a->f != b->f)
        return a->f < b->f;
    return nodecmp(a, b) < 0;
}

void heap_place(Node* n, int i)
{
    scratch.heap[i] = n;
    n->heap_i = i;
}

void heap_sift_up(Node* n, int i)
{
    while (i > 0) {
        int parent = (i - 1) / 2;
        Node* p = scratch.heap[parent];
        if (!heap_less(n, p))
            break;
        heap_place(p, i);
        i = parent;
    }
    heap_place(n, i);
}

void heap_sift_down(Node* n, int i)
{
    int count = scratch.heap_count;
    for (;;) {
        int c = 2 * i + 1;
        if (c >= count)
            break;
        if (c + 1 < count && heap_less(scratch.heap[c + 1], scratch.heap[c]))
            c++;
        if (!heap_less(scratch.heap[c], n))
            break;
        heap_place(scratch.heap[c], i);
        i = c;
    }
    heap_place(n, i);
}

void heap_push(Node* n)
{
    heap_sift_up(n, scratch.heap_count++);
}

void heap_remove(Node* n)
{
    int i = n->heap_i;
    Node* last = scratch.heap[--scratch.heap_count];
    if (last == n)
        return;
    if (i > 0 && heap_less(last, scratch.heap[(i - 1) / 2]))
        heap_sift_up(last, i);
    else
        heap_sift_down(last, i);
}

float heuristic(V3i* from, V3i* to)
{
    return 2 * v3i_distance(from, to);
}

float cost(const V3i* dp)
{
    return (float)(std::abs(dp->x) + std::abs(dp->y) + std::abs(dp->z));
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

// The closed node nearest p; among equally near ones the first in cell order (z, y, x); null
// when nothing was expanded.
Node* get_closest_node(V3i* p)
{
    Node* best = nullptr;
    float best_d = 0;
    for (int i = 0; i < scratch.closed_count; i++) {
        Node* n = scratch.closed[i];
        float d = v3i_distance(&n->p, p);
        if (!best || d < best_d || (d == best_d && nodecmp(n, best) < 0)) {
            best = n;
            best_d = d;
        }
    }
    return best;
}

// The node to expand: the smallest f; on a tie the root of the open tree if it is among the
// smallest, else the first smallest in cell order.
Node* select_open_node(NodeTree* open_nodes)
{
    Node* first = scratch.heap[0];
    Node* root = open_nodes->rbh_root;
    return root->f == first->f ? root : first;
}

bool is_additional_blocked(const V3i* q, V3i* blocked, int count)
{
    for (int i = 0; i < count; i++)
        if (v3i_eq(q, &blocked[i]))
            return true;
    return false;
}

// Whether a unit may step from a to its neighbour b; every step the search takes asks here.
inline bool can_step(V3i* a, V3i* b, GameEnv* env, int graphflags)
{
    return is_connected(a, b, env, graphflags);
}

// The search proper, on a fresh search number.
int astar_search(Path* result, V3i* from, V3i* to, GameEnv* env, int graphflags, int max_loops,
                 V3i* additional_blocked, int additional_blocked_count, float wanted_distance)
{
    NodeTree open_nodes = {nullptr};
    NodeTree closed_off_table = {nullptr};  // closed cells the table does not cover
    const u32 OPEN = open_mark(), CLOSED = closed_mark();

    u32 start_i;
    Node* start = new_node(from, &start_i);
    if (!start)
        return 0;
    start->h = heuristic(from, to);
    start->f = start->h;
    start->g = 0;
    start->parent = nullptr;
    NodeTreeOps::insert(&open_nodes, start);
    heap_push(start);
    if (CellMark* c = cell_mark(from))
        *c = {OPEN, start_i};

    for (int loops = 0;;) {
        if (open_nodes.rbh_root == nullptr)
            break;
        if (++loops > max_loops)
            break;
        Node* n = select_open_node(&open_nodes);
        // A route that cannot be stored counts as no route.
        if (v3i_eq(&n->p, to))
            return retrace_path(result, n) == 0 ? 1 : 0;
        if (wanted_distance >= 1.0 && wanted_distance >= v3i_distance(&n->p, to))
            return retrace_path(result, n) == 0 ? 1 : 0;
        NodeTreeOps::remove(&open_nodes, n);
        heap_remove(n);
        scratch.closed[scratch.closed_count++] = n;
        CellMark* n_mark = cell_mark(&n->p);
        if (n_mark)
            n_mark->mark = CLOSED;
        else
            NodeTreeOps::insert(&closed_off_table, n);

        for (const V3i& dp : pathfind_neighbor_dps) {
            // The skip tests ask nothing of the world but is_connected, so the cheap table
            // look-up goes first.
            V3i q;
            v3i_set_add(&q, &n->p, &dp);
            CellMark* mark = cell_mark(&q);
            if (mark && mark->mark == CLOSED)
                continue;
            if (!can_step(&n->p, &q, env, graphflags))
                continue;
            Node* m = nullptr;
            if (mark) {
                if (mark->mark == OPEN)
                    m = node_at(mark->node);
            } else {
                Node key;
                key.p = q;
                if (NodeTreeOps::find(&closed_off_table, &key))
                    continue;
                m = NodeTreeOps::find(&open_nodes, &key);
            }
            if (is_additional_blocked(&q, additional_blocked, additional_blocked_count))
                continue;
            float g = n->g + cost(&dp);
            if (m) {
                if (!(g < m->g))
                    continue;
                // Same cell, same goal: h is unchanged, and f only falls.
                m->parent = n;
                m->g = g;
                m->f = g + m->h;
                heap_sift_up(m, m->heap_i);
                continue;
            }
            u32 m_i;
            m = new_node(&q, &m_i);
            if (!m)
                return 0;
            m->parent = n;
            m->g = g;
            m->h = heuristic(&q, to);
            m->f = g + m->h;
            NodeTreeOps::insert(&open_nodes, m);
            heap_push(m);
            if (mark)
                *mark = {OPEN, m_i};
        }
    }

    Node* closest = get_closest_node(to);
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
    if (!begin_search(&env->voxeldata.area))
        return 0;
    return astar_search(result, from, to, env, graphflags, max_loops, additional_blocked,
                        additional_blocked_count, wanted_distance);
}
