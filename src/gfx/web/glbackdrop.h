// The start of a still frame, kept for the next one. A frame in play begins by clearing the
// screen and drawing the terrain from its buffer objects; while the camera stands still the
// next frame begins exactly the same way. Then the terrain's colour and depth come back from
// a copy in one full-screen pass, which costs a software renderer a fraction of the terrain's
// many layers of triangles, and everything after it (units, markers, menus) is drawn as ever.
//
// A frame's start is recognised by everything that decides its pixels: the clear values, the
// viewport and drawing-buffer size, the matrix, the arrays, the buffers' and the texture's
// contents (by a generation that every upload advances), the alpha test and the depth state.
// The copy is taken only once the same start has been seen twice in a row, so a moving camera
// draws as it always did, with nothing added.
#pragma once

#include <GL/gl.h>

// The buffer's or texture's contents (or, for a texture, its sampling) changed: a copy of a
// start that used them no longer stands for it.
void backdrop_buffer_written(GLuint buffer);
void backdrop_texture_written(GLuint texture);

// Whether a clear of colour and depth may wait for the next draw: the browser offers what the
// copy needs, the page allows it (window.quorvale.keepBackdrop) and no state that limits a
// clear (scissor and the like) is on.
bool backdrop_may_defer_clear();
// A capability other than the ones the layer models was switched; while any is on, clears
// are not deferred.
void backdrop_capability(GLenum cap, bool on);

// A restored context holds none of the copy's objects: they are made (and the browser's
// depth formats compared) again before the next copy.
void backdrop_context_restored();

// Called with a deferred clear outstanding, when the first draw of the frame is a draw from
// buffer objects: either puts the cleared screen with that draw on it (from the copy, or
// drawing into the copy first) and returns true, or returns false and the caller clears and
// draws as usual. `draw` draws the arrays as the caller would.
bool backdrop_draw(GLenum mode, GLint first, GLsizei count, void (*draw)(GLenum, GLint, GLsizei));
