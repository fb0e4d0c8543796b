#include "glbatch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace {

constexpr int FIRST_CAPACITY = 4096;

int vertices_per_primitive(GLenum mode)
{
    switch (mode) {
    case GL_POINTS:
        return 1;
    case GL_LINES:
        return 2;
    case GL_TRIANGLES:
        return 3;
    case GL_QUADS:
        return 4;
    default:
        return 0;
    }
}

// A vertex in clip coordinates with the attributes it carries.
struct ClipVertex {
    float p[4];
    BatchVertex attributes;
};

ClipVertex to_clip(const BatchVertex& v, const MatrixState* matrices)
{
    ClipVertex c;
    mat4_transform_point(&matrices->mvp, v.x, v.y, v.z, c.p);
    c.attributes = v;
    return c;
}

ClipVertex mix(const ClipVertex& a, const ClipVertex& b, float t)
{
    ClipVertex m = a;
    for (int i = 0; i < 4; i++)
        m.p[i] = a.p[i] + (b.p[i] - a.p[i]) * t;
    m.attributes.s = a.attributes.s + (b.attributes.s - a.attributes.s) * t;
    m.attributes.t = a.attributes.t + (b.attributes.t - a.attributes.t) * t;
    for (int i = 0; i < 4; i++)
        m.attributes.rgba[i] = a.attributes.rgba[i] + (b.attributes.rgba[i] - a.attributes.rgba[i]) * t;
    return m;
}

// Cuts the segment to the side of a clip plane where `da`/`db` (the signed distances of its
// ends) are not negative: false when nothing is left.
bool clip_to_plane(ClipVertex* a, ClipVertex* b, float da, float db)
{
    if (da < 0 && db < 0)
        return false;
    if (da < 0)
        *a = mix(*a, *b, da / (da - db));
    else if (db < 0)
        *b = mix(*b, *a, db / (db - da));
    return true;
}

// OpenGL clips a line to the view volume before it rasterizes it, so a wide line ends where
// its centre leaves the screen; and the widening happens after the perspective divide, which a
// line reaching behind the camera must not get to.
bool clip_line(ClipVertex* a, ClipVertex* b)
{
    for (int axis = 0; axis < 3; axis++) {
        for (float sign : {1.0f, -1.0f}) {
            float da = a->p[3] + sign * a->p[axis], db = b->p[3] + sign * b->p[axis];
            if (!clip_to_plane(a, b, da, db))
                return false;
        }
    }
    return true;
}

// A clipped vertex on screen: pixels from the viewport's lower left corner, depth and
// attributes as they were.
struct ScreenVertex {
    float x, y, z;  // z in normalised device coordinates
    float inv_w;    // 1 / clip w
    BatchVertex attributes;
};

ScreenVertex to_screen(const ClipVertex& c, const Viewport* viewport)
{
    float inv_w = 1 / c.p[3];
    return ScreenVertex{(c.p[0] * inv_w + 1) * 0.5f * viewport->w, (c.p[1] * inv_w + 1) * 0.5f * viewport->h,
                        c.p[2] * inv_w, inv_w, c.attributes};
}

// A vertex at (x, y) on screen, drawn with the identity matrices.
void write_screen(BatchVertex* out, const ScreenVertex& v, float x, float y, const Viewport* viewport)
{
    *out = v.attributes;
    out->x = x / (0.5f * viewport->w) - 1;
    out->y = y / (0.5f * viewport->h) - 1;
    out->z = v.z;
    out->w = 1;
}

// A corner of a widened line at (x, y) on screen. Depth and attributes continue those along the
// line from a to b, and the attributes stay perspective-correct: the corner gets the clip w of
// the point of the line it sits beside.
void write_line_corner(BatchVertex* out, const ScreenVertex& a, const ScreenVertex& b, float x, float y,
                       const Viewport* viewport)
{
    float ex = b.x - a.x, ey = b.y - a.y;
    float t = ((x - a.x) * ex + (y - a.y) * ey) / (ex * ex + ey * ey);
    float inv_w = a.inv_w + (b.inv_w - a.inv_w) * t;
    auto along = [&](float va, float vb) { return (va * a.inv_w + (vb * b.inv_w - va * a.inv_w) * t) / inv_w; };
    const BatchVertex &pa = a.attributes, &pb = b.attributes;
    out->s = along(pa.s, pb.s);
    out->t = along(pa.t, pb.t);
    for (int i = 0; i < 4; i++)
        out->rgba[i] = along(pa.rgba[i], pb.rgba[i]);
    float w = 1 / inv_w;
    out->x = (x / (0.5f * viewport->w) - 1) * w;
    out->y = (y / (0.5f * viewport->h) - 1) * w;
    out->z = (a.z + (b.z - a.z) * t) * w;
    out->w = w;
}

// Mesa rounds line widths and point sizes to whole pixels (at least one), as OpenGL asks of
// lines and points drawn without antialiasing: halves up for lines, down for points.
int line_pixels(float width)
{
    return std::max(1, (int)std::floor(width + 0.5f));
}

int point_pixels(float size)
{
    return std::max(1, (int)std::ceil(size - 0.5f));
}

// Rasterizers work on positions snapped to a fraction of a pixel (Mesa's to 1/256).
float snap(float v)
{
    return std::nearbyint(v * 256.0f) / 256.0f;
}

// A line is drawn as OpenGL draws a wide line without antialiasing, whatever its width (WebGL
// draws lines at most one pixel wide): a parallelogram from end to end, `width` pixels across
// its minor axis. Its ends cover the pixels whose centres they reach, which is not OpenGL's
// diamond rule for the last pixel: an end may differ by a pixel from what a desktop driver draws.
void emit_line(const ImmediateState* s, const MatrixState* matrices, const Viewport* viewport,
               VertexSink* sink)
{
    ClipVertex a = to_clip(s->pending[0], matrices), b = to_clip(s->pending[1], matrices);
    if (!clip_line(&a, &b) || !(a.p[3] > 0 && b.p[3] > 0))
        return;
    ScreenVertex sa = to_screen(a, viewport), sb = to_screen(b, viewport);
    if (sa.x == sb.x && sa.y == sb.y)
        return;
    float half = line_pixels(s->line_width) / 2.0f;
    bool x_major = std::fabs(sb.x - sa.x) >= std::fabs(sb.y - sa.y);
    float ox = x_major ? 0 : half, oy = x_major ? half : 0;
    const float x[4] = {snap(sa.x) - ox, snap(sb.x) - ox, snap(sb.x) + ox, snap(sa.x) + ox};
    const float y[4] = {snap(sa.y) - oy, snap(sb.y) - oy, snap(sb.y) + oy, snap(sa.y) + oy};
    BatchVertex* out = sink->reserve(6);
    if (!out)
        return;
    static const int ORDER[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; i++)
        write_line_corner(&out[i], sa, sb, x[ORDER[i]], y[ORDER[i]], viewport);
}

// A point is drawn when its centre is inside the view volume, as a square of whole pixels: of
// odd size centred on the pixel the point is in, of even size on the pixel corner nearest to it.
void emit_point(const ImmediateState* s, const MatrixState* matrices, const Viewport* viewport,
                VertexSink* sink)
{
    ClipVertex c = to_clip(s->pending[0], matrices);
    float w = c.p[3];
    if (!(w > 0))
        return;
    for (int i = 0; i < 3; i++)
        if (!(c.p[i] >= -w && c.p[i] <= w))
            return;
    ScreenVertex v = to_screen(c, viewport);
    int size = point_pixels(s->point_size);
    float x = snap(v.x), y = snap(v.y);
    float cx = size % 2 ? std::floor(x) + 0.5f : std::floor(x + 0.5f);
    float cy = size % 2 ? std::floor(y) + 0.5f : std::floor(y + 0.5f);
    float h = size / 2.0f;
    BatchVertex* out = sink->reserve(6);
    if (!out)
        return;
    write_screen(&out[0], v, cx - h, cy - h, viewport);
    write_screen(&out[1], v, cx + h, cy - h, viewport);
    write_screen(&out[2], v, cx + h, cy + h, viewport);
    write_screen(&out[3], v, cx - h, cy - h, viewport);
    write_screen(&out[4], v, cx + h, cy + h, viewport);
    write_screen(&out[5], v, cx - h, cy + h, viewport);
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
    for (int i = 0; i < n; i++) {
        const BatchVertex& v = s->pending[quad ? QUAD_ORDER[i] : i];
        float clip[4];
        mat4_transform_point(&matrices->mvp, v.x, v.y, v.z, clip);
        out[i] = v;
        out[i].x = clip[0];
        out[i].y = clip[1];
        out[i].z = clip[2];
        out[i].w = clip[3];
    }
}

}  // namespace

void batch_init(VertexBatch* b)
{
    b->vertices = nullptr;
    b->count = 0;
    b->capacity = 0;
}

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

void batch_free(VertexBatch* b)
{
    std::free(b->vertices);
    batch_init(b);
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
