// What the two halves of the WebGL layer share: its state and the WebGL calls underneath.
// emscripten exports every WebGL function also as emscripten_glXxx (declared by its
// <webgl/webgl1.h>), so the layer can define glXxx itself and still reach WebGL.
#pragma once

#include <cstddef>

#include <GL/gl.h>
#include <webgl/webgl1.h>

#include "glarrays.h"
#include "glbatch.h"
#include "glmatrix.h"

// The layer's whole state. The fixed-function state is what the game set; the *_applied
// fields are what WebGL has, so that a draw changes only what differs.
struct WebGlLayer {
    bool ready;                // program, buffers and white texture made
    GLuint program;
    GLint u_mvp;               // uniform locations
    GLint u_alpha_ref;
    GLuint stream_buffer;      // holds the batches, written front to back and renewed when full
    GLsizeiptrARB stream_size;
    GLsizeiptrARB stream_offset;
    GLuint white_texture;      // bound while texturing is off: texture x colour is the colour

    MatrixState matrices;
    ImmediateState immediate;
    VertexBatch batch;
    ClientArrays arrays;
    Viewport viewport;
    bool viewport_known;       // set by glViewport or read from WebGL at start

    GLuint array_buffer;       // the game's GL_ARRAY_BUFFER binding
    bool texturing;            // GL_TEXTURE_2D
    GLuint texture;            // the game's bound texture
    bool alpha_test;           // GL_ALPHA_TEST
    GLenum alpha_func;
    float alpha_ref;
    bool depth_test;
    GLenum depth_func;
    bool depth_mask;
    float clear_color[4];      // glClearColor and glClearDepth as last given
    float clear_depth;
    bool clear_pending;        // a clear of colour and depth waits for the frame's first draw

    GLuint array_buffer_applied;
    GLuint texture_applied;
    float alpha_ref_applied;   // the shader discards fragments whose alpha is at most this
    unsigned matrix_applied;   // u_mvp holds: 0 the identity, n the matrices of version n - 1,
                               // NO_MATRIX nothing known
    bool attrib_enabled[3];    // texture coordinates and colour arrays (position stays on)
};

enum AttribIndex { ATTRIB_POSITION = 0, ATTRIB_TEXCOORD = 1, ATTRIB_COLOR = 2 };
constexpr unsigned NO_MATRIX = ~0u;

// The one instance.
WebGlLayer& glweb();
// Makes the program, buffers and white texture on first use (a context must exist).
void glweb_ready();
// The sink that immediate mode and client arrays in memory draw into.
VertexSink* glweb_sink();
// Binds `texture` in WebGL unless it is bound already.
void glweb_bind_texture(GLuint texture);
// Binds `buffer` to GL_ARRAY_BUFFER in WebGL unless it is bound already.
void glweb_bind_array_buffer(GLuint buffer);
// A compiled shader, or 0 (and the compiler's log on standard error).
GLuint glweb_compile(GLenum type, const char* source);
// Switches the texture coordinate or colour attribute array in WebGL unless it is so already.
void glweb_set_attrib_array(int index, bool enabled);
// Clears now if a clear waits (see glbackdrop.h); before anything that would change its result.
void glweb_apply_pending_clear();
// Prints `message` to standard error the first time `*warned` is false.
void glweb_warn_once(bool* warned, const char* message);
