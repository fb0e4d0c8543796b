#include "render.h"

#include <algorithm>
#include <cmath>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL/SDL.h>

#include "camera.h"
#include "game.h"
#include "glmisc.h"
#include "mesh.h"
#include "shell.h"
#include "voxel.h"

namespace {

constexpr float PI_F = 3.1415927f;
constexpr float SPRITE_TINT = 0.784f;
// Sprites seen at least this steeply from above use the from-above row.
constexpr float ABOVE_VIEW_DZ = -0.45f;
// A building without a model shows the plain building picture.
constexpr TxCoords BUILDING_CELL = {0, 0.25f, 0.0625f, 0.0625f};
// Selection and pointing markers, in the interface texture.
constexpr TxCoords MARKER_CELL = {0, 0, 0.0625f, 0.0625f};

void bind_nearest(GLuint texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

void nudge_toward_camera(V3f* ps, const V3f* cpdir, float amount)
{
    for (int i = 0; i < 4; i++)
        v3f_add_xyz(&ps[i], -amount * cpdir->x, -amount * cpdir->y, -amount * cpdir->z);
}

void draw_unit(Entity* e)
{
    V3f ps[4], cpdir;
    float cam_yaw;
    bool side;
    get_sprite_pos(&e->pf, e->size, 0, ps, &cpdir, nullptr, nullptr, &cam_yaw, &side);
    int row = side ? 1 : 0;
    TxCoords cell = sprite_cell(&e->tx_main, sprite_sector(e->yaw, cam_yaw), row);
    emit_sprite_quad(ps, &cell);

    if (e->peripheral == PT_TURRET) {
        cell = sprite_cell(&e->peripheral_tx, sprite_sector(e->peripheral_yaw, cam_yaw), row);
    } else if (e->peripheral == PT_CUSTOM) {
        cell = sprite_cell(&e->peripheral_tx, e->peripheral_frame, row);
    } else {
        return;
    }
    nudge_toward_camera(ps, &cpdir, 0.01f);
    emit_sprite_quad(ps, &cell);
}

void draw_entity(Entity* e)
{
    if (e->type == ET_UNIT) {
        draw_unit(e);
    } else if (e->type == ET_BUILDING) {
        if (e->draw_func) {
            e->draw_func(e);
            return;
        }
        V3f ps[4];
        get_sprite_pos(&e->pf, e->size, 0, ps, nullptr, nullptr, nullptr, nullptr, nullptr);
        emit_sprite_quad(ps, &BUILDING_CELL);
    }
}

// Draws every entity of `party` in one quad batch; returns how many of them are selected.
int draw_party(int party)
{
    bind_nearest(main_entity_textures[party]);
    glColor3f(SPRITE_TINT, SPRITE_TINT, SPRITE_TINT);
    int selected = 0;
    glBegin(GL_QUADS);
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
        // Wrecks belong to nobody and are drawn in the first party's colours.
        int pass = e->party == -1 ? 0 : e->party;
        if (pass != party)
            continue;
        if (e->selected)
            selected++;
        draw_entity(e);
    }
    glEnd();
    return selected;
}

void draw_projectiles()
{
    for (Projectile* pr = main_gameenv.projectiles.lh_first; pr; pr = pr->entries.le_next) {
        float distance = std::max(v3f_distance(&main_cam_pos, &pr->pos), 1.0f);
        float width = std::max(25.0f / distance, 1.0f);
        if (pr->type == PT_BULLET) {
            glPointSize(width);
            glColor3f(1, 1, 0.61f);
            glBegin(GL_POINTS);
            glVertex3f(pr->pos.x, pr->pos.y, pr->pos.z);
            glEnd();
            glPointSize(1);
        } else if (pr->type == PT_MISSILE) {
            V3f tail = pr->dest;
            v3f_sub(&tail, &pr->pos);
            if (v3f_length(&tail) > 0)
                v3f_normalize(&tail);
            v3f_mul(&tail, 0.2f);
            v3f_add(&tail, &pr->pos);
            glLineWidth(width);
            glColor3f(0.86f, 0.86f, 0.86f);
            glBegin(GL_LINES);
            glVertex3f(pr->pos.x, pr->pos.y, pr->pos.z);
            glVertex3f(tail.x, tail.y, tail.z);
            glEnd();
            glLineWidth(1);
        }
    }
}

void draw_marker(Entity* e, float cpdir_off)
{
    V3f ps[4];
    get_sprite_pos(&e->pf, e->size, cpdir_off, ps, nullptr, nullptr, nullptr, nullptr, nullptr);
    emit_sprite_quad(ps, &MARKER_CELL);
}

void draw_markers(int selected_count)
{
    glEnable(GL_TEXTURE_2D);
    bind_nearest(main_misc_texture);
    if (selected_count > 0) {
        glColor3f(1, 1, 1);
        glBegin(GL_QUADS);
        for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
            if (e->selected)
                draw_marker(e, 0.1f);
        glEnd();
    }
    Entity* pointed = pointedthing_entity(&main_pointed_thing);
    if (pointed && !pointed->selected) {
        if (main_select_is_attack)
            glColor3f(1, 0, 0);
        else
            glColor3f(0, 1, 0);
        glBegin(GL_QUADS);
        draw_marker(pointed, 0.2f);
        glEnd();
    }
}

void draw_voxel_outline()
{
    const PointedThing* pt = &main_pointed_thing;
    bool adjacent = main_pointed_draw_adjacent && pt->voxel.adjacent_found;
    // The free cell in front is outlined just inside itself, the pointed voxel just outside.
    float m = adjacent ? -0.02f : 0.02f;
    V3f p;
    scale_to_view(adjacent ? &pt->voxel.adjacent : &pt->voxel.pointed, &p);
    float x0 = p.x - 0.5f - m, y0 = p.y - 0.5f - m, z0 = p.z - 0.25f - m;
    float x1 = p.x + 0.5f + m, y1 = p.y + 0.5f + m, z1 = p.z + 0.25f + m;

    float distance = v3f_distance(&main_cam_pos, &p);
    glLineWidth(distance < 1 ? 25.0f : std::max(25.0f / distance, 1.0f));
    glColor3f(1, 0, 1);
    glBegin(GL_LINES);
    auto square = [&](float z) {
        glVertex3f(x0, y0, z), glVertex3f(x1, y0, z);
        glVertex3f(x1, y0, z), glVertex3f(x1, y1, z);
        glVertex3f(x1, y1, z), glVertex3f(x0, y1, z);
        glVertex3f(x0, y1, z), glVertex3f(x0, y0, z);
    };
    if (adjacent) {
        square(z0);
    } else {
        square(z1);
        square(z0);
        glVertex3f(x0, y0, z0), glVertex3f(x0, y0, z1);
        glVertex3f(x0, y1, z0), glVertex3f(x0, y1, z1);
        glVertex3f(x1, y1, z0), glVertex3f(x1, y1, z1);
        glVertex3f(x1, y0, z0), glVertex3f(x1, y0, z1);
    }
    glEnd();
    glLineWidth(1);
}

}  // namespace

void get_sprite_pos(V3f* epf0, float size, float cpdir_off, V3f* p_ps, V3f* p_cpdir, V3f* p_horiz, V3f* p_vert,
                    float* p_cam_yaw, bool* p_use_side_texture)
{
    V3f pf = *epf0;
    scale_to_view_f(&pf);
    V3f cpdir = pf;
    v3f_sub(&cpdir, &main_cam_pos);
    float cp_len = v3f_length(&cpdir);
    v3f_mul(&cpdir, 1.0f / cp_len);

    bool side = cpdir.z > ABOVE_VIEW_DZ;
    // Seen from above, the picture is drawn a little lower so that it stands on the ground.
    if (!side)
        pf.z -= 0.175f;
    float cam_yaw = std::atan2(cpdir.y, cpdir.x);

    V3f horiz = {-cpdir.y, cpdir.x, 0};
    v3f_normalize(&horiz);
    V3f vert = horiz;
    v3f_cross(&vert, &cpdir);
    v3f_normalize(&vert);

    // Moving the quad closer and shrinking it keeps its size on screen.
    float closer = size / 1.75f + cpdir_off;
    float scale = size * 0.5f * (cp_len - closer) / cp_len;
    if (p_ps) {
        const float signs[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
        for (int i = 0; i < 4; i++) {
            float sh = signs[i][0] * scale, sv = signs[i][1] * scale;
            p_ps[i].x = pf.x + sh * horiz.x + sv * vert.x - closer * cpdir.x;
            p_ps[i].y = pf.y + sh * horiz.y + sv * vert.y - closer * cpdir.y;
            p_ps[i].z = pf.z + sh * horiz.z + sv * vert.z - closer * cpdir.z;
        }
    }
    if (p_cpdir)
        *p_cpdir = cpdir;
    if (p_horiz)
        *p_horiz = horiz;
    if (p_vert)
        *p_vert = vert;
    if (p_cam_yaw)
        *p_cam_yaw = cam_yaw;
    if (p_use_side_texture)
        *p_use_side_texture = side;
}

int sprite_sector(float heading, float cam_yaw)
{
    float ya = heading - cam_yaw;
    while (ya < -PI_F)
        ya += 2 * PI_F;
    while (ya > PI_F)
        ya -= 2 * PI_F;
    // Half-open columns of a quarter turn centred on each eighth; the half turn takes both ends.
    const float e = PI_F / 8;
    if (ya >= 7 * e || ya < -7 * e)
        return 4;
    if (ya >= 5 * e)
        return 3;
    if (ya >= 3 * e)
        return 2;
    if (ya >= e)
        return 1;
    if (ya >= -e)
        return 0;
    if (ya >= -3 * e)
        return 7;
    if (ya >= -5 * e)
        return 6;
    return 5;
}

double scene_field_of_view(int w, int h)
{
    double aspect = (double)w / h;
    if (aspect <= 4.0 / 3.0)
        return 60.0;
    return 60.0 / std::sqrt(aspect / (4.0 / 3.0));
}

TxCoords sprite_cell(const TxCoords* block, int column, int row)
{
    return TxCoords{block->x + column * block->w, block->y + row * block->h, block->w, block->h};
}

void emit_sprite_quad(const V3f* ps, const TxCoords* tx)
{
    float x0 = tx->x, y0 = tx->y, x1 = tx->x + tx->w, y1 = tx->y + tx->h;
    glTexCoord2f(x0, y1);
    glVertex3f(ps[0].x, ps[0].y, ps[0].z);
    glTexCoord2f(x1, y1);
    glVertex3f(ps[1].x, ps[1].y, ps[1].z);
    glTexCoord2f(x1, y0);
    glVertex3f(ps[2].x, ps[2].y, ps[2].z);
    glTexCoord2f(x0, y0);
    glVertex3f(ps[3].x, ps[3].y, ps[3].z);
}

void draw_game()
{
    glClearColor(0.1f, 0.1f, 0.1f, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(scene_field_of_view(main_screen->w, main_screen->h), (double)main_screen->w / main_screen->h,
                   0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    V3f dir;
    get_camera_dir(main_cam_pitch, main_cam_yaw, &dir);
    gluLookAt(main_cam_pos.x, main_cam_pos.y, main_cam_pos.z, main_cam_pos.x + dir.x, main_cam_pos.y + dir.y,
              main_cam_pos.z + dir.z, 0, 0, 1);

    glColor3f(1, 1, 1);
    draw_mesh_full(&main_voxel_mesh);

    glEnable(GL_TEXTURE_2D);
    // Party 0 first: the two passes are separate statements because the order of the operands
    // of one sum is unspecified.
    int selected = draw_party(0);
    selected += draw_party(1);

    glDisable(GL_TEXTURE_2D);
    draw_projectiles();

    draw_markers(selected);

    glDisable(GL_TEXTURE_2D);
    if (main_pointed_thing.type == PTT_VOXEL)
        draw_voxel_outline();

    draw_axis_cross();
}
