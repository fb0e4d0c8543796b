// The two matrices of the fixed-function pipeline (projection and model-view) and the maths
// of the calls that build them, computed as Mesa and its GLU compute them: in float, with
// gluPerspective's factors in double. No WebGL here, so native tests compare it with Mesa.
#pragma once

#include <GL/gl.h>

// Column-major like OpenGL: element (row r, column c) is m[c * 4 + r].
struct Mat4 {
    float m[16];
};

// The matrix state of the layer; mvp is projection * model-view, kept up to date.
struct MatrixState {
    Mat4 projection;
    Mat4 modelview;
    GLenum mode;       // GL_MODELVIEW or GL_PROJECTION: the one the calls change
    Mat4 mvp;
};

// Sets `out` to the identity.
void mat4_identity(Mat4* out);
// out = a * b; out may be a or b.
void mat4_multiply(Mat4* out, const Mat4* a, const Mat4* b);
// out = m * (x, y, z, 1): the clip coordinates of a point.
void mat4_transform_point(const Mat4* m, float x, float y, float z, float out[4]);

// Both matrices the identity, the model-view one current.
void matrices_init(MatrixState* s);
// glMatrixMode: GL_MODELVIEW or GL_PROJECTION; other modes are ignored (false).
bool matrices_mode(MatrixState* s, GLenum mode);
// glLoadIdentity on the current matrix.
void matrices_load_identity(MatrixState* s);
// glMultMatrixf on the current matrix.
void matrices_multiply(MatrixState* s, const Mat4* by);
// glTranslatef on the current matrix.
void matrices_translate(MatrixState* s, float x, float y, float z);
// glOrtho on the current matrix; a degenerate box leaves it unchanged (false).
bool matrices_ortho(MatrixState* s, double left, double right, double bottom, double top,
                    double near_val, double far_val);
// gluPerspective on the current matrix (fovy in degrees); degenerate input leaves it unchanged.
void matrices_perspective(MatrixState* s, double fovy, double aspect, double z_near, double z_far);
// gluLookAt on the current matrix.
void matrices_look_at(MatrixState* s, double eye_x, double eye_y, double eye_z, double center_x,
                      double center_y, double center_z, double up_x, double up_y, double up_z);
