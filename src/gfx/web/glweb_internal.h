// What the two halves of the WebGL layer share: its state and the WebGL calls underneath.
// emscripten exports every WebGL function also as emscripten_glXxx, so the layer can define
// glXxx itself and still reach WebGL.
#pragma once

#include <cstddef>

#include <GL/gl.h>

#include "glarrays.h"
#include "glbatch.h"
#include "glmatrix.h"

extern "C" {
void emscripten_glActiveTexture(GLenum texture);
void emscripten_glAttachShader(GLuint program, GLuint shader);
void emscripten_glBindAttribLocation(GLuint program, GLuint index, const char* name);
void emscripten_glBindBuffer(GLenum target, GLuint buffer);
void emscripten_glBindTexture(GLenum target, GLuint texture);
void emscripten_glBufferData(GLenum target, std::ptrdiff_t size, const void* data, GLenum usage);
void emscripten_glBufferSubData(GLenum target, std::ptrdiff_t offset, std::ptrdiff_t size,
                                const void* data);
void emscripten_glClear(GLbitfield mask);
void emscripten_glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void emscripten_glClearDepthf(GLfloat depth);
void emscripten_glCompileShader(GLuint shader);
GLuint emscripten_glCreateProgram(void);
GLuint emscripten_glCreateShader(GLenum type);
void emscripten_glDeleteBuffers(GLsizei n, const GLuint* buffers);
void emscripten_glDeleteShader(GLuint shader);
void emscripten_glDeleteTextures(GLsizei n, const GLuint* textures);
void emscripten_glDepthFunc(GLenum func);
void emscripten_glDepthMask(GLboolean flag);
void emscripten_glDisable(GLenum cap);
void emscripten_glDisableVertexAttribArray(GLuint index);
void emscripten_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void emscripten_glEnable(GLenum cap);
void emscripten_glEnableVertexAttribArray(GLuint index);
void emscripten_glGenBuffers(GLsizei n, GLuint* buffers);
void emscripten_glGenTextures(GLsizei n, GLuint* textures);
void emscripten_glGetIntegerv(GLenum name, GLint* data);
void emscripten_glGetProgramInfoLog(GLuint program, GLsizei size, GLsizei* length, char* log);
void emscripten_glGetProgramiv(GLuint program, GLenum name, GLint* value);
void emscripten_glGetShaderInfoLog(GLuint shader, GLsizei size, GLsizei* length, char* log);
void emscripten_glGetShaderiv(GLuint shader, GLenum name, GLint* value);
const GLubyte* emscripten_glGetString(GLenum name);
GLint emscripten_glGetUniformLocation(GLuint program, const char* name);
void emscripten_glLinkProgram(GLuint program);
void emscripten_glShaderSource(GLuint shader, GLsizei count, const char* const* sources,
                               const GLint* lengths);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width,
                             GLsizei height, GLint border, GLenum format, GLenum type,
                             const void* pixels);
void emscripten_glTexParameteri(GLenum target, GLenum name, GLint value);
void emscripten_glUniform1f(GLint location, GLfloat value);
void emscripten_glUniform1i(GLint location, GLint value);
void emscripten_glUniformMatrix4fv(GLint location, GLsizei count, GLboolean transpose,
                                   const GLfloat* value);
void emscripten_glUseProgram(GLuint program);
void emscripten_glVertexAttrib4f(GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w);
void emscripten_glVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                                      GLsizei stride, const void* pointer);
void emscripten_glViewport(GLint x, GLint y, GLsizei w, GLsizei h);
}

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
    bool matrix_applied;       // u_mvp holds the identity or the matrices of matrix_version
    bool identity_applied;
    unsigned matrix_version_applied;
    bool attrib_enabled[3];    // texture coordinates and colour arrays (position stays on)
};

enum AttribIndex { ATTRIB_POSITION = 0, ATTRIB_TEXCOORD = 1, ATTRIB_COLOR = 2 };

// The one instance.
WebGlLayer& glweb();
// Makes the program, buffers and white texture on first use (a context must exist).
void glweb_ready();
// Draws the batch when it holds vertices in object space, which a matrix change would spoil.
void glweb_flush_before_matrix_change();
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
