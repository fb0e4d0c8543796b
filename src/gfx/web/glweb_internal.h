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

// The layer's whole state: its own WebGL objects and the fixed-function state the game set.
// Every draw sets the texture, attributes and uniforms it uses, so WebGL's own state is not
// tracked beside it.
struct WebGlLayer {
    bool ready;                // program and stream buffer made
    GLuint program;
    GLint u_mvp;               // uniform locations
    GLint u_texturing;
    GLint u_alpha_ref;
    GLuint stream_buffer;      // holds the batches, written front to back and renewed when full
    GLsizeiptrARB stream_size;
    GLsizeiptrARB stream_offset;

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
    GLenum alpha_func = GL_ALWAYS;
    float alpha_ref;
    bool depth_test;
    GLenum depth_func = GL_LESS;
    bool depth_mask = true;
    float clear_color[4];      // glClearColor and glClearDepth as last given
    float clear_depth = 1.0f;
    bool just_cleared;         // colour and depth cleared with these values, nothing drawn since
};

enum AttribIndex { ATTRIB_POSITION = 0, ATTRIB_TEXCOORD = 1, ATTRIB_COLOR = 2 };

// The one instance.
WebGlLayer& glweb();
// Makes the program and stream buffer on first use (a context must exist).
void glweb_ready();
// The sink that immediate mode and client arrays in memory draw into.
VertexSink* glweb_sink();
// A linked program of the two shaders, its `attributes` bound to locations 0, 1, ...; 0 (and
// the compiler's or linker's log on standard error) when it does not compile or link.
GLuint glweb_program(const char* vertex_source, const char* fragment_source,
                     const char* const* attributes, int attribute_count);
// Prints `message` to standard error the first time `*warned` is false.
void glweb_warn_once(bool* warned, const char* message);
