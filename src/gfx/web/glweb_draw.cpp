// The drawing half of the WebGL layer: the shader, the batch and its stream buffer, client
// arrays and buffer objects, and the end of a frame.
#include "glweb.h"

#include <cstdio>

#include <emscripten.h>

#include "glbackdrop.h"
#include "glweb_internal.h"

namespace {

// Texture x colour and the alpha test: everything the game asks of the fixed-function
// pipeline. With the test off the reference is below every alpha.
const char* const VERTEX_SHADER =
    "attribute vec4 a_position;\n"
    "attribute vec2 a_texcoord;\n"
    "attribute vec4 a_color;\n"
    "uniform mat4 u_mvp;\n"
    "varying vec2 v_texcoord;\n"
    "varying vec4 v_color;\n"
    "void main() {\n"
    "  v_texcoord = a_texcoord;\n"
    "  v_color = a_color;\n"
    "  gl_Position = u_mvp * a_position;\n"
    "}\n";

const char* const FRAGMENT_SHADER =
    "#ifdef GL_FRAGMENT_PRECISION_HIGH\n"
    "precision highp float;\n"
    "#else\n"
    "precision mediump float;\n"
    "#endif\n"
    "uniform sampler2D u_texture;\n"
    "uniform bool u_texturing;\n"
    "uniform float u_alpha_ref;\n"
    "varying vec2 v_texcoord;\n"
    "varying vec4 v_color;\n"
    "void main() {\n"
    "  vec4 c = u_texturing ? texture2D(u_texture, v_texcoord) * v_color : v_color;\n"
    "  if (c.a <= u_alpha_ref) discard;\n"
    "  gl_FragColor = c;\n"
    "}\n";

constexpr GLsizeiptrARB FIRST_STREAM_SIZE = 1 << 20;
constexpr float NO_ALPHA_TEST = -1.0f;
const Mat4 IDENTITY = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// The state OpenGL starts with; WebGL objects come later, once there is a context.
WebGlLayer initial_layer()
{
    WebGlLayer l = {};  // an empty batch, no objects, nothing switched on
    matrices_init(&l.matrices);
    immediate_init(&l.immediate);
    arrays_init(&l.arrays);
    return l;
}

WebGlLayer layer = initial_layer();

// Drops emscripten's handles of a lost context's objects: their names are free (deleting one
// then does nothing) and the objects can be collected. The game makes new ones under new names.
EM_JS(void, web_forget_objects, (), {
    [GL.buffers, GL.textures, GL.programs, GL.shaders, GL.framebuffers, GL.renderbuffers]
        .forEach(function(table) {
            if (table)
                table.fill(null);
        });
    GLctx.currentProgram = null;
});

// A compiled shader, or 0 (and the compiler's log on standard error).
GLuint compile(GLenum type, const char* source)
{
    GLuint shader = emscripten_glCreateShader(type);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok)
        return shader;
    char log[1024] = "";
    emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "WebGL shader does not compile: %s\n", log);
    emscripten_glDeleteShader(shader);
    return 0;
}

// Texture, alpha test and matrix of the next draw: a batch is drawn with the identity (its
// vertices are in clip coordinates), arrays in buffer objects with the game's matrices.
void apply_state(WebGlLayer* l, const Mat4& matrix)
{
    // OpenGL's texture 0 has no image, which leaves texturing off.
    bool texturing = l->texturing && l->texture;
    emscripten_glBindTexture(GL_TEXTURE_2D, texturing ? l->texture : 0);
    emscripten_glUniform1i(l->u_texturing, texturing);
    float ref = NO_ALPHA_TEST;
    if (l->alpha_test && l->alpha_func != GL_ALWAYS)
        ref = l->alpha_ref < 0 ? 0 : (l->alpha_ref > 1 ? 1 : l->alpha_ref);
    emscripten_glUniform1f(l->u_alpha_ref, ref);
    emscripten_glUniformMatrix4fv(l->u_mvp, 1, GL_FALSE, matrix.m);
    l->just_cleared = false;
}

// Room in the stream buffer for `bytes`: the offset to write at. A full buffer is replaced
// by a new one (twice as large when one batch needs it), so that WebGL never waits for the
// draws that still read the old one.
GLsizeiptrARB stream_room(WebGlLayer* l, GLsizeiptrARB bytes)
{
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, l->stream_buffer);
    if (l->stream_offset + bytes <= l->stream_size)
        return l->stream_offset;
    while (l->stream_size < bytes)
        l->stream_size *= 2;
    emscripten_glBufferData(GL_ARRAY_BUFFER, l->stream_size, nullptr, GL_STREAM_DRAW);
    l->stream_offset = 0;
    return 0;
}

void draw_batch(WebGlLayer* l)
{
    VertexBatch* b = &l->batch;
    apply_state(l, IDENTITY);
    GLsizeiptrARB bytes = (GLsizeiptrARB)b->count * sizeof(BatchVertex);
    GLsizeiptrARB offset = stream_room(l, bytes);
    emscripten_glBufferSubData(GL_ARRAY_BUFFER, offset, bytes, b->vertices);
    l->stream_offset = offset + bytes;

    const char* base = reinterpret_cast<const char*>(offset);
    const GLsizei stride = sizeof(BatchVertex);
    emscripten_glVertexAttribPointer(ATTRIB_POSITION, 4, GL_FLOAT, GL_FALSE, stride,
                                     base + offsetof(BatchVertex, x));
    emscripten_glEnableVertexAttribArray(ATTRIB_TEXCOORD);
    emscripten_glVertexAttribPointer(ATTRIB_TEXCOORD, 2, GL_FLOAT, GL_FALSE, stride,
                                     base + offsetof(BatchVertex, s));
    emscripten_glEnableVertexAttribArray(ATTRIB_COLOR);
    emscripten_glVertexAttribPointer(ATTRIB_COLOR, 4, GL_FLOAT, GL_FALSE, stride,
                                     base + offsetof(BatchVertex, rgba));
    emscripten_glDrawArrays(GL_TRIANGLES, 0, b->count);
    b->count = 0;
}

class BatchSink : public VertexSink {
public:
    BatchVertex* reserve(int n) override
    {
        return batch_append(&layer.batch, n);
    }
};

BatchSink sink;

// Points WebGL's attribute at an array in a buffer object, or gives it the current value.
void point_attrib(int index, const ClientArray* array, const float current[4])
{
    if (!array->enabled) {
        emscripten_glDisableVertexAttribArray(index);
        emscripten_glVertexAttrib4f(index, current[0], current[1], current[2], current[3]);
        return;
    }
    emscripten_glEnableVertexAttribArray(index);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, array->buffer);
    emscripten_glVertexAttribPointer(index, array->size, array->type,
                                     array->type == GL_UNSIGNED_BYTE ? GL_TRUE : GL_FALSE,
                                     array->stride, array->pointer);
}

// Arrays that all lie in buffer objects are drawn by WebGL straight from them: the terrain.
void draw_from_buffers(GLenum mode, GLint first, GLsizei count)
{
    static bool warned = false;
    WebGlLayer* l = &layer;
    if (mode != GL_TRIANGLES && mode != GL_TRIANGLE_STRIP && mode != GL_TRIANGLE_FAN) {
        glweb_warn_once(&warned, "glDrawArrays: only triangles are drawn from buffer objects");
        return;
    }
    apply_state(l, l->matrices.mvp);
    const float texcoord[4] = {l->immediate.current.s, l->immediate.current.t, 0, 1};
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, l->arrays.vertex.buffer);
    emscripten_glVertexAttribPointer(ATTRIB_POSITION, l->arrays.vertex.size, l->arrays.vertex.type,
                                     GL_FALSE, l->arrays.vertex.stride, l->arrays.vertex.pointer);
    point_attrib(ATTRIB_TEXCOORD, &l->arrays.texcoord, texcoord);
    point_attrib(ATTRIB_COLOR, &l->arrays.color, l->immediate.current.rgba);
    emscripten_glDrawArrays(mode, first, count);
}

}  // namespace

WebGlLayer& glweb()
{
    return layer;
}

void glweb_ready()
{
    static const char* const ATTRIBUTES[] = {"a_position", "a_texcoord", "a_color"};
    WebGlLayer* l = &layer;
    if (l->ready)
        return;
    l->ready = true;
    if (!l->viewport_known) {
        GLint v[4] = {0, 0, 1, 1};
        emscripten_glGetIntegerv(GL_VIEWPORT, v);
        l->viewport = Viewport{v[0], v[1], v[2], v[3]};
        l->viewport_known = true;
    }
    l->program = glweb_program(VERTEX_SHADER, FRAGMENT_SHADER, ATTRIBUTES, 3);
    emscripten_glUseProgram(l->program);
    l->u_mvp = emscripten_glGetUniformLocation(l->program, "u_mvp");
    l->u_texturing = emscripten_glGetUniformLocation(l->program, "u_texturing");
    l->u_alpha_ref = emscripten_glGetUniformLocation(l->program, "u_alpha_ref");
    emscripten_glUniform1i(emscripten_glGetUniformLocation(l->program, "u_texture"), 0);
    emscripten_glGenBuffers(1, &l->stream_buffer);
    l->stream_size = FIRST_STREAM_SIZE;
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, l->stream_buffer);
    emscripten_glBufferData(GL_ARRAY_BUFFER, l->stream_size, nullptr, GL_STREAM_DRAW);
    emscripten_glEnableVertexAttribArray(ATTRIB_POSITION);
}

void glweb_context_restored()
{
    WebGlLayer* l = &layer;
    web_forget_objects();
    l->ready = false;
    l->batch.count = 0;
    l->array_buffer = 0;
    l->texture = 0;
    l->just_cleared = false;
    // The new context starts at WebGL's defaults; what the game set holds again.
    if (l->depth_test)
        emscripten_glEnable(GL_DEPTH_TEST);
    emscripten_glDepthFunc(l->depth_func);
    emscripten_glDepthMask(l->depth_mask);
    emscripten_glClearColor(l->clear_color[0], l->clear_color[1], l->clear_color[2],
                            l->clear_color[3]);
    emscripten_glClearDepthf(l->clear_depth);
    if (l->viewport_known)
        emscripten_glViewport(l->viewport.x, l->viewport.y, l->viewport.w, l->viewport.h);
    backdrop_context_restored();
}

void glweb_flush()
{
    if (layer.batch.count > 0)
        draw_batch(&layer);
}

VertexSink* glweb_sink()
{
    return &sink;
}

GLuint glweb_program(const char* vertex_source, const char* fragment_source,
                     const char* const* attributes, int attribute_count)
{
    GLuint vs = compile(GL_VERTEX_SHADER, vertex_source);
    GLuint fs = compile(GL_FRAGMENT_SHADER, fragment_source);
    GLuint program = emscripten_glCreateProgram();
    emscripten_glAttachShader(program, vs);
    emscripten_glAttachShader(program, fs);
    for (int i = 0; i < attribute_count; i++)
        emscripten_glBindAttribLocation(program, i, attributes[i]);
    emscripten_glLinkProgram(program);
    // Deleting shader 0 is allowed and does nothing; the program keeps the ones it links.
    emscripten_glDeleteShader(vs);
    emscripten_glDeleteShader(fs);
    GLint ok = 0;
    emscripten_glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok)
        return program;
    char log[1024] = "";
    emscripten_glGetProgramInfoLog(program, sizeof log, nullptr, log);
    std::fprintf(stderr, "WebGL program does not link: %s\n", log);
    emscripten_glDeleteProgram(program);
    return 0;
}

void glweb_warn_once(bool* warned, const char* message)
{
    if (*warned)
        return;
    *warned = true;
    std::fprintf(stderr, "WebGL layer: %s\n", message);
}

void glweb_bind_buffer(GLenum target, GLuint buffer)
{
    if (target == GL_ARRAY_BUFFER)
        layer.array_buffer = buffer;
    else
        emscripten_glBindBuffer(target, buffer);
}

void glweb_buffer_data(GLenum target, GLsizeiptrARB size, const void* data, GLenum usage)
{
    if (target == GL_ARRAY_BUFFER) {
        emscripten_glBindBuffer(GL_ARRAY_BUFFER, layer.array_buffer);
        backdrop_changed();
    }
    emscripten_glBufferData(target, size, data, usage);
}

void glweb_delete_buffers(GLsizei n, const GLuint* buffers)
{
    backdrop_changed();
    for (GLsizei i = 0; i < n; i++)
        if (layer.array_buffer == buffers[i])
            layer.array_buffer = 0;
    emscripten_glDeleteBuffers(n, buffers);
}

extern "C" {

void glEnableClientState(GLenum cap)
{
    if (ClientArray* array = arrays_by_cap(&layer.arrays, cap))
        array->enabled = true;
}

void glDisableClientState(GLenum cap)
{
    if (ClientArray* array = arrays_by_cap(&layer.arrays, cap))
        array->enabled = false;
}

void glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer)
{
    array_point(&layer.arrays.vertex, size, type, stride, pointer, layer.array_buffer);
}

void glColorPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer)
{
    array_point(&layer.arrays.color, size, type, stride, pointer, layer.array_buffer);
}

void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer)
{
    array_point(&layer.arrays.texcoord, size, type, stride, pointer, layer.array_buffer);
}

void glDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    static bool warned = false;
    glweb_ready();
    WebGlLayer* l = &layer;
    if (!l->arrays.vertex.enabled || count <= 0)
        return;
    ArraysPlace place = arrays_place(&l->arrays);
    if (place == ARRAYS_IN_MEMORY) {
        arrays_draw_from_memory(&l->arrays, mode, first, count, &l->immediate, &l->matrices,
                                &l->viewport, &sink);
    } else if (place == ARRAYS_IN_BUFFERS) {
        glweb_flush();
        // The first draw after a clear may come from the copy of the last frame's start; the
        // frame's next ones are drawn on it.
        bool frame_start = l->just_cleared;
        l->just_cleared = false;
        if (!(frame_start && backdrop_draw(mode, first, count, draw_from_buffers)))
            draw_from_buffers(mode, first, count);
    } else {
        glweb_warn_once(&warned, "glDrawArrays: arrays partly in buffer objects are not drawn");
    }
}

// The browser shows the canvas when the frame's callback returns, so the end of the frame is
// where the last batch must be drawn.
void SDL_GL_SwapBuffers(void)
{
    glweb_flush();
}

}  // extern "C"
