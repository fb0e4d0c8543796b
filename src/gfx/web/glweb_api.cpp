// The OpenGL 1.x functions the game calls, over the WebGL layer: state that changes what a
// batch looks like draws the batch first; everything else only records.
#include "glweb.h"

#include <cstdlib>

#include <GL/glu.h>

#include "glbackdrop.h"
#include "glweb_internal.h"

namespace {

void set_capability(GLenum cap, bool on)
{
    static bool warned = false;
    WebGlLayer* l = &glweb();
    bool* state = cap == GL_TEXTURE_2D ? &l->texturing
                  : cap == GL_ALPHA_TEST ? &l->alpha_test
                  : cap == GL_DEPTH_TEST ? &l->depth_test
                                         : nullptr;
    if (!state) {
        // Lighting, blending, culling and the like: the game switches none of them on, and
        // nothing else of the layer (the copy of a frame's start, a restored context) keeps them.
        if (on)
            glweb_warn_once(&warned, "glEnable: only texturing, the alpha test and the depth test are drawn");
        return;
    }
    if (*state == on)
        return;
    glweb_flush();
    *state = on;
    if (cap == GL_DEPTH_TEST)
        (on ? emscripten_glEnable : emscripten_glDisable)(cap);
}

bool has_alpha(GLint internal_format)
{
    return internal_format == 4 || internal_format == GL_RGBA || internal_format == GL_RGBA8;
}

// Components per pixel of an upload format, 0 for the ones the layer does not take.
int components(GLenum format)
{
    return format == GL_RGBA || format == GL_BGRA ? 4 : (format == GL_RGB || format == GL_BGR ? 3 : 0);
}

// Rows start at multiples of four bytes, OpenGL's and WebGL's default unpack alignment.
size_t row_bytes(int width, int n)
{
    return ((size_t)width * n + 3) & ~(size_t)3;
}

// WebGL 1 takes only an upload format equal to the internal format and has no BGR(A): the
// pixels are copied into the layout it takes. Null when memory runs out.
unsigned char* convert_pixels(const unsigned char* src, int width, int height, GLenum format,
                              int out_n)
{
    int in_n = components(format);
    bool swap = format == GL_BGRA || format == GL_BGR;
    unsigned char* out = static_cast<unsigned char*>(std::malloc(row_bytes(width, out_n) * height));
    if (!out)
        return nullptr;
    for (int y = 0; y < height; y++) {
        const unsigned char* s = src + row_bytes(width, in_n) * y;
        unsigned char* d = out + row_bytes(width, out_n) * y;
        for (int x = 0; x < width; x++, s += in_n, d += out_n) {
            d[0] = s[swap ? 2 : 0];
            d[1] = s[1];
            d[2] = s[swap ? 0 : 2];
            if (out_n == 4)
                d[3] = in_n == 4 ? s[3] : 255;
        }
    }
    return out;
}

void vertex(float x, float y, float z)
{
    WebGlLayer* l = &glweb();
    immediate_vertex(&l->immediate, x, y, z, &l->matrices, &l->viewport, glweb_sink());
}

}  // namespace

extern "C" {

void glEnable(GLenum cap)
{
    set_capability(cap, true);
}

void glDisable(GLenum cap)
{
    set_capability(cap, false);
}

void glAlphaFunc(GLenum func, GLclampf ref)
{
    static bool warned = false;
    WebGlLayer* l = &glweb();
    if (func != GL_GREATER && func != GL_ALWAYS)
        glweb_warn_once(&warned, "glAlphaFunc: only GL_GREATER and GL_ALWAYS are drawn");
    if (l->alpha_func == func && l->alpha_ref == ref)
        return;
    if (l->alpha_test)
        glweb_flush();
    l->alpha_func = func;
    l->alpha_ref = ref;
}

void glDepthFunc(GLenum func)
{
    WebGlLayer* l = &glweb();
    if (l->depth_func == func)
        return;
    glweb_flush();
    l->depth_func = func;
    emscripten_glDepthFunc(func);
}

void glDepthMask(GLboolean flag)
{
    WebGlLayer* l = &glweb();
    if (l->depth_mask == (flag != GL_FALSE))
        return;
    glweb_flush();
    l->depth_mask = flag != GL_FALSE;
    l->just_cleared = false;
    emscripten_glDepthMask(flag);
}

void glClearDepth(GLclampd depth)
{
    glweb().clear_depth = (GLfloat)depth;
    glweb().just_cleared = false;
    emscripten_glClearDepthf((GLfloat)depth);
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    float* c = glweb().clear_color;
    c[0] = red, c[1] = green, c[2] = blue, c[3] = alpha;
    glweb().just_cleared = false;
    emscripten_glClearColor(red, green, blue, alpha);
}

// A clear of colour and depth starts a frame, whose first draw may then come from the copy of
// the last frame's start (glbackdrop.h).
void glClear(GLbitfield mask)
{
    WebGlLayer* l = &glweb();
    glweb_ready();
    glweb_flush();
    emscripten_glClear(mask);
    l->just_cleared = mask == (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT) && l->depth_mask;
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    WebGlLayer* l = &glweb();
    glweb_flush();
    l->viewport = Viewport{x, y, width, height};
    l->viewport_known = true;
    emscripten_glViewport(x, y, width, height);
}

void glMatrixMode(GLenum mode)
{
    matrices_mode(&glweb().matrices, mode);
}

void glLoadIdentity(void)
{
    matrices_load_identity(&glweb().matrices);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val,
             GLdouble far_val)
{
    matrices_ortho(&glweb().matrices, left, right, bottom, top, near_val, far_val);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far)
{
    matrices_perspective(&glweb().matrices, fovy, aspect, z_near, z_far);
}

void gluLookAt(GLdouble eye_x, GLdouble eye_y, GLdouble eye_z, GLdouble center_x, GLdouble center_y,
               GLdouble center_z, GLdouble up_x, GLdouble up_y, GLdouble up_z)
{
    matrices_look_at(&glweb().matrices, eye_x, eye_y, eye_z, center_x, center_y, center_z, up_x,
                     up_y, up_z);
}

void glBegin(GLenum mode)
{
    static bool warned = false;
    glweb_ready();
    if (!immediate_begin(&glweb().immediate, mode))
        glweb_warn_once(&warned, "glBegin: only points, lines, triangles and quads are drawn");
}

void glEnd(void)
{
    immediate_end(&glweb().immediate);
}

void glVertex2i(GLint x, GLint y)
{
    vertex((float)x, (float)y, 0);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    vertex(x, y, z);
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    immediate_texcoord(&glweb().immediate, s, t);
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue)
{
    immediate_color(&glweb().immediate, red, green, blue, 1.0f);
}

void glColor3ub(GLubyte red, GLubyte green, GLubyte blue)
{
    immediate_color_bytes(&glweb().immediate, red, green, blue, 255);
}

void glPointSize(GLfloat size)
{
    glweb().immediate.point_size = size;
}

void glLineWidth(GLfloat width)
{
    glweb().immediate.line_width = width;
}

void glGenTextures(GLsizei n, GLuint* textures)
{
    emscripten_glGenTextures(n, textures);
}

void glBindTexture(GLenum target, GLuint texture)
{
    WebGlLayer* l = &glweb();
    if (target != GL_TEXTURE_2D || l->texture == texture)
        return;
    if (l->texturing)
        glweb_flush();
    l->texture = texture;
}

void glTexParameteri(GLenum target, GLenum name, GLint value)
{
    glweb_flush();
    emscripten_glBindTexture(GL_TEXTURE_2D, glweb().texture);
    backdrop_texture_parameter(glweb().texture, name, value);
    emscripten_glTexParameteri(target, name, value);
}

void glDeleteTextures(GLsizei n, const GLuint* textures)
{
    glweb_flush();
    backdrop_changed();
    emscripten_glDeleteTextures(n, textures);
}

void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    static bool warned = false;
    glweb_flush();
    emscripten_glBindTexture(GL_TEXTURE_2D, glweb().texture);
    backdrop_changed();
    GLenum webgl_format = has_alpha(internal_format) ? GL_RGBA : GL_RGB;
    if (format == webgl_format || !pixels) {
        emscripten_glTexImage2D(target, level, webgl_format, width, height, border, webgl_format,
                                type, pixels);
        return;
    }
    if (components(format) == 0 || type != GL_UNSIGNED_BYTE) {
        glweb_warn_once(&warned, "glTexImage2D: only RGB(A) and BGR(A) bytes are taken");
        return;
    }
    unsigned char* converted = convert_pixels(static_cast<const unsigned char*>(pixels), width,
                                              height, format, webgl_format == GL_RGBA ? 4 : 3);
    if (!converted)
        return;
    emscripten_glTexImage2D(target, level, webgl_format, width, height, border, webgl_format, type,
                            converted);
    std::free(converted);
}

const GLubyte* glGetString(GLenum name)
{
    // The game asks for the buffer objects by their OpenGL name; the layer provides them.
    static const GLubyte EXTENSIONS[] = "GL_ARB_vertex_buffer_object";
    if (name == GL_EXTENSIONS)
        return EXTENSIONS;
    return emscripten_glGetString(name);
}

}  // extern "C"
