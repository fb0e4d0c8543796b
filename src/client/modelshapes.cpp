#include "modelshapes.h"

#include <array>

#include <GL/gl.h>

#include "voxel.h"

namespace {

// Model coordinates are view units from the lower corner of the building's cell.
constexpr std::array<float, CARAGE_VERTEX_COUNT * 3> CARAGE_VERTICES = {
    0, 1, 0.5, 2, 1, 0.5, 2, 2, 0.5, 0, 2, 0.5,      // roof
    0, 2, 0.5, 2, 2, 0.5, 2, 2, 0, 0, 2, 0,          // back wall
    0, 1, 0.5, 0, 2, 0.5, 0, 2, 0, 0, 1, 0,          // left wall
    2, 1, 0.5, 2, 2, 0.5, 2, 2, 0, 2, 1, 0,          // right wall
    0, 1, 0.5, 1, 1, 0.5, 1, 1, 0, 0, 1, 0,          // front wall, left half
    1, 1, 0.5, 2, 1, 0.5, 2, 1, 0, 1, 1, 0,          // front wall, right half
    0, 1, 0.01, 1, 1, 0.01, 1, 0, 0.01, 0, 0, 0.01,  // ground, left
    1, 1, 0.01, 2, 1, 0.01, 2, 0, 0.01, 1, 0, 0.01,  // ground, right
};

constexpr std::array<float, CARAGE_VERTEX_COUNT * 2> CARAGE_TXCOORDS = {
    0.5,    0.125,   0.625,  0.125,   0.625,  0.1875,  0.5,    0.1875,
    0.6875, 0.03125, 0.8125, 0.03125, 0.8125, 0.0625,  0.6875, 0.0625,
    0.6875, 0,       0.75,   0,       0.75,   0.03125, 0.6875, 0.03125,
    0.6875, 0,       0.75,   0,       0.75,   0.03125, 0.6875, 0.03125,
    0.75,   0,       0.8125, 0,       0.8125, 0.03125, 0.75,   0.03125,
    0.75,   0,       0.8125, 0,       0.8125, 0.03125, 0.75,   0.03125,
    0.8125, 0,       0.875,  0,       0.875,  0.0625,  0.8125, 0.0625,
    0.875,  0,       0.9375, 0,       0.9375, 0.0625,  0.875,  0.0625,
};

constexpr std::array<float, TURRET_BASE_VERTEX_COUNT * 3> TURRET_BASE_VERTICES = {
    0, 0, 0.5, 1, 0, 0.5, 1, 1, 0.5, 0, 1, 0.5,  // top
    0, 1, 0.5, 1, 1, 0.5, 1, 1, 0, 0, 1, 0,      // wall y = 1
    0, 0, 0.5, 0, 1, 0.5, 0, 1, 0, 0, 0, 0,      // wall x = 0
    1, 0, 0.5, 1, 1, 0.5, 1, 1, 0, 1, 0, 0,      // wall x = 1
    0, 0, 0.5, 1, 0, 0.5, 1, 0, 0, 0, 0, 0,      // wall y = 0
};

constexpr std::array<float, TURRET_BASE_VERTEX_COUNT * 2> TURRET_BASE_TXCOORDS = {
    0.5,    0, 0.5625, 0, 0.5625, 0.0625,  0.5,    0.0625,
    0.6875, 0, 0.75,   0, 0.75,   0.03125, 0.6875, 0.03125,
    0.6875, 0, 0.75,   0, 0.75,   0.03125, 0.6875, 0.03125,
    0.6875, 0, 0.75,   0, 0.75,   0.03125, 0.6875, 0.03125,
    0.6875, 0, 0.75,   0, 0.75,   0.03125, 0.6875, 0.03125,
};

// Height factors of a badly damaged building, taken in turn by its raised vertices.
constexpr std::array<float, 8> BROKEN_MOD = {1.0, 0.5, 0.8, 1.0, 1.5, 1.1, 0.7, 1.0};

// Pulls the sides at 0 and 2 in toward 1, the pivot of the shrink.
float shrink(float c)
{
    if (c < 1)
        return c + 0.1f;
    if (c > 1)
        return c - 0.1f;
    return c;
}

}  // namespace

const float* carage_vertices()
{
    return CARAGE_VERTICES.data();
}

const float* carage_txcoords()
{
    return CARAGE_TXCOORDS.data();
}

const float* turret_base_vertices()
{
    return TURRET_BASE_VERTICES.data();
}

const float* turret_base_txcoords()
{
    return TURRET_BASE_TXCOORDS.data();
}

void place_model(const float* model, int count, const V3i* p0, float health, float* out)
{
    V3f origin;
    scale_to_view(p0, &origin);
    v3f_add_xyz(&origin, -0.5f, -0.5f, -0.25f);

    for (int i = 0; i < count * 3; i++)
        out[i] = model[i];

    // Shared corners of neighbouring quads get different factors: torn, uneven edges.
    if (health <= 0.5f) {
        size_t k = 0;
        for (int i = 0; i < count; i++) {
            float& z = out[i * 3 + 2];
            if (z > 0.1f) {
                z *= BROKEN_MOD[k];
                k = (k + 1) % BROKEN_MOD.size();
            }
        }
    }

    for (int i = 0; i < count; i++) {
        float* v = &out[i * 3];
        v[0] = shrink(v[0]);
        v[1] = shrink(v[1]);
        if (v[2] > 0.5f)
            v[2] -= 0.1f;
        v[0] += origin.x + 0.01f;
        v[1] += origin.y + 0.01f;
        v[2] += origin.z + 0.01f;
    }
}

void draw_model_arrays(const float* vertices, const float* txcoords, int count)
{
    glEnd();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, txcoords);
    glDrawArrays(GL_QUADS, 0, count);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glBegin(GL_QUADS);
}

