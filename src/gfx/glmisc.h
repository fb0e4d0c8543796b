// OpenGL helpers: the buffer-object entry points looked up at run time and the
// extension-string test.
#pragma once

#include <GL/gl.h>

// The entry points live in their own namespace so that they never stand in for the
// functions libGL exports under the same names. Each is null when the driver lacks it;
// tests may replace them (for example with counting wrappers) or clear them.
namespace glproc {
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;
}  // namespace glproc

// Sets the four buffer-object entry points (one file per platform: glproc_desktop.cpp looks
// them up through SDL, the browser's WebGL layer gives its own); call once the GL window exists.
void gl_load_extensions();
// 1 if `name` occurs anywhere in the driver's extension string (a prefix matches too), else 0.
bool opengl_has_extension(const char* name);
