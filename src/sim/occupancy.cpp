#include "occupancy.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "check.h"
#include "game.h"

namespace {

// The cells the entity holds by its current fields: a unit its p1, a building its box from p1.
Area footprint(const Entity* e)
{
    if (e->type == ET_BUILDING)
        return {e->p1.x, e->p1.y, e->p1.z, e->building_size.x, e->building_size.y,
                e->building_size.z};
    return {e->p1.x, e->p1.y, e->p1.z, 1, 1, 1};
}

// True when every cell of b lies in a (a box without cells does).
bool box_within(const Area* b, const Area* a)
{
    if (b->w <= 0 || b->h <= 0 || b->d <= 0)
        return true;
    return area_bounds_within(b, a);
}

int imax(int a, int b) { return a > b ? a : b; }
int imin(int a, int b) { return a < b ? a : b; }

// The part of box b inside the grid, as the half-open ranges [lo, hi) per axis.
struct Clip {
    int x0, x1, y0, y1, z0, z1;
};

Clip clip(const Area* b, const Area* a)
{
    return {imax(b->x, a->x), imin(b->x + b->w, a->x + a->w),
            imax(b->y, a->y), imin(b->y + b->h, a->y + a->h),
            imax(b->z, a->z), imin(b->z + b->d, a->z + a->d)};
}

// The first entity in list order that the index holds in cell p, found by walking the list.
// Runs when the first occupant of a shared cell leaves it, which the game's rules make rare.
Entity* first_indexed(GameEnv* env, const V3i* p)
{
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->occ_indexed && area_contains(&e->occ_box, p))
            return e;
    return nullptr;
}

// Adds e (occ_box and occ_order set) to the cells of the grid.
void grid_add(Occupancy* occ, Entity* e)
{
    if (!box_within(&e->occ_box, &occ->area))
        occ->outside++;
    Clip c = clip(&e->occ_box, &occ->area);
    for (int x = c.x0; x < c.x1; x++)
        for (int y = c.y0; y < c.y1; y++)
            for (int z = c.z0; z < c.z1; z++) {
                s32 i = area_index_xyz(&occ->area, x, y, z);
                occ->count[i]++;
                Entity* f = occ->first[i];
                if (!f || f->occ_order < e->occ_order)
                    occ->first[i] = e;
            }
}

// Takes e out of the cells of the grid; e->occ_indexed must already be false.
void grid_remove(GameEnv* env, Entity* e)
{
    Occupancy* occ = &env->occupancy;
    if (!box_within(&e->occ_box, &occ->area))
        occ->outside--;
    Clip c = clip(&e->occ_box, &occ->area);
    for (int x = c.x0; x < c.x1; x++)
        for (int y = c.y0; y < c.y1; y++)
            for (int z = c.z0; z < c.z1; z++) {
                s32 i = area_index_xyz(&occ->area, x, y, z);
                occ->count[i]--;
                if (occ->first[i] != e)
                    continue;
                V3i p = {x, y, z};
                occ->first[i] = occ->count[i] ? first_indexed(env, &p) : nullptr;
            }
}

void release_grid(Occupancy* occ)
{
    std::free(occ->first);
    std::free(occ->count);
    occ->first = nullptr;
    occ->count = nullptr;
    occ->area = {0, 0, 0, 0, 0, 0};
}

// Builds the index from the list over the terrain's box. Without memory for the grid every cell
// counts as beyond it, so the answers come from walking the list.
void rebuild(GameEnv* env)
{
    Occupancy* occ = &env->occupancy;
    const Area* terrain = &env->voxeldata.area;
    s32 cells = area_size(terrain);
    if (occ->first && area_eq(&occ->area, terrain)) {
        std::memset(occ->first, 0, sizeof(Entity*) * cells);
        std::memset(occ->count, 0, sizeof(u32) * cells);
    } else {
        release_grid(occ);
        if (cells > 0) {
            occ->first = (Entity**)std::calloc(cells, sizeof(Entity*));
            occ->count = (u32*)std::calloc(cells, sizeof(u32));
            if (occ->first && occ->count)
                occ->area = *terrain;
            else
                release_grid(occ);
        }
    }
    occ->outside = 0;
    occ->entity_count = list_count(&env->entities);
    // Stamps restart above every earlier one, so entities linked later still sort nearer the head.
    u64 order = occ->next_order + occ->entity_count;
    occ->next_order = order + 1;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        e->occ_order = order--;
        e->occ_box = footprint(e);
        e->occ_indexed = true;
        grid_add(occ, e);
    }
    occ->built = true;
}

void ensure_built(GameEnv* env)
{
    Occupancy* occ = &env->occupancy;
    if (!occ->built || !area_eq(&occ->area, &env->voxeldata.area))
        rebuild(env);
}

// The per-entity side of the index matches the list: every listed entity is held with its
// current cells, an entity's p1 is at most one step
// from its p0, stamps fall along the list, and
// the counts agree. One walk of the list.
bool entities_match(GameEnv* env)
{
    Occupancy* occ = &env->occupancy;
    int n = 0, outside = 0;
    Entity* prev = nullptr;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        Area box = footprint(e);
        if (!e->occ_indexed || !area_eq(&box, &e->occ_box))
            return false;
        if (std::abs(e->p1.x - e->p0.x) > 1 || std::abs(e->p1.y - e->p0.y) > 1 ||
            std::abs(e->p1.z - e->p0.z) > 1)
            return false;
        if (prev && prev->occ_order <= e->occ_order)
            return false;
        outside += !box_within(&box, &occ->area);
        prev = e;
        n++;
    }
    return n == occ->entity_count && outside == occ->outside;
}

}  // namespace

void occupancy_init(Occupancy* occ)
{
    std::memset(occ, 0, sizeof(*occ));
}

void occupancy_free(Occupancy* occ)
{
    release_grid(occ);
    occ->outside = 0;
    occ->entity_count = 0;
    occ->built = false;
}

void occupancy_insert(GameEnv* env, Entity* e)
{
    Occupancy* occ = &env->occupancy;
    if (!occ->built)
        return;
    e->occ_order = occ->next_order++;
    e->occ_box = footprint(e);
    e->occ_indexed = true;
    grid_add(occ, e);
    occ->entity_count++;
}

void occupancy_remove(GameEnv* env, Entity* e)
{
    Occupancy* occ = &env->occupancy;
    if (!occ->built || !e->occ_indexed)
        return;
    e->occ_indexed = false;
    grid_remove(env, e);
    occ->entity_count--;
}

void occupancy_update(GameEnv* env, Entity* e)
{
    Occupancy* occ = &env->occupancy;
    if (!occ->built || !e->occ_indexed)
        return;
    Area box = footprint(e);
    if (area_eq(&box, &e->occ_box))
        return;
    // The entity keeps its stamp: its place in the list does not change.
    e->occ_indexed = false;
    grid_remove(env, e);
    e->occ_box = box;
    e->occ_indexed = true;
    grid_add(occ, e);
}

void occupancy_invalidate(GameEnv* env)
{
    env->occupancy.built = false;
}

Entity* occupancy_first(GameEnv* env, const V3i* p)
{
    ensure_built(env);
#ifndef NDEBUG
    CHECK(entities_match(env));
#endif
    Occupancy* occ = &env->occupancy;
    if (area_contains(&occ->area, p))
        return occ->first[area_index(&occ->area, p)];
    return occ->outside ? occupancy_first_scan(env, p) : nullptr;
}

Entity* occupancy_first_scan(GameEnv* env, const V3i* p)
{
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        bool occupies;
        if (e->type == ET_BUILDING) {
            Area box = {e->p1.x, e->p1.y, e->p1.z,
                        e->building_size.x, e->building_size.y, e->building_size.z};
            occupies = area_contains(&box, p);
        } else {
            occupies = v3i_eq(&e->p1, p);
        }
        if (occupies)
            return e;
    }
    return nullptr;
}

Entity* occupancy_first_enemy(GameEnv* env, const V3i* p, int party, int range)
{
    ensure_built(env);
#ifndef NDEBUG
    CHECK(entities_match(env));
#endif
    Occupancy* occ = &env->occupancy;
    // Every candidate's p1 lies in this box: its p0 is within range, its p1 one step further.
    int reach = range + 1;
    Area box = {p->x - reach, p->y - reach, p->z - reach, 2 * reach + 1, 2 * reach + 1,
                2 * reach + 1};
    Clip c = clip(&box, &occ->area);
    long long probes =
        (long long)imax(c.x1 - c.x0, 0) * imax(c.y1 - c.y0, 0) * imax(c.z1 - c.z0, 0);
    // Beyond the grid, in a shared cell or where the box outweighs the list, the walk answers.
    if (range < 0 || occ->outside || probes > occ->entity_count)
        return occupancy_first_enemy_scan(env, p, party, range);
    Entity* best = nullptr;
    for (int x = c.x0; x < c.x1; x++)
        for (int y = c.y0; y < c.y1; y++)
            for (int z = c.z0; z < c.z1; z++) {
                s32 i = area_index_xyz(&occ->area, x, y, z);
                Entity* o = occ->first[i];
                if (!o)
                    continue;
                if (occ->count[i] > 1)
                    return occupancy_first_enemy_scan(env, p, party, range);
                if (best && best->occ_order >= o->occ_order)
                    continue;
                if (o->party == party || o->party == -1)
                    continue;
                if (v3i_distance(p, &o->p0) <= range)
                    best = o;
            }
    return best;
}

Entity* occupancy_first_enemy_scan(GameEnv* env, const V3i* p, int party, int range)
{
    for (Entity* o = env->entities.lh_first; o; o = o->entries.le_next) {
        if (o->party == party || o->party == -1)
            continue;
        if (v3i_distance(p, &o->p0) <= range)
            return o;
    }
    return nullptr;
}

bool occupancy_consistent(GameEnv* env)
{
    ensure_built(env);
    if (!entities_match(env))
        return false;
    Occupancy* occ = &env->occupancy;
    s32 cells = area_size(&occ->area);
    // The grid a walk of the list gives, from the entities' current fields.
    std::vector<Entity*> first(cells, nullptr);
    std::vector<u32> count(cells, 0);
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        Area box = footprint(e);
        Clip c = clip(&box, &occ->area);
        for (int x = c.x0; x < c.x1; x++)
            for (int y = c.y0; y < c.y1; y++)
                for (int z = c.z0; z < c.z1; z++) {
                    s32 i = area_index_xyz(&occ->area, x, y, z);
                    count[i]++;
                    if (!first[i])
                        first[i] = e;
                }
    }
    for (s32 i = 0; i < cells; i++)
        if (first[i] != occ->first[i] || count[i] != occ->count[i])
            return false;
    return true;
}
