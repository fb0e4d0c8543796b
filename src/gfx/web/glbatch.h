// Immediate-mode drawing (glBegin ... glEnd) turned into triangles for a batch: every vertex is
// transformed as it is given (a batch holds clip coordinates only, so a matrix change never
// draws it), quads become triangle pairs, and lines and points, which WebGL draws at most one
// pixel wide, become quads of their width in pixels on screen. No WebGL here, so native tests
// compare it with Mesa.
#pragma once

#include <GL/gl.h>

#include "glmatrix.h"

// One vertex of a batch as the shader reads it (40 bytes). The colour stays in float, as
// Mesa keeps it: bytes would round a tint like 0.784 and shift the drawn colour by one step.
struct BatchVertex {
    float x, y, z, w;  // clip coordinates
    float s, t;        // texture coordinates
    float rgba[4];     // colour, 0..1
};

// A growing array of triangle vertices; the storage is kept from frame to frame. A batch of
// zeros is empty and has none.
struct VertexBatch {
    BatchVertex* vertices;  // std::malloc'ed, capacity entries
    int count;
    int capacity;
};

// Room for `n` more vertices at the end (count grows by n): null only when memory runs out.
BatchVertex* batch_append(VertexBatch* b, int n);

// Where finished triangles go: room for `n` vertices, or null to drop them.
class VertexSink {
public:
    virtual BatchVertex* reserve(int n) = 0;

protected:
    ~VertexSink() = default;
};

// The window area drawn to, in pixels (glViewport).
struct Viewport {
    int x, y, w, h;
};

// The immediate-mode state: the current colour and texture coordinates, the primitive being
// assembled and the widths of lines and points.
struct ImmediateState {
    BatchVertex current;     // colour and texture coordinates given to the next vertex
    GLenum mode;             // primitive of the open glBegin
    bool inside;             // between glBegin and glEnd
    BatchVertex pending[4];  // vertices of the primitive not yet complete
    int pending_count;
    float line_width;        // pixels
    float point_size;        // pixels
};

// White, texture coordinates 0, nothing open, lines and points one pixel wide.
void immediate_init(ImmediateState* s);
// glColor: the components are clamped to 0..1.
void immediate_color(ImmediateState* s, float r, float g, float b, float a);
// glColor with byte components, 255 being 1.
void immediate_color_bytes(ImmediateState* s, unsigned char r, unsigned char g, unsigned char b,
                           unsigned char a);
// glTexCoord2f.
void immediate_texcoord(ImmediateState* s, float u, float v);
// glBegin: GL_POINTS, GL_LINES, GL_TRIANGLES and GL_QUADS are drawn; false for other modes,
// whose vertices are then dropped.
bool immediate_begin(ImmediateState* s, GLenum mode);
// glVertex: completes a primitive every 1, 2, 3 or 4 vertices and hands its triangles, through
// `matrices` in clip coordinates, to `sink`. Lines and points are placed on screen through
// `viewport`.
void immediate_vertex(ImmediateState* s, float x, float y, float z, const MatrixState* matrices,
                      const Viewport* viewport, VertexSink* sink);
// glEnd: an incomplete primitive is dropped, as OpenGL does.
void immediate_end(ImmediateState* s);
