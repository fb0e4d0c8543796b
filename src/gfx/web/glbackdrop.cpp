#include "glbackdrop.h"

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

EM_JS(int, web_backdrop_allowed, (), {
    return !(window.quorvale && window.quorvale.keepBackdrop === false);
});

EM_JS(void, web_backdrop_used, (), {
    if (window.quorvale)
        window.quorvale.backdropFrames++;
});

EM_JS(int, web_drawing_buffer_size, (), {
    return (GLctx.drawingBufferWidth << 16) | GLctx.drawingBufferHeight;
});

// One client array as it decides the draw.
struct ArrayKey {
    std::int32_t enabled, size, type, stride;
    std::uintptr_t pointer;
    std::uint32_t buffer, generation;
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
    std::uint32_t texture, texture_generation;
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
    GLenum other_caps[8];  // capabilities outside the layer's model that are on
    int other_cap_count;
};

Backdrop backdrop;
std::vector<unsigned> buffer_generations, texture_generations;

unsigned generation_of(const std::vector<unsigned>& generations, GLuint name)
{
    return name < generations.size() ? generations[name] : 0;
}

void advance(std::vector<unsigned>* generations, GLuint name)
{
    if (name >= generations->size())
        generations->resize(name + 1, 0);
    (*generations)[name]++;
}

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
    k.generation = generation_of(buffer_generations, a.buffer);
    return k;
}

void make_key(BackdropKey* k, const WebGlLayer* l, GLenum mode, GLint first, GLsizei count,
              int buffer_size)
{
    std::memset(k, 0, sizeof *k);
    std::memcpy(k->clear_color, l->clear_color, sizeof k->clear_color);
    k->clear_depth = l->clear_depth;
    k->viewport[0] = l->viewport.x;
    k->viewport[1] = l->viewport.y;
    k->viewport[2] = l->viewport.w;
    k->viewport[3] = l->viewport.h;
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
    GLuint texture = l->texturing && l->texture ? l->texture : l->white_texture;
    k->texture = texture;
    k->texture_generation = generation_of(texture_generations, texture);
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
    if (!web_backdrop_possible())
        return false;
    GLuint vs = glweb_compile(GL_VERTEX_SHADER, VERTEX_SHADER);
    GLuint fs = glweb_compile(GL_FRAGMENT_SHADER, FRAGMENT_SHADER);
    if (!vs || !fs) {
        // Deleting shader 0 is allowed and does nothing.
        emscripten_glDeleteShader(vs);
        emscripten_glDeleteShader(fs);
        return false;
    }
    b->program = emscripten_glCreateProgram();
    emscripten_glAttachShader(b->program, vs);
    emscripten_glAttachShader(b->program, fs);
    emscripten_glBindAttribLocation(b->program, ATTRIB_POSITION, "a_position");
    emscripten_glLinkProgram(b->program);
    emscripten_glDeleteShader(vs);
    emscripten_glDeleteShader(fs);
    GLint ok = 0;
    emscripten_glGetProgramiv(b->program, GL_LINK_STATUS, &ok);
    if (!ok)
        return false;
    emscripten_glUseProgram(b->program);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(b->program, "u_color"), 0);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(b->program, "u_depth"), 1);
    emscripten_glUseProgram(glweb().program);

    static const float QUAD[12] = {-1, -1, 1, -1, 1, 1, 1, 1, -1, 1, -1, -1};
    emscripten_glGenBuffers(1, &b->quad);
    glweb_bind_array_buffer(b->quad);
    emscripten_glBufferData(GL_ARRAY_BUFFER, sizeof QUAD, QUAD, GL_STATIC_DRAW);

    emscripten_glGenFramebuffers(1, &b->framebuffer);
    emscripten_glGenTextures(1, &b->color_texture);
    emscripten_glGenTextures(1, &b->depth_texture);
    return true;
}

void sample_nearest(GLuint texture)
{
    glweb_bind_texture(texture);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

// Textures of the drawing buffer's size behind the framebuffer; false if it cannot be complete.
bool size_textures(Backdrop* b, int width, int height)
{
    if (b->width == width && b->height == height)
        return true;
    b->holds = false;
    sample_nearest(b->color_texture);
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                            nullptr);
    sample_nearest(b->depth_texture);
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, width, height, 0, GL_DEPTH_COMPONENT,
                            GL_UNSIGNED_INT, nullptr);
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
// state the layer believes it has.
void put_back(Backdrop* b, WebGlLayer* l)
{
    emscripten_glUseProgram(b->program);
    emscripten_glActiveTexture(GL_TEXTURE1);
    emscripten_glBindTexture(GL_TEXTURE_2D, b->depth_texture);
    emscripten_glActiveTexture(GL_TEXTURE0);
    glweb_bind_texture(b->color_texture);
    // Depth is written only with the test on; ALWAYS lets every pixel through.
    if (!l->depth_test)
        emscripten_glEnable(GL_DEPTH_TEST);
    emscripten_glDepthFunc(GL_ALWAYS);
    glweb_bind_array_buffer(b->quad);
    emscripten_glVertexAttribPointer(ATTRIB_POSITION, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glweb_set_attrib_array(ATTRIB_TEXCOORD, false);
    glweb_set_attrib_array(ATTRIB_COLOR, false);
    emscripten_glDrawArrays(GL_TRIANGLES, 0, 6);
    web_backdrop_used();

    emscripten_glDepthFunc(l->depth_func);
    if (!l->depth_test)
        emscripten_glDisable(GL_DEPTH_TEST);
    emscripten_glUseProgram(l->program);
}

}  // namespace

void backdrop_buffer_written(GLuint buffer)
{
    advance(&buffer_generations, buffer);
}

void backdrop_texture_written(GLuint texture)
{
    advance(&texture_generations, texture);
}

void backdrop_capability(GLenum cap, bool on)
{
    Backdrop* b = &backdrop;
    for (int i = 0; i < b->other_cap_count; i++) {
        if (b->other_caps[i] != cap)
            continue;
        if (!on)
            b->other_caps[i] = b->other_caps[--b->other_cap_count];
        return;
    }
    if (on && b->other_cap_count < (int)(sizeof b->other_caps / sizeof b->other_caps[0]))
        b->other_caps[b->other_cap_count++] = cap;
    else if (on)
        b->supported = 0;  // more than the game ever switches: keep to the plain way for good
}

void backdrop_context_restored()
{
    Backdrop* b = &backdrop;
    for (int i = 0; i < b->other_cap_count; i++)
        emscripten_glEnable(b->other_caps[i]);
    // The new context's formats are compared afresh.
    b->supported = -1;
    b->width = b->height = 0;
    b->holds = false;
    b->seen = false;
}

bool backdrop_may_defer_clear()
{
    Backdrop* b = &backdrop;
    if (b->supported < 0)
        b->supported = make_objects(b) ? 1 : 0;
    return b->supported == 1 && b->other_cap_count == 0 && web_backdrop_allowed();
}

bool backdrop_draw(GLenum mode, GLint first, GLsizei count, void (*draw)(GLenum, GLint, GLsizei))
{
    Backdrop* b = &backdrop;
    WebGlLayer* l = &glweb();
    int buffer_size = web_drawing_buffer_size();
    int width = buffer_size >> 16, height = buffer_size & 0xFFFF;
    if (l->viewport.x != 0 || l->viewport.y != 0 || l->viewport.w != width || l->viewport.h != height)
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
