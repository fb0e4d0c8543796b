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
