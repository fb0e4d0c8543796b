// The start of a still frame, kept for the next one. A frame in play begins by clearing the
// screen and drawing the terrain from its buffer objects; while the camera stands still the
// next frame begins exactly the same way. Then the terrain's colour and depth come back from
// a copy in one full-screen pass, which costs a software renderer a fraction of the terrain's
// many layers of triangles, and everything after it (units, markers, menus) is drawn as ever.
//
// A frame's start is recognised by everything that decides its pixels: the clear values, the
// viewport and drawing-buffer size, the matrix, the arrays, the texture and its sampling, the
// buffers' and textures' contents (by a count that every upload advances), the alpha test and
// the depth state.
// The copy is taken only once the same start has been seen twice in a row, so a moving camera
// draws as it always did, with nothing added.
#pragma once

#include <GL/gl.h>

// A buffer's or texture's contents changed, or one was deleted: a copy of a start that used
// them no longer stands for it.
void backdrop_changed();
// glTexParameteri on `texture`: a change of its filters or wrapping is a change of it; the
// same values again (the game sets them before every draw) are not.
void backdrop_texture_parameter(GLuint texture, GLenum name, GLint value);

// A restored context holds none of the copy's objects: they are made (and the browser's
// depth formats compared) again before the next copy.
void backdrop_context_restored();

// Called for the first draw after a clear of colour and depth, when it is a draw from buffer
// objects: either puts that cleared screen with that draw on it back (from the copy, or
// drawing into the copy first) and returns true, or returns false and the caller draws as
// usual. `draw` draws the arrays as the caller would.
bool backdrop_draw(GLenum mode, GLint first, GLsizei count, void (*draw)(GLenum, GLint, GLsizei));
