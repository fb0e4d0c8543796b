#include "glmatrix.h"

#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

Mat4* current(MatrixState* s)
{
    return s->mode == GL_PROJECTION ? &s->projection : &s->modelview;
}

void changed(MatrixState* s)
{
    mat4_multiply(&s->mvp, &s->projection, &s->modelview);
}

// GLU normalises in float through a double square root and leaves a zero vector alone.
void normalize(float v[3])
{
    float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (r == 0.0f)
        return;
    v[0] /= r;
    v[1] /= r;
    v[2] /= r;
}

void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

void mat4_identity(Mat4* out)
{
    for (int i = 0; i < 16; i++)
        out->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void mat4_multiply(Mat4* out, const Mat4* a, const Mat4* b)
{
    Mat4 p;
    for (int r = 0; r < 4; r++) {
        const float a0 = a->m[r], a1 = a->m[4 + r], a2 = a->m[8 + r], a3 = a->m[12 + r];
        for (int c = 0; c < 4; c++) {
            const float* bc = &b->m[c * 4];
            p.m[c * 4 + r] = a0 * bc[0] + a1 * bc[1] + a2 * bc[2] + a3 * bc[3];
        }
    }
    *out = p;
}

void mat4_transform_point(const Mat4* m, float x, float y, float z, float out[4])
{
    for (int r = 0; r < 4; r++)
        out[r] = m->m[r] * x + m->m[4 + r] * y + m->m[8 + r] * z + m->m[12 + r];
}

void matrices_init(MatrixState* s)
{
    mat4_identity(&s->projection);
    mat4_identity(&s->modelview);
    s->mode = GL_MODELVIEW;
    changed(s);
}

bool matrices_mode(MatrixState* s, GLenum mode)
{
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION)
        return false;
    s->mode = mode;
    return true;
}

void matrices_load_identity(MatrixState* s)
{
    mat4_identity(current(s));
    changed(s);
}

void matrices_multiply(MatrixState* s, const Mat4* by)
{
    Mat4* m = current(s);
    mat4_multiply(m, m, by);
    changed(s);
}

void matrices_translate(MatrixState* s, float x, float y, float z)
{
    float* m = current(s)->m;
    for (int r = 0; r < 4; r++)
        m[12 + r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    changed(s);
}

bool matrices_ortho(MatrixState* s, double left, double right, double bottom, double top,
                    double near_val, double far_val)
{
    if (left == right || bottom == top || near_val == far_val)
        return false;
    // Mesa takes the box in float before it builds the matrix.
    const float l = (float)left, r = (float)right, b = (float)bottom, t = (float)top;
    const float n = (float)near_val, f = (float)far_val;
    Mat4 o;
    mat4_identity(&o);
    o.m[0] = 2.0f / (r - l);
    o.m[12] = -(r + l) / (r - l);
    o.m[5] = 2.0f / (t - b);
    o.m[13] = -(t + b) / (t - b);
    o.m[10] = -2.0f / (f - n);
    o.m[14] = -(f + n) / (f - n);
    matrices_multiply(s, &o);
    return true;
}

void matrices_perspective(MatrixState* s, double fovy, double aspect, double z_near, double z_far)
{
    double radians = fovy / 2 * PI / 180;
    double delta_z = z_far - z_near;
    double sine = std::sin(radians);
    if (delta_z == 0 || sine == 0 || aspect == 0)
        return;
    double cotangent = std::cos(radians) / sine;
    Mat4 p;
    mat4_identity(&p);
    p.m[0] = (float)(cotangent / aspect);
    p.m[5] = (float)cotangent;
    p.m[10] = (float)(-(z_far + z_near) / delta_z);
    p.m[11] = -1.0f;
    p.m[14] = (float)(-2 * z_near * z_far / delta_z);
    p.m[15] = 0.0f;
    matrices_multiply(s, &p);
}

void matrices_look_at(MatrixState* s, double eye_x, double eye_y, double eye_z, double center_x,
                      double center_y, double center_z, double up_x, double up_y, double up_z)
{
    float forward[3] = {(float)(center_x - eye_x), (float)(center_y - eye_y), (float)(center_z - eye_z)};
    float up[3] = {(float)up_x, (float)up_y, (float)up_z};
    float side[3];
    normalize(forward);
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);

    Mat4 m;
    mat4_identity(&m);
    for (int i = 0; i < 3; i++) {
        m.m[i * 4 + 0] = side[i];
        m.m[i * 4 + 1] = up[i];
        m.m[i * 4 + 2] = -forward[i];
    }
    matrices_multiply(s, &m);
    matrices_translate(s, (float)-eye_x, (float)-eye_y, (float)-eye_z);
}
