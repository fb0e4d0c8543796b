#include "glmisc.h"

#include <cstring>

#include <SDL/SDL.h>

namespace glproc {
PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
}  // namespace glproc

void gl_load_extensions()
{
    glproc::glGenBuffersARB = (PFNGLGENBUFFERSARBPROC)SDL_GL_GetProcAddress("glGenBuffersARB");
    glproc::glBindBufferARB = (PFNGLBINDBUFFERARBPROC)SDL_GL_GetProcAddress("glBindBufferARB");
    glproc::glBufferDataARB = (PFNGLBUFFERDATAARBPROC)SDL_GL_GetProcAddress("glBufferDataARB");
    glproc::glDeleteBuffersARB =
        (PFNGLDELETEBUFFERSARBPROC)SDL_GL_GetProcAddress("glDeleteBuffersARB");
}

bool opengl_has_extension(const char* name)
{
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    // No current context (or a core profile) gives no string: nothing is offered.
    if (!extensions || !name)
        return false;
    return std::strstr(extensions, name) != nullptr;
}
