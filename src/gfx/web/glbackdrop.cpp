#include "glbackdrop.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include <emscripten.h>

#include "glweb_internal.h"

namespace {

// Colour and depth of the copy, one texel per pixel, written back as they were read. The
// texel is found from a high-precision varying, not gl_FragCoord, which GLSL ES gives only
// medium precision: on half-float hardware that loses the half pixel past 1024 pixels.
const char* const VERTEX_SHADER =
    "attribute vec2 a_position;\n"
    "varying highp vec2 v_at;\n"
    "void main() {\n"
    "  v_at = a_position * 0.5 + 0.5;\n"
    "  gl_Position = vec4(a_position, 0.0, 1.0);\n"
    "}\n";

const char* const FRAGMENT_SHADER =
    "#extension GL_EXT_frag_depth : require\n"
    "precision highp float;\n"
    "uniform sampler2D u_color;\n"
    "uniform sampler2D u_depth;\n"
    "varying highp vec2 v_at;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(u_color, v_at);\n"
    "  gl_FragDepthEXT = texture2D(u_depth, v_at).r;\n"
    "}\n";

// Whether the copy can hold exactly what the screen holds and is worth its full-screen pass:
// a renderer where that was measured (SwiftShader, Chromium's software WebGL: with Mesa's
// llvmpipe a still view drawn from the copy came out one pixel off the full drawing, and on a
// graphics card the gain is unmeasured while the full-screen pass is sure), the
// extensions it needs, fragment shaders with 32-bit floats (which carry a 24-bit depth and a
// texel position exactly), and a screen without multisampling. Says why not, once.
EM_JS(int, web_backdrop_possible, (), {
    var why = null;
    var high = GLctx.getShaderPrecisionFormat(GLctx.FRAGMENT_SHADER, GLctx.HIGH_FLOAT);
    var info = GLctx.getExtension('WEBGL_debug_renderer_info');
    var renderer = String(GLctx.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : GLctx.RENDERER));
    if (!/SwiftShader/i.test(renderer))
        why = 'the copy is used with SwiftShader only, and this is ' + renderer;
    else if (!GLctx.getExtension('WEBGL_depth_texture') || !GLctx.getExtension('EXT_frag_depth'))
        why = 'depth textures or fragment depth are missing';
    else if (!high || high.precision < 23)
        why = 'fragment shaders have no 32-bit floats';
    else if (GLctx.getParameter(GLctx.SAMPLES) > 0)
        why = 'the screen is multisampled';
    if (why)
        console.log('The terrain of still frames is drawn in full: ' + why);
    return why ? 0 : 1;
});

// Whether the copy's framebuffer (bound now) keeps depth in as many bits as the screen's.
EM_JS(int, web_backdrop_same_depth, (), {
    var copy = GLctx.getParameter(GLctx.DEPTH_BITS);
    GLctx.bindFramebuffer(GLctx.FRAMEBUFFER, null);
    var screen = GLctx.getParameter(GLctx.DEPTH_BITS);
    if (copy === screen && screen > 0)
        return 1;
    console.log('The terrain of still frames is drawn in full: the copy keeps ' + copy +
                ' depth bits, the screen ' + screen);
    return 0;
});

EM_JS(void, web_backdrop_used, (), {
    if (window.quorvale)
        window.quorvale.backdropFrames++;
});

// The drawing buffer's size as width << 16 | height, or 0 while the page has the copy off.
EM_JS(int, web_backdrop_screen, (), {
    if (window.quorvale && window.quorvale.keepBackdrop === false)
        return 0;
    return (GLctx.drawingBufferWidth << 16) | GLctx.drawingBufferHeight;
});

// One client array as it decides the draw.
struct ArrayKey {
    std::int32_t enabled, size, type, stride;
    std::uintptr_t pointer;
    std::uint32_t buffer;
};

// Everything a frame's start depends on. Filled from zero and compared byte for byte (floats
// by their bits: the same start, not a near one).
struct BackdropKey {
    float clear_color[4];
    float clear_depth;
    std::int32_t viewport[4];
    std::int32_t buffer_size;  // drawing buffer, width << 16 | height
    float mvp[16];
    std::uint32_t mode;
    std::int32_t first, count;
    ArrayKey vertex, texcoord, color;
    float current_color[4];
    float current_texcoord[2];
    std::uint32_t texture;
    std::uint32_t generation;  // of buffers' and textures' contents and sampling
    float alpha_ref;
    std::int32_t depth_test, depth_func, depth_mask;
};

struct Backdrop {
    int supported = -1;  // not yet known; then 0 (no) or 1 (yes)
    GLuint program;
    GLuint quad;  // two triangles covering clip space
    GLuint framebuffer, color_texture, depth_texture;
    int width, height;  // of the textures; 0 before they exist
    bool holds;         // the textures hold the start of `held`
    BackdropKey held;
    bool seen;          // the last frame started as `last`, drawn straight
    BackdropKey last;
    std::uint32_t generation;  // grows with every change of a buffer's or texture's contents
                               // or sampling
};

Backdrop backdrop;
// Each texture's filters and wrapping as last set (0 before that, which no value equals). Kept
// here rather than read back from WebGL, whose queries wait for the drawing queued before them.
std::vector<std::array<GLint, 4>> sampling;

ArrayKey array_key(const ClientArray& a)
{
    ArrayKey k = {};
    k.enabled = a.enabled;
    if (!a.enabled)
        return k;
    k.size = a.size;
    k.type = (std::int32_t)a.type;
    k.stride = a.stride;
    k.pointer = reinterpret_cast<std::uintptr_t>(a.pointer);
    k.buffer = a.buffer;
    return k;
}

void make_key(BackdropKey* k, const WebGlLayer* l, GLenum mode, GLint first, GLsizei count,
              int buffer_size)
{
    std::memset(k, 0, sizeof *k);
    std::memcpy(k->clear_color, l->clear_color, sizeof k->clear_color);
    k->clear_depth = l->clear_depth;
    std::memcpy(k->viewport, &l->viewport, sizeof k->viewport);
    k->buffer_size = buffer_size;
    std::memcpy(k->mvp, l->matrices.mvp.m, sizeof k->mvp);
    k->mode = mode;
    k->first = first;
    k->count = count;
    k->vertex = array_key(l->arrays.vertex);
    k->texcoord = array_key(l->arrays.texcoord);
    k->color = array_key(l->arrays.color);
    if (!l->arrays.color.enabled)
        std::memcpy(k->current_color, l->immediate.current.rgba, sizeof k->current_color);
    if (!l->arrays.texcoord.enabled) {
        k->current_texcoord[0] = l->immediate.current.s;
        k->current_texcoord[1] = l->immediate.current.t;
    }
    k->texture = l->texturing ? l->texture : 0;
    k->generation = backdrop.generation;
    k->alpha_ref = l->alpha_test && l->alpha_func != GL_ALWAYS ? l->alpha_ref : -1.0f;
    k->depth_test = l->depth_test;
    k->depth_func = (std::int32_t)l->depth_func;
    k->depth_mask = l->depth_mask;
}

bool same(const BackdropKey& a, const BackdropKey& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The program, the quad and the framebuffer; false when the browser lacks a part of them.
bool make_objects(Backdrop* b)
{
    static const char* const ATTRIBUTES[] = {"a_position"};
    if (!web_backdrop_possible())
        return false;
    b->program = glweb_program(VERTEX_SHADER, FRAGMENT_SHADER, ATTRIBUTES, 1);
    if (!b->program)
        return false;
    emscripten_glUseProgram(b->program);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(b->program, "u_color"), 0);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(b->program, "u_depth"), 1);
    emscripten_glUseProgram(glweb().program);

    static const float QUAD[12] = {-1, -1, 1, -1, 1, 1, 1, 1, -1, 1, -1, -1};
    emscripten_glGenBuffers(1, &b->quad);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, b->quad);
    emscripten_glBufferData(GL_ARRAY_BUFFER, sizeof QUAD, QUAD, GL_STATIC_DRAW);

    emscripten_glGenFramebuffers(1, &b->framebuffer);
    emscripten_glGenTextures(1, &b->color_texture);
    emscripten_glGenTextures(1, &b->depth_texture);
    return true;
}

// A texture of the drawing buffer's size, `format` bytes or depth, one texel a pixel.
void size_texture(GLuint texture, GLenum format, GLenum type, int width, int height)
{
    emscripten_glBindTexture(GL_TEXTURE_2D, texture);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, format, type, nullptr);
}

// Textures of the drawing buffer's size behind the framebuffer; false if it cannot be complete.
bool size_textures(Backdrop* b, int width, int height)
{
    if (b->width == width && b->height == height)
        return true;
    b->holds = false;
    size_texture(b->color_texture, GL_RGBA, GL_UNSIGNED_BYTE, width, height);
    size_texture(b->depth_texture, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, width, height);
    emscripten_glBindFramebuffer(GL_FRAMEBUFFER, b->framebuffer);
    emscripten_glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, b->color_texture, 0);
    emscripten_glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, b->depth_texture, 0);
    bool complete = emscripten_glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    // Depth written back from fewer (or other) bits than the screen keeps would not test
    // exactly as the terrain's own did. Compared with the framebuffer bound; unbinds it.
    complete = complete && web_backdrop_same_depth();
    emscripten_glBindFramebuffer(GL_FRAMEBUFFER, 0);
    b->width = complete ? width : 0;
    b->height = complete ? height : 0;
    return complete;
}

// Writes the copy's colour and depth over the whole drawing buffer, then gives WebGL back the
// state the layer set.
void put_back(Backdrop* b, WebGlLayer* l)
{
    emscripten_glUseProgram(b->program);
    emscripten_glActiveTexture(GL_TEXTURE1);
    emscripten_glBindTexture(GL_TEXTURE_2D, b->depth_texture);
    emscripten_glActiveTexture(GL_TEXTURE0);
    emscripten_glBindTexture(GL_TEXTURE_2D, b->color_texture);
    // Depth is written only with the test on; ALWAYS lets every pixel through.
    if (!l->depth_test)
        emscripten_glEnable(GL_DEPTH_TEST);
    emscripten_glDepthFunc(GL_ALWAYS);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, b->quad);
    emscripten_glVertexAttribPointer(ATTRIB_POSITION, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    emscripten_glDisableVertexAttribArray(ATTRIB_TEXCOORD);
    emscripten_glDisableVertexAttribArray(ATTRIB_COLOR);
    emscripten_glDrawArrays(GL_TRIANGLES, 0, 6);
    web_backdrop_used();

    emscripten_glDepthFunc(l->depth_func);
    if (!l->depth_test)
        emscripten_glDisable(GL_DEPTH_TEST);
    emscripten_glUseProgram(l->program);
}

}  // namespace

void backdrop_changed()
{
    backdrop.generation++;
}

void backdrop_texture_parameter(GLuint texture, GLenum name, GLint value)
{
    static const GLenum NAMES[4] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S,
                                    GL_TEXTURE_WRAP_T};
    int i = std::find(NAMES, NAMES + 4, name) - NAMES;
    if (texture >= sampling.size())
        sampling.resize(texture + 1, {0, 0, 0, 0});
    if (i == 4 || sampling[texture][i] != value)
        backdrop.generation++;
    if (i < 4)
        sampling[texture][i] = value;
}

void backdrop_context_restored()
{
    // Nothing held, and the new context's formats compared afresh.
    backdrop = Backdrop{};
    sampling.clear();
}

bool backdrop_draw(GLenum mode, GLint first, GLsizei count, void (*draw)(GLenum, GLint, GLsizei))
{
    Backdrop* b = &backdrop;
    WebGlLayer* l = &glweb();
    if (b->supported < 0)
        b->supported = make_objects(b) ? 1 : 0;
    int buffer_size = b->supported ? web_backdrop_screen() : 0;
    int width = buffer_size >> 16, height = buffer_size & 0xFFFF;
    if (!buffer_size || l->viewport.x != 0 || l->viewport.y != 0 || l->viewport.w != width ||
        l->viewport.h != height)
        return false;
    BackdropKey key;
    make_key(&key, l, mode, first, count, buffer_size);
    if (b->holds && same(key, b->held)) {
        put_back(b, l);
        return true;
    }
    if (!(b->seen && same(key, b->last))) {
        b->last = key;
        b->seen = true;
        return false;
    }
    // The second frame alike: draw this start into the copy, and the copy onto the screen.
    if (!size_textures(b, width, height)) {
        b->supported = 0;  // a framebuffer the browser will not complete: draw in full for good
        return false;
    }
    emscripten_glBindFramebuffer(GL_FRAMEBUFFER, b->framebuffer);
    emscripten_glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw(mode, first, count);
    emscripten_glBindFramebuffer(GL_FRAMEBUFFER, 0);
    b->held = key;
    b->holds = true;
    b->seen = false;
    put_back(b, l);
    return true;
}
