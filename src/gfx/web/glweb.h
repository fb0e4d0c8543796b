// The browser's fixed-function OpenGL layer over WebGL 1. The OpenGL 1.x functions the game
// calls are defined under their own names (glBegin, glVertex3f, gluLookAt, ...), so they
// take the place of emscripten's; below are the layer's other entry points.
#pragma once

#include <GL/gl.h>

// The buffer-object entry points that gl_load_extensions hands to the game (glBindBufferARB
// and so on, glGenBuffersARB being WebGL's own); they behave as those functions do.
void glweb_bind_buffer(GLenum target, GLuint buffer);
void glweb_buffer_data(GLenum target, GLsizeiptrARB size, const void* data, GLenum usage);
void glweb_delete_buffers(GLsizei n, const GLuint* buffers);

// Draws whatever is batched. SDL_GL_SwapBuffers, which the layer defines, calls it at the end
// of every frame, before the browser shows the canvas.
void glweb_flush();

// The context was lost and is back, empty: the layer drops what it knew of the old one's
// objects and state, sets the state the game had set again, and makes its own program and
// buffers at the next draw.
void glweb_context_restored();
