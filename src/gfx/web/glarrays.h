// The client arrays (glVertexPointer and the like): what each points at, including the
// buffer object bound when the pointer was set, and the drawing of arrays in client memory
// through the immediate-mode path. No WebGL here.
#pragma once

#include <GL/gl.h>

#include "glbatch.h"

// One array as its pointer call left it.
struct ClientArray {
    bool enabled;         // glEnableClientState
    GLint size;           // components per vertex
    GLenum type;          // GL_FLOAT or GL_UNSIGNED_BYTE
    GLsizei stride;       // bytes between vertices; 0 means tightly packed
    const void* pointer;  // address, or byte offset into `buffer`
    GLuint buffer;        // buffer object bound at pointer time, 0 for client memory
};

struct ClientArrays {
    ClientArray vertex;
    ClientArray color;
    ClientArray texcoord;
};

// All disabled, nothing pointed at.
void arrays_init(ClientArrays* a);
// The array that glEnableClientState(`cap`) names, or null for arrays the layer lacks.
ClientArray* arrays_by_cap(ClientArrays* a, GLenum cap);
// A pointer call: `buffer` is the GL_ARRAY_BUFFER binding at the time. False (and nothing
// changed) for sizes and types the layer cannot read.
bool array_point(ClientArray* array, GLint size, GLenum type, GLsizei stride, const void* pointer,
                 GLuint buffer);
// Bytes from one vertex to the next.
GLsizei array_step(const ClientArray* array);
// Where the enabled arrays lie: all in client memory (the draw is read on the CPU; so too
// with none enabled), all in buffer objects (it can go straight to WebGL), or some in each.
enum ArraysPlace { ARRAYS_IN_MEMORY, ARRAYS_IN_BUFFERS, ARRAYS_MIXED };
ArraysPlace arrays_place(const ClientArrays* a);
// glDrawArrays over arrays in client memory: each vertex is fed to the immediate-mode path
// with its colour and texture coordinates from the enabled arrays, the current ones for the
// others. The current colour and texture coordinates are left as they were.
void arrays_draw_from_memory(const ClientArrays* a, GLenum mode, GLint first, GLsizei count,
                             ImmediateState* s, const MatrixState* matrices,
                             const Viewport* viewport, VertexSink* sink);
