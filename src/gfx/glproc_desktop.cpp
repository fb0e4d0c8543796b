// The desktop's buffer-object entry points come from the driver, through SDL.
#include "glmisc.h"

#include <SDL/SDL.h>

void gl_load_extensions()
{
    glproc::glGenBuffersARB = (PFNGLGENBUFFERSARBPROC)SDL_GL_GetProcAddress("glGenBuffersARB");
    glproc::glBindBufferARB = (PFNGLBINDBUFFERARBPROC)SDL_GL_GetProcAddress("glBindBufferARB");
    glproc::glBufferDataARB = (PFNGLBUFFERDATAARBPROC)SDL_GL_GetProcAddress("glBufferDataARB");
    glproc::glDeleteBuffersARB =
        (PFNGLDELETEBUFFERSARBPROC)SDL_GL_GetProcAddress("glDeleteBuffersARB");
}
