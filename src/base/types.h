// The small value types every module passes around, and their inline helpers.
// Coordinates: x and y horizontal, z up. Cell arrays run x slowest, z fastest.
#pragma once

#include <cmath>
#include <cstdint>

typedef std::uint8_t u8;
typedef std::int16_t s16;
typedef std::uint16_t u16;
typedef std::uint32_t u32;
typedef std::int32_t s32;
typedef std::uint64_t u64;
typedef std::int64_t s64;

// An integer point or offset in voxel coordinates.
struct V3i {
    s32 x;
    s32 y;
    s32 z;  // up
};

// A float point or direction; voxel or view coordinates depending on the caller.
struct V3f {
    float x;
    float y;
    float z;
};

// An axis-aligned box of cells: x <= cx < x + w, likewise y with h and z with d.
struct Area {
    s32 x;
    s32 y;
    s32 z;
    s32 w;  // extent along x
    s32 h;  // extent along y
    s32 d;  // extent along z, the vertical extent
};

// A rectangle in a texture, in normalised coordinates; (x, y) is the top-left corner.
struct TxCoords {
    float x;
    float y;
    float w;
    float h;
};

static inline void v3i_set_xyz(V3i* v, s32 x, s32 y, s32 z)
{
    v->x = x;
    v->y = y;
    v->z = z;
}

static inline s32 v3i_eq(const V3i* v, const V3i* w)
{
    return v->x == w->x && v->y == w->y && v->z == w->z;
}

static inline s32 v3i_eq_xyz(const V3i* v, s32 x, s32 y, s32 z)
{
    return v->x == x && v->y == y && v->z == z;
}

static inline void v3i_sub(V3i* v, const V3i* w)
{
    v->x -= w->x;
    v->y -= w->y;
    v->z -= w->z;
}

static inline void v3i_set_add(V3i* v, const V3i* w1, const V3i* w2)
{
    v->x = w1->x + w2->x;
    v->y = w1->y + w2->y;
    v->z = w1->z + w2->z;
}

// Euclidean distance in whole cells; the squared sum is summed as a 32-bit integer.
static inline float v3i_distance(const V3i* v, const V3i* w)
{
    s32 dx = v->x - w->x, dy = v->y - w->y, dz = v->z - w->z;
    return std::sqrt((float)(dx * dx + dy * dy + dz * dz));
}

static inline void v3f_set_xyz(V3f* v, float x, float y, float z)
{
    v->x = x;
    v->y = y;
    v->z = z;
}

static inline void v3f_copy(V3f* dst, const V3f* src)
{
    *dst = *src;
}

static inline void v3f_add(V3f* v, const V3f* w)
{
    v->x += w->x;
    v->y += w->y;
    v->z += w->z;
}

static inline void v3f_add_xyz(V3f* v, float x, float y, float z)
{
    v->x += x;
    v->y += y;
    v->z += z;
}

static inline void v3f_sub(V3f* v, const V3f* w)
{
    v->x -= w->x;
    v->y -= w->y;
    v->z -= w->z;
}

static inline void v3f_mul(V3f* v, float a)
{
    v->x *= a;
    v->y *= a;
    v->z *= a;
}

static inline float v3f_length(const V3f* v)
{
    return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
}

static inline float v3f_distance(const V3f* v, const V3f* w)
{
    V3f d = {v->x - w->x, v->y - w->y, v->z - w->z};
    return v3f_length(&d);
}

// Callers pass non-zero vectors; a zero vector becomes NaN.
static inline void v3f_normalize(V3f* v)
{
    float len = v3f_length(v);
    v->x /= len;
    v->y /= len;
    v->z /= len;
}

// v = v x w (right-handed).
static inline void v3f_cross(V3f* v, const V3f* w)
{
    V3f r;
    r.x = v->y * w->z - v->z * w->y;
    r.y = v->z * w->x - v->x * w->z;
    r.z = v->x * w->y - v->y * w->x;
    *v = r;
}

static inline float v3f_dot(const V3f* v, const V3f* w)
{
    return v->x * w->x + v->y * w->y + v->z * w->z;
}

// Brings x into [min, max] by whole periods; a value equal to a bound stays.
static inline float fwrap(float x, float min, float max)
{
    while (x < min)
        x += max - min;
    while (x > max)
        x -= max - min;
    return x;
}

static inline float flimit(float x, float min, float max)
{
    if (x < min)
        return min;
    if (x > max)
        return max;
    return x;
}

static inline void area_set_xyzwhd(Area* a, s32 x, s32 y, s32 z, s32 w, s32 h, s32 d)
{
    a->x = x;
    a->y = y;
    a->z = z;
    a->w = w;
    a->h = h;
    a->d = d;
}

static inline s32 area_size(const Area* a)
{
    return a->w * a->h * a->d;
}

static inline bool area_contains_xyz(const Area* a, s32 x, s32 y, s32 z)
{
    return x >= a->x && x < a->x + a->w && y >= a->y && y < a->y + a->h && z >= a->z &&
           z < a->z + a->d;
}

static inline bool area_contains(const Area* a, const V3i* p)
{
    return area_contains_xyz(a, p->x, p->y, p->z);
}

static inline bool area_eq(const Area* a, const Area* b)
{
    return a->x == b->x && a->y == b->y && a->z == b->z && a->w == b->w && a->h == b->h &&
           a->d == b->d;
}

// True when inner's bounds lie within outer's; a box without cells is the caller's case.
static inline bool area_bounds_within(const Area* inner, const Area* outer)
{
    return inner->x >= outer->x && inner->y >= outer->y && inner->z >= outer->z &&
           inner->x + inner->w <= outer->x + outer->w && inner->y + inner->h <= outer->y + outer->h &&
           inner->z + inner->d <= outer->z + outer->d;
}

// Linear index with x slowest and z fastest; no bounds check.
static inline s32 area_index_xyz(const Area* a, s32 x, s32 y, s32 z)
{
    return ((x - a->x) * a->h + (y - a->y)) * a->d + (z - a->z);
}

static inline s32 area_index(const Area* a, const V3i* p)
{
    return area_index_xyz(a, p->x, p->y, p->z);
}

// Index of the cell offset by (dx, dy, dz) from the cell with index i; no bounds check.
static inline s32 area_i_add_xyz(const Area* a, int i, int dx, int dy, int dz)
{
    return i + dx * (a->h * a->d) + dy * a->d + dz;
}
