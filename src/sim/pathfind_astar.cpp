// The route search: a greedy A* over the voxel grid with a loop budget.
//
// Which open cell is expanded next depends on the shape of the open red-black tree (on a tie in
// f the tree's root wins), so the open set is still that tree, keyed by cell, with every insert
// and removal the search has always made. Everything around it is bookkeeping that gives the
// same answers faster: nodes come from an arena kept between searches, a table indexed by cell
// finds a cell's node and whether it is closed, a binary heap ordered by (f, cell) finds the
// first smallest f, cells compare as one integer, and which neighbours is_connected would let a
// unit step to is read from the neighbouring columns at once (only whether an entity holds a
// cell is asked per step). The scratch is the module's own and is reused by every search (the
// game plans routes on one thread); only the returned route is allocated per search.
#include "pathfind.h"

#include <cstdlib>
#include <cstring>

#include "game.h"
#include "materialtypes.h"
#include "rbtree.h"
#include "routememo.h"

namespace {

// One explored cell; lives for one search.
struct Node {
    RbEntry<Node> rb_entry;  // membership in the open tree (or, off the table, the closed one)
    u64 key;                 // the cell as one number in cell order (see cell_key)
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

// A search reaches no cell more than max_loops steps from its start along any axis, so below this
// budget a cell's offset from the start fits in KEY_BITS bits per axis, and one integer holding
// the offsets z, y, x from the most significant bits down orders cells exactly as nodecmp does.
constexpr int KEY_BITS = 21;
constexpr s32 KEY_BIAS = 1 << (KEY_BITS - 1);
constexpr int KEYED_MAX_LOOPS = KEY_BIAS - 1;

inline u64 cell_key(const V3i* p, const V3i* start)
{
    return (u64)(u32)(p->z - start->z + KEY_BIAS) << (2 * KEY_BITS) |
           (u64)(u32)(p->y - start->y + KEY_BIAS) << KEY_BITS | (u32)(p->x - start->x + KEY_BIAS);
}

int nodecmp_key(const Node* e1, const Node* e2)
{
    return e1->key < e2->key ? -1 : e1->key != e2->key;
}

typedef RbHead<Node> NodeTree;
// Keyed searches compare cells by key, larger budgets by coordinates.
template <bool keyed>
struct NodeTreeFor {
    typedef RbTree<Node, &Node::rb_entry, nodecmp_key> Ops;
};
template <>
struct NodeTreeFor<false> {
    typedef RbTree<Node, &Node::rb_entry, nodecmp> Ops;
};
template <bool keyed>
using NodeTreeOps = typename NodeTreeFor<keyed>::Ops;

// Nodes are handed out in blocks that stay put, so tree links and parents stay valid as the
// arena grows.
constexpr int NODE_BLOCK_SHIFT = 10;
constexpr int NODE_BLOCK_SIZE = 1 << NODE_BLOCK_SHIFT;

// An open node with its f and cell, so that the heap compares without following the pointer.
struct HeapEntry {
    u32 f_bits;  // n's f as its bit pattern: f is never negative, so this orders as f does
    u64 key;     // n's key, for ties (keyed searches only)
    Node* n;
};

inline u32 float_bits(float f)
{
    u32 bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

constexpr u32 CELL_CLOSED = 0x80000000u;

struct Scratch {
    Node** blocks;      // node blocks; owned
    int block_count;    // blocks allocated
    int node_capacity;  // block_count * NODE_BLOCK_SIZE
    int node_count;     // nodes handed out in this search
    HeapEntry* heap;    // open nodes, a binary heap by (f, cell); node_capacity entries
    int heap_count;
    Node** closed;      // closed nodes in the order they were expanded; node_capacity entries
    int closed_count;
    u32* cells;         // per cell of `window`: 1 + arena index of its node, 0 for none, with
                        // CELL_CLOSED once expanded; owned. Each search leaves it all zero again.
    Area window;        // the map grown by one cell on every side
    s32 step_offset[18];  // the index difference of each neighbour step in `window`
    float step_cost[18];  // cost() of each neighbour step
    Area map;             // the voxel data's area that column_offset was made for
    // The 3 x 3 columns around a cell, x then y from -1 to 1: the index difference in the voxel
    // data to the column's cell two below the centre one, and, for each pattern of bits
    // (bit j: the step to the column's cell at dz = j - 1 is not turned down at once), the
    // matching bits of the neighbour table.
    s32 column_offset[9];
    u32 column_steps[9][8];
    // Per material: whether a unit with the movement flags of ground_for may step onto a cell of
    // it (what is_connected asks of the cell below the destination).
    u8 ground_ok[256];
    int ground_for;  // 1 + the flags ground_ok was made for; 0 before the first search
    bool out_of_memory;  // this search ran out of memory: its answer is not the terrain's
};

Scratch scratch = {};

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
    HeapEntry* heap = (HeapEntry*)std::realloc(s.heap, sizeof(HeapEntry) * capacity);
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
    if (scratch.node_count == scratch.node_capacity && !grow_nodes()) {
        scratch.out_of_memory = true;
        return nullptr;
    }
    *index = (u32)scratch.node_count++;
    Node* n = node_at(*index);
    n->p = *p;
    return n;
}

// The cost of one step: 1 straight, 2 diagonal in a plane, 3 never (not a neighbour).
float cost(const V3i* dp)
{
    return (float)(std::abs(dp->x) + std::abs(dp->y) + std::abs(dp->z));
}

// Prepares the table for the map: false when out of memory.
bool begin_search(const Area* map)
{
    Scratch& s = scratch;
    Area w = {map->x - 1, map->y - 1, map->z - 1, map->w + 2, map->h + 2, map->d + 2};
    if (!s.cells || !area_eq(&w, &s.window)) {
        std::free(s.cells);
        s.cells = (u32*)std::calloc((size_t)area_size(&w), sizeof(u32));
        if (!s.cells)
            return false;
        s.window = w;
        for (int i = 0; i < 18; i++) {
            const V3i& dp = pathfind_neighbor_dps[i];
            s.step_offset[i] = area_i_add_xyz(&w, 0, dp.x, dp.y, dp.z);
            s.step_cost[i] = cost(&dp);
        }
    }
    if (!area_eq(map, &s.map)) {
        s.map = *map;
        for (int c = 0; c < 9; c++) {
            int dx = c / 3 - 1, dy = c % 3 - 1;
            s.column_offset[c] = area_i_add_xyz(map, 0, dx, dy, -2);
            for (int pattern = 0; pattern < 8; pattern++) {
                s.column_steps[c][pattern] = 0;
                for (int k = 0; k < 18; k++) {
                    const V3i& dp = pathfind_neighbor_dps[k];
                    if (dp.x == dx && dp.y == dy && (pattern >> (dp.z + 1) & 1))
                        s.column_steps[c][pattern] |= 1u << k;
                }
            }
        }
    }
    s.node_count = 0;
    s.heap_count = 0;
    s.closed_count = 0;
    s.out_of_memory = false;
    return true;
}

// Empties the table entries the search filled.
void end_search()
{
    Scratch& s = scratch;
    for (int i = 0; i < s.node_count; i++) {
        Node* n = node_at((u32)i);
        if (area_contains(&s.window, &n->p))
            s.cells[area_index(&s.window, &n->p)] = 0;
    }
}

// The table entry of cell p, or null when p lies off the table (only a search without ground
// under its feet gets there).
inline u32* cell_entry(const V3i* p)
{
    if (!area_contains(&scratch.window, p))
        return nullptr;
    return &scratch.cells[area_index(&scratch.window, p)];
}

// Whether p and every cell one step from it lie on the table.
inline bool neighbours_on_table(const V3i* p)
{
    const Area& w = scratch.window;
    return p->x > w.x && p->x < w.x + w.w - 1 && p->y > w.y && p->y < w.y + w.h - 1 &&
           p->z > w.z && p->z < w.z + w.d - 1;
}

// Heap order: smaller f first, equal f in cell order, so the top is the first smallest-f node
// in the order of the open tree.
template <bool keyed>
inline bool heap_less(const HeapEntry& a, const HeapEntry& b)
{
    // Integers compared without branches: which way a heap step goes is a coin toss.
    if (keyed)
        return (a.f_bits < b.f_bits) | ((a.f_bits == b.f_bits) & (a.key < b.key));
    if (a.f_bits != b.f_bits)
        return a.f_bits < b.f_bits;
    return nodecmp(a.n, b.n) < 0;
}

inline void heap_place(const HeapEntry& e, int i)
{
    scratch.heap[i] = e;
    e.n->heap_i = i;
}

template <bool keyed>
void heap_sift_up(HeapEntry e, int i)
{
    while (i > 0) {
        int parent = (i - 1) / 2;
        if (!heap_less<keyed>(e, scratch.heap[parent]))
            break;
        heap_place(scratch.heap[parent], i);
        i = parent;
    }
    heap_place(e, i);
}

template <bool keyed>
void heap_sift_down(HeapEntry e, int i)
{
    int count = scratch.heap_count;
    HeapEntry* heap = scratch.heap;
    for (;;) {
        int c = 2 * i + 1;
        if (c >= count)
            break;
        if (c + 1 < count && heap_less<keyed>(heap[c + 1], heap[c]))
            c++;
        if (!heap_less<keyed>(heap[c], e))
            break;
        heap_place(heap[c], i);
        i = c;
    }
    heap_place(e, i);
}

template <bool keyed>
void heap_push(Node* n)
{
    heap_sift_up<keyed>({float_bits(n->f), n->key, n}, scratch.heap_count++);
}

// After n's f fell.
template <bool keyed>
void heap_lower(Node* n)
{
    heap_sift_up<keyed>({float_bits(n->f), n->key, n}, n->heap_i);
}

template <bool keyed>
void heap_remove(Node* n)
{
    int i = n->heap_i;
    HeapEntry last = scratch.heap[--scratch.heap_count];
    if (last.n == n)
        return;
    if (i > 0 && heap_less<keyed>(last, scratch.heap[(i - 1) / 2]))
        heap_sift_up<keyed>(last, i);
    else
        heap_sift_down<keyed>(last, i);
}

float heuristic(const V3i* from, const V3i* to)
{
    return 2 * v3i_distance(from, to);
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
    if (!coords) {
        scratch.out_of_memory = true;
        return -1;
    }
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
    Node* first = scratch.heap[0].n;
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

// Whether p lies so far inside the map that every neighbour and the cell below it do too.
inline bool neighbours_on_map(const VoxelData* vd, const V3i* p)
{
    const Area& a = vd->area;
    return vd->data && p->x > a.x && p->x < a.x + a.w - 1 && p->y > a.y && p->y < a.y + a.h - 1 &&
           p->z > a.z + 1 && p->z < a.z + a.d - 1;
}

// Fills scratch.ground_ok for the movement flags: without GF_NO_GROUND a unit needs ground
// below (not empty, not a tree), and without GF_ON_WATER that ground must not be water.
void prepare_ground(int graphflags)
{
    int flags = graphflags & (GF_ON_WATER | GF_NO_GROUND);
    if (scratch.ground_for == flags + 1)
        return;
    for (int m = 0; m < 256; m++) {
        bool ground = m > MATERIAL_AIR && m != MATERIAL_TREE;
        scratch.ground_ok[m] = ((flags & GF_NO_GROUND) || ground) &&
                               ((flags & GF_ON_WATER) || m != MATERIAL_WATER);
    }
    scratch.ground_for = flags + 1;
}

// One bit per entry of pathfind_neighbor_dps: the neighbours of p that is_connected lets a
// unit with these flags step to, leaving out only the question whether an entity holds the
// cell (GF_ENTITIES_BLOCK), which the caller asks.
u32 step_candidates(GameEnv* env, V3i* p, int graphflags)
{
    const VoxelData* vd = &env->voxeldata;
    if (!(graphflags & (GF_WALK | GF_ON_WATER | GF_NO_GROUND)))
        return 0;
    if (neighbours_on_map(vd, p)) {
        // Each neighbouring column holds the cells at dz = -2..1 next to each other, which is
        // all that a step into the column asks: the destination empty, the cell below it ground
        // to stand on, and across a corner the cell at the start's height (going down) or the
        // one above the start (going up) empty.
        const Voxel* v = &vd->data[area_index(&vd->area, p)];
        const u8* ground_ok = scratch.ground_ok;
        u32 above_free = v[1].material <= MATERIAL_AIR;
        u32 bits = 0;
        for (int c = 0; c < 9; c++) {
            const Voxel* col = v + scratch.column_offset[c];
            u32 m0 = col[0].material, m1 = col[1].material, m2 = col[2].material,
                m3 = col[3].material;
            u32 e1 = m1 <= MATERIAL_AIR, e2 = m2 <= MATERIAL_AIR, e3 = m3 <= MATERIAL_AIR;
            u32 corner_down = c == 4 ? 1 : e2, corner_up = c == 4 ? 1 : above_free;
            u32 down = e1 & ground_ok[m0] & corner_down;
            u32 level = e2 & ground_ok[m1];
            u32 up = e3 & ground_ok[m2] & corner_up;
            bits |= scratch.column_steps[c][down | level << 1 | up << 2];
        }
        return bits;
    }
    u32 bits = 0;
    for (int k = 0; k < 18; k++) {
        V3i q;
        v3i_set_add(&q, p, &pathfind_neighbor_dps[k]);
        bits |= (u32)is_connected(p, &q, env, graphflags & ~GF_ENTITIES_BLOCK) << k;
    }
    return bits;
}

// Whether an entity holds cell q (which step_candidates found empty).
inline bool entity_in(V3i* q, GameEnv* env)
{
    CheckedContent cc;
    check_content(&cc, q, env);
    return cc.type == CCT_ENTITY;
}

// The search proper, on freshly prepared scratch; keyed when max_loops <= KEYED_MAX_LOOPS.
template <bool keyed>
int astar_search(Path* result, V3i* from, V3i* to, GameEnv* env, int graphflags, int max_loops,
                 V3i* additional_blocked, int additional_blocked_count, float wanted_distance)
{
    NodeTree open_nodes = {nullptr};
    NodeTree closed_off_table = {nullptr};  // closed cells the table does not cover

    u32 start_i;
    Node* start = new_node(from, &start_i);
    if (!start)
        return 0;
    start->key = cell_key(from, from);
    start->h = heuristic(from, to);
    start->f = start->h;
    start->g = 0;
    start->parent = nullptr;
    NodeTreeOps<keyed>::insert(&open_nodes, start);
    heap_push<keyed>(start);
    if (u32* c = cell_entry(from))
        *c = start_i + 1;

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
        NodeTreeOps<keyed>::remove(&open_nodes, n);
        heap_remove<keyed>(n);
        scratch.closed[scratch.closed_count++] = n;
        if (u32* e = cell_entry(&n->p))
            *e |= CELL_CLOSED;
        else
            NodeTreeOps<keyed>::insert(&closed_off_table, n);

        // The tests that turn a neighbour down ask nothing but the world and this search's
        // state, so their order is free: cheapest first, is_connected last. Away from the
        // table's edge every neighbour's entry is a fixed distance away.
        u32* n_entry = neighbours_on_table(&n->p) ? cell_entry(&n->p) : nullptr;
        for (u32 todo = step_candidates(env, &n->p, graphflags); todo;
             todo &= todo - 1) {
            int k = __builtin_ctz(todo);
            const V3i& dp = pathfind_neighbor_dps[k];
            V3i q;
            v3i_set_add(&q, &n->p, &dp);
            u32* entry = n_entry ? n_entry + scratch.step_offset[k] : cell_entry(&q);
            Node* m = nullptr;
            if (entry) {
                if (*entry & CELL_CLOSED)
                    continue;
                if (*entry)
                    m = node_at(*entry - 1);
            } else {
                Node key;
                key.p = q;
                key.key = cell_key(&q, from);
                if (NodeTreeOps<keyed>::find(&closed_off_table, &key))
                    continue;
                m = NodeTreeOps<keyed>::find(&open_nodes, &key);
            }
            float g = n->g + scratch.step_cost[k];
            // An open cell reached no cheaper than before is left alone whatever the step.
            if (m && !(g < m->g))
                continue;
            if (is_additional_blocked(&q, additional_blocked, additional_blocked_count))
                continue;
            if ((graphflags & GF_ENTITIES_BLOCK) && entity_in(&q, env))
                continue;
            if (m) {
                // Same cell, same goal: h is unchanged, and f only falls.
                m->parent = n;
                m->g = g;
                m->f = g + m->h;
                heap_lower<keyed>(m);
                continue;
            }
            u32 m_i;
            m = new_node(&q, &m_i);
            if (!m)
                return 0;
            m->key = cell_key(&q, from);
            m->parent = n;
            m->g = g;
            m->h = heuristic(&q, to);
            m->f = g + m->h;
            NodeTreeOps<keyed>::insert(&open_nodes, m);
            heap_push<keyed>(m);
            if (entry)
                *entry = m_i + 1;
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
    // Without entities in the way the answer is the terrain's alone.
    RouteMemo* memo = graphflags & GF_ENTITIES_BLOCK ? nullptr : env->route_memo;
    RouteQuery query = {*from,     *to, graphflags, max_loops, wanted_distance, additional_blocked,
                        additional_blocked_count};
    int ret;
    if (memo && route_memo_find(memo, &query, result, &ret))
        return ret;
    if (!begin_search(&env->voxeldata.area))
        return 0;
    prepare_ground(graphflags);
    auto search = max_loops <= KEYED_MAX_LOOPS ? astar_search<true> : astar_search<false>;
    ret = search(result, from, to, env, graphflags, max_loops, additional_blocked,
                 additional_blocked_count, wanted_distance);
    end_search();
    if (memo && !scratch.out_of_memory)
        route_memo_store(memo, &query, result, ret);
    return ret;
}
