// A small ray caster that draws box models as camera-facing sprites: one picture per
// view direction and view height, lit from the viewer's upper left.
#pragma once

#include <cmath>
#include <vector>

#include "genimages_canvas.h"

constexpr Rgb KEY_GREEN = {0, 128, 0};     // transparent in the sprite atlas
constexpr Rgb PARTY_LIGHT = {255, 128, 0}; // party colour, lit faces
constexpr Rgb PARTY_DARK = {128, 64, 0};   // party colour, shaded faces

// An axis-aligned box of a model: x forward, y left, z up, in view units with the
// model standing on z = 0 around the origin.
struct Box {
    float x0, y0, z0, x1, y1, z1;
    Rgb color;
    bool party;  // drawn in the two party oranges instead of `color`
};

struct Hit {
    float t;
    float nx, ny, nz;  // face normal, model space
};

inline bool ray_box(const float o[3], const float d[3], const Box& b, Hit* hit)
{
    const float lo[3] = {b.x0, b.y0, b.z0}, hi[3] = {b.x1, b.y1, b.z1};
    float tmin = -1e9f, tmax = 1e9f;
    int axis = -1;
    float sign = 0;
    for (int a = 0; a < 3; a++) {
        if (std::fabs(d[a]) < 1e-9f) {
            if (o[a] < lo[a] || o[a] > hi[a])
                return false;
            continue;
        }
        float t1 = (lo[a] - o[a]) / d[a], t2 = (hi[a] - o[a]) / d[a];
        float s = -1;
        if (t1 > t2) {
            std::swap(t1, t2);
            s = 1;
        }
        if (t1 > tmin) {
            tmin = t1;
            axis = a;
            sign = s;
        }
        tmax = std::min(tmax, t2);
    }
    if (tmin > tmax || tmin < 0 || axis < 0)
        return false;
    hit->t = tmin;
    hit->nx = axis == 0 ? sign : 0;
    hit->ny = axis == 1 ? sign : 0;
    hit->nz = axis == 2 ? sign : 0;
    return true;
}

// Pixels that are not party colour must never be mistaken for a key colour.
inline Rgb avoid_keys(Rgb c)
{
    if (same(c, KEY_GREEN) || same(c, PARTY_LIGHT) || same(c, PARTY_DARK))
        c.b += 1;
    return c;
}

// Draws `boxes` into the size x size cell at (cx, cy). `heading` is the model's heading
// relative to the viewing ray (0: seen from behind, pi/2: facing screen left); `pitch`
// is the downward viewing angle. The ground point under the model's origin lands at
// (size / 2, ground_y) of the cell; `pixels_per_unit` sets the scale.
inline void draw_model(Canvas& canvas, int cx, int cy, int size, const std::vector<Box>& boxes,
                       float heading, float pitch, float ground_y, float pixels_per_unit)
{
    // Camera frame in world space: looking along +x, left is +y, up is +z, tilted down.
    float cp = std::cos(pitch), sp = std::sin(pitch);
    float fwd[3] = {cp, 0, -sp};
    float up[3] = {sp, 0, cp};
    float left[3] = {0, 1, 0};
    float light[3] = {-0.35f, 0.55f, 0.75f};
    float ll = std::sqrt(light[0] * light[0] + light[1] * light[1] + light[2] * light[2]);
    for (float& v : light)
        v /= ll;
    float ch = std::cos(-heading), sh = std::sin(-heading);
    auto to_model = [&](const float w[3], float m[3]) {
        m[0] = w[0] * ch - w[1] * sh;
        m[1] = w[0] * sh + w[1] * ch;
        m[2] = w[2];
    };
    std::vector<int> inside(size * size, 0);
    for (int py = 0; py < size; py++) {
        for (int px = 0; px < size; px++) {
            float sx = (size / 2.0f - (px + 0.5f)) / pixels_per_unit;  // towards left
            float sy = (ground_y - (py + 0.5f)) / pixels_per_unit;     // towards up
            float ow[3], o[3], d[3];
            for (int a = 0; a < 3; a++)
                ow[a] = -fwd[a] * 5 + left[a] * sx + up[a] * sy;
            to_model(ow, o);
            to_model(fwd, d);
            Hit best = {1e9f, 0, 0, 0};
            const Box* best_box = nullptr;
            for (const Box& b : boxes) {
                Hit h;
                if (ray_box(o, d, b, &h) && h.t < best.t) {
                    best = h;
                    best_box = &b;
                }
            }
            if (!best_box)
                continue;
            // Normal back to world space (inverse rotation).
            float nw[3] = {best.nx * ch + best.ny * sh, -best.nx * sh + best.ny * ch, best.nz};
            float lambert = std::max(0.0f, nw[0] * light[0] + nw[1] * light[1] + nw[2] * light[2]);
            float shade = 0.45f + 0.6f * lambert;
            Rgb c;
            if (best_box->party)
                c = shade > 0.8f ? PARTY_LIGHT : PARTY_DARK;
            else
                c = avoid_keys(scale(best_box->color, shade));
            canvas.set(cx + px, cy + py, c);
            inside[py * size + px] = best_box->party ? 2 : 1;
        }
    }
    // A dark rim along the silhouette keeps small sprites readable against the terrain.
    for (int py = 0; py < size; py++) {
        for (int px = 0; px < size; px++) {
            if (inside[py * size + px] != 1)
                continue;
            bool edge = false;
            for (int k = 0; k < 4; k++) {
                int nx = px + (k == 0) - (k == 1), ny = py + (k == 2) - (k == 3);
                if (nx < 0 || ny < 0 || nx >= size || ny >= size || !inside[ny * size + nx])
                    edge = true;
            }
            if (edge)
                canvas.set(cx + px, cy + py,
                           avoid_keys(scale(canvas.get(cx + px, cy + py), 0.55f)));
        }
    }
}
