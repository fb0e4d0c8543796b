// OpenGL helpers: the buffer-object entry points looked up at run time, the extension-string
// test, the render state every frame starts from and the axis cross at the origin.
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
// The browser only (glproc_web.cpp): after the browser gave back a lost WebGL context, forgets
// every object of the old one and gives the new one the state the game had set. The game then
// makes its textures and buffers again.
void gl_context_restored();
// 1 if `name` occurs anywhere in the driver's extension string (a prefix matches too), else 0.
bool opengl_has_extension(const char* name);
// Sets the fixed render state every frame starts from: depth test (less), alpha test (greater
// than 0.5), no lighting.
void reset_opengl_state();
// Draws the axes from the origin, one unit each: x red, y green, z blue.
void draw_axis_cross();
