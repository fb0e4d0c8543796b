// The browser's buffer-object entry points are the WebGL layer's own.
#include "glmisc.h"

#include <webgl/webgl1.h>

#include "glweb.h"

void gl_load_extensions()
{
    glproc::glGenBuffersARB = emscripten_glGenBuffers;
    glproc::glBindBufferARB = glweb_bind_buffer;
    glproc::glBufferDataARB = glweb_buffer_data;
    glproc::glDeleteBuffersARB = glweb_delete_buffers;
}

void gl_context_restored()
{
    glweb_context_restored();
}
