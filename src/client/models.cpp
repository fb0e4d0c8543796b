#include "models.h"

#include <array>

#include "game.h"
#include "render.h"

namespace {

// The height a turret head sits above the building's position, in voxel units.
constexpr float TURRET_HEAD_HEIGHT = 0.75f;

}  // namespace

void draw_carage(Entity* e)
{
    std::array<float, CARAGE_VERTEX_COUNT * 3> vertices;
    place_model(carage_vertices(), CARAGE_VERTEX_COUNT, &e->p0, e->health, vertices.data());
    draw_model_arrays(vertices.data(), carage_txcoords(), CARAGE_VERTEX_COUNT);
}

void draw_turret(Entity* e)
{
    std::array<float, TURRET_BASE_VERTEX_COUNT * 3> vertices;
    place_model(turret_base_vertices(), TURRET_BASE_VERTEX_COUNT, &e->p0, e->health, vertices.data());
    draw_model_arrays(vertices.data(), turret_base_txcoords(), TURRET_BASE_VERTEX_COUNT);

    V3f head = e->pf;
    head.z += TURRET_HEAD_HEIGHT;
    V3f ps[4], cpdir;
    float cam_yaw;
    bool side;
    get_sprite_pos(&head, e->size, 0, ps, &cpdir, nullptr, nullptr, &cam_yaw, &side);
    TxCoords cell = sprite_cell(&e->peripheral_tx, sprite_sector(e->peripheral_yaw, cam_yaw), side ? 1 : 0);
    for (V3f& p : ps)
        v3f_add_xyz(&p, -0.01f * cpdir.x, -0.01f * cpdir.y, -0.01f * cpdir.z);
    emit_sprite_quad(ps, &cell);
}
