#include "glmisc.h"

#include <cstring>

namespace glproc {
PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
}  // namespace glproc

bool opengl_has_extension(const char* name)
{
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    // No current context (or a core profile) gives no string: nothing is offered.
    if (!extensions || !name)
        return false;
    return std::strstr(extensions, name) != nullptr;
}

void reset_opengl_state()
{
    glDisable(GL_LIGHTING);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glAlphaFunc(GL_GREATER, 0.5f);
    glEnable(GL_ALPHA_TEST);
}

void draw_axis_cross()
{
    static const GLfloat vertices[] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    static const GLubyte colors[] = {255, 0, 0, 255, 255, 0,   0, 255, 0, 255, 0, 255,
                                     0,   255, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors);
    glDrawArrays(GL_LINES, 0, 6);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}
