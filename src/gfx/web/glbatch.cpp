#include "glbatch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int FIRST_CAPACITY = 4096;

// Of GL_POINTS (0), GL_LINES (1), GL_TRIANGLES (4) and GL_QUADS (7); 0 for the modes not drawn.
int vertices_per_primitive(GLenum mode)
{
    static_assert(GL_POINTS == 0 && GL_LINES == 1 && GL_TRIANGLES == 4 && GL_QUADS == 7);
    static const int PER_MODE[8] = {1, 2, 0, 0, 3, 0, 0, 4};
    return mode < 8 ? PER_MODE[mode] : 0;
}

// The vertex `v` through the matrices, in clip coordinates, with its attributes.
BatchVertex to_clip(const BatchVertex& v, const MatrixState* matrices)
{
    float p[4];
    mat4_transform_point(&matrices->mvp, v.x, v.y, v.z, p);
    BatchVertex c = v;
    c.x = p[0], c.y = p[1], c.z = p[2], c.w = p[3];
    return c;
}

BatchVertex mix(const BatchVertex& a, const BatchVertex& b, float t)
{
    auto at = [t](float u, float v) { return u + (v - u) * t; };
    return BatchVertex{at(a.x, b.x), at(a.y, b.y), at(a.z, b.z), at(a.w, b.w), at(a.s, b.s), at(a.t, b.t),
                       {at(a.rgba[0], b.rgba[0]), at(a.rgba[1], b.rgba[1]), at(a.rgba[2], b.rgba[2]),
                        at(a.rgba[3], b.rgba[3])}};
}

// `v` moved by (dx, dy) in normalised device coordinates: in clip coordinates the offset scales
// with w, so the corner keeps its end's depth and perspective-correct attributes.
BatchVertex shifted(BatchVertex v, float dx, float dy)
{
    v.x += dx * v.w;
    v.y += dy * v.w;
    return v;
}

void emit_quad(VertexSink* sink, const BatchVertex corners[4])
{
    static const int ORDER[6] = {0, 1, 2, 0, 2, 3};
    BatchVertex* out = sink->reserve(6);
    if (!out)
        return;
    for (int i = 0; i < 6; i++)
        out[i] = corners[ORDER[i]];
}

// OpenGL rounds line widths and point sizes to whole pixels (at least one) when it draws them
// without antialiasing: halves up for lines, down for points.
int line_pixels(float width)
{
    return std::max(1, (int)std::floor(width + 0.5f));
}

int point_pixels(float size)
{
    return std::max(1, (int)std::ceil(size - 0.5f));
}

// A line is a quad on screen (WebGL draws lines at most one pixel wide): a parallelogram from
// end to end, `width` pixels across its minor axis, as OpenGL widens a line. The part behind
// the near plane is cut off first (the widening needs a w to divide by); the screen's edges cut
// the quad as they cut any triangle, as a graphics card's guard band does, and its ends cover
// the pixels whose centres they reach rather than follow OpenGL's diamond rule.
void emit_line(const ImmediateState* s, const MatrixState* matrices, const Viewport* viewport,
               VertexSink* sink)
{
    BatchVertex a = to_clip(s->pending[0], matrices), b = to_clip(s->pending[1], matrices);
    float da = a.z + a.w, db = b.z + b.w;  // distances in front of the near plane
    if (da < 0 && db < 0)
        return;
    if (da < 0)
        a = mix(a, b, da / (da - db));
    else if (db < 0)
        b = mix(b, a, db / (db - da));
    if (!(a.w > 0 && b.w > 0))
        return;
    float ex = (b.x / b.w - a.x / a.w) * viewport->w, ey = (b.y / b.w - a.y / a.w) * viewport->h;
    if (ex == 0 && ey == 0)
        return;
    float half = line_pixels(s->line_width) / 2.0f;
    bool x_major = std::fabs(ex) >= std::fabs(ey);
    float ox = x_major ? 0 : 2 * half / viewport->w, oy = x_major ? 2 * half / viewport->h : 0;
    const BatchVertex corners[4] = {shifted(a, -ox, -oy), shifted(b, -ox, -oy), shifted(b, ox, oy),
                                    shifted(a, ox, oy)};
    emit_quad(sink, corners);
}

// A point is drawn when its centre is inside the view volume, as a square of its size in
// whole pixels around it on screen.
void emit_point(const ImmediateState* s, const MatrixState* matrices, const Viewport* viewport,
                VertexSink* sink)
{
    BatchVertex c = to_clip(s->pending[0], matrices);
    if (!(c.w > 0 && std::fabs(c.x) <= c.w && std::fabs(c.y) <= c.w && std::fabs(c.z) <= c.w))
        return;
    float size = point_pixels(s->point_size);
    float hx = size / viewport->w, hy = size / viewport->h;
    const BatchVertex corners[4] = {shifted(c, -hx, -hy), shifted(c, hx, -hy), shifted(c, hx, hy),
                                    shifted(c, -hx, hy)};
    emit_quad(sink, corners);
}

void emit_triangles(const ImmediateState* s, const MatrixState* matrices, VertexSink* sink)
{
    // Mesa splits a quad along its 1-3 diagonal; a bent quad (a damaged building) only looks
    // the same when split the same way.
    static const int QUAD_ORDER[6] = {0, 1, 3, 1, 2, 3};
    bool quad = s->mode == GL_QUADS;
    int n = quad ? 6 : 3;
    BatchVertex* out = sink->reserve(n);
    if (!out)
        return;
    for (int i = 0; i < n; i++)
        out[i] = to_clip(s->pending[quad ? QUAD_ORDER[i] : i], matrices);
}

}  // namespace

BatchVertex* batch_append(VertexBatch* b, int n)
{
    if (b->count + n > b->capacity) {
        int capacity = std::max(b->capacity ? b->capacity : FIRST_CAPACITY, 1);
        while (capacity < b->count + n)
            capacity *= 2;
        void* grown = std::realloc(b->vertices, (size_t)capacity * sizeof(BatchVertex));
        if (!grown)
            return nullptr;
        b->vertices = static_cast<BatchVertex*>(grown);
        b->capacity = capacity;
    }
    BatchVertex* room = b->vertices + b->count;
    b->count += n;
    return room;
}

void immediate_init(ImmediateState* s)
{
    s->current = BatchVertex{0, 0, 0, 1, 0, 0, {1, 1, 1, 1}};
    s->mode = GL_TRIANGLES;
    s->inside = false;
    s->pending_count = 0;
    s->line_width = 1;
    s->point_size = 1;
}

void immediate_color(ImmediateState* s, float r, float g, float b, float a)
{
    float* c = s->current.rgba;
    c[0] = std::clamp(r, 0.0f, 1.0f);
    c[1] = std::clamp(g, 0.0f, 1.0f);
    c[2] = std::clamp(b, 0.0f, 1.0f);
    c[3] = std::clamp(a, 0.0f, 1.0f);
}

void immediate_color_bytes(ImmediateState* s, unsigned char r, unsigned char g, unsigned char b,
                           unsigned char a)
{
    immediate_color(s, r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f);
}

void immediate_texcoord(ImmediateState* s, float u, float v)
{
    s->current.s = u;
    s->current.t = v;
}

bool immediate_begin(ImmediateState* s, GLenum mode)
{
    s->mode = mode;
    s->inside = true;
    s->pending_count = 0;
    return vertices_per_primitive(mode) > 0;
}

void immediate_vertex(ImmediateState* s, float x, float y, float z, const MatrixState* matrices,
                      const Viewport* viewport, VertexSink* sink)
{
    int per_primitive = vertices_per_primitive(s->mode);
    if (!s->inside || per_primitive == 0)
        return;
    BatchVertex* v = &s->pending[s->pending_count++];
    *v = s->current;
    v->x = x;
    v->y = y;
    v->z = z;
    v->w = 1;
    if (s->pending_count < per_primitive)
        return;
    s->pending_count = 0;
    if (s->mode == GL_POINTS)
        emit_point(s, matrices, viewport, sink);
    else if (s->mode == GL_LINES)
        emit_line(s, matrices, viewport, sink);
    else
        emit_triangles(s, matrices, sink);
}

void immediate_end(ImmediateState* s)
{
    s->inside = false;
    s->pending_count = 0;
}
