#include "scene.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <GL/gl.h>
#include <GL/glu.h>

#include "genmap.h"
#include "genmesh.h"
#include "glmisc.h"
#include "gui.h"
#include "materialtypes.h"
#include "mesh.h"
#include "modelshapes.h"
#include "voxel.h"

namespace {

Mesh terrain;
VoxelData world;
GLuint voxel_texture, entity_textures[2], misc_texture;
float cam[3];  // camera position, view units

bool load_texture(const std::string& path, int size, GLuint* texture)
{
    size_t bytes = (size_t)size * size * 4;
    unsigned char* pixels = (unsigned char*)std::malloc(bytes);
    FILE* f = std::fopen(path.c_str(), "rb");
    bool ok = f && pixels && std::fread(pixels, 1, bytes, f) == bytes;
    if (f)
        std::fclose(f);
    if (ok) {
        glGenTextures(1, texture);
        glBindTexture(GL_TEXTURE_2D, *texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    } else {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
    }
    std::free(pixels);
    return ok;
}

void bind_nearest(GLuint texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

// The free cell on top of column (x, y).
V3i ground_cell(int x, int y)
{
    int z = 15;
    for (; z > 0; z--) {
        V3i p = {x, y, z};
        if (voxeldata_get_material(&world, &p) > MATERIAL_AIR)
            break;
    }
    return V3i{x, y, z + 1};
}

// The centre of that cell, in view units.
V3f ground(int x, int y)
{
    V3i p = ground_cell(x, y);
    V3f v;
    scale_to_view(&p, &v);
    return v;
}

// A camera-facing sprite quad as emit_sprite_quad gives it, cell (cx, cy) of side cw.
void sprite_quad(V3f at, float size, float cx, float cy, float cw)
{
    float d[3] = {at.x - cam[0], at.y - cam[1], at.z - cam[2]};
    float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (float& e : d)
        e /= len;
    float h[3] = {-d[1], d[0], 0};
    float hl = std::sqrt(h[0] * h[0] + h[1] * h[1]);
    h[0] /= hl;
    h[1] /= hl;
    float v[3] = {h[1] * d[2] - h[2] * d[1], h[2] * d[0] - h[0] * d[2], h[0] * d[1] - h[1] * d[0]};
    float closer = size / 1.75f, s = size * 0.5f * (len - closer) / len;
    const float signs[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    const float tc[4][2] = {{cx, cy + cw}, {cx + cw, cy + cw}, {cx + cw, cy}, {cx, cy}};
    for (int i = 0; i < 4; i++) {
        glTexCoord2f(tc[i][0], tc[i][1]);
        float a = signs[i][0] * s, b = signs[i][1] * s;
        glVertex3f(at.x + a * h[0] + b * v[0] - closer * d[0], at.y + a * h[1] + b * v[1] - closer * d[1],
                   at.z + a * h[2] + b * v[2] - closer * d[2]);
    }
}

// A carage as the game draws it, inside the party's quad batch; torn when damaged.
void draw_carage(V3i cell, bool damaged)
{
    float v[CARAGE_VERTEX_COUNT * 3];
    place_model(carage_vertices(), CARAGE_VERTEX_COUNT, &cell, damaged ? 0.5f : 1.0f, v);
    draw_model_arrays(v, carage_txcoords(), CARAGE_VERTEX_COUNT);
}

// A voxel outline as draw_voxel_outline draws it: lines up to 25 pixels wide.
void outline_box(V3f p)
{
    float x0 = p.x - 0.52f, y0 = p.y - 0.52f, z0 = p.z - 0.27f;
    float x1 = p.x + 0.52f, y1 = p.y + 0.52f, z1 = p.z + 0.27f;
    float dx = p.x - cam[0], dy = p.y - cam[1], dz = p.z - cam[2];
    float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    glLineWidth(distance < 1 ? 25.0f : std::fmax(25.0f / distance, 1.0f));
    glColor3f(1, 0, 1);
    glBegin(GL_LINES);
    for (float z : {z0, z1}) {
        glVertex3f(x0, y0, z), glVertex3f(x1, y0, z), glVertex3f(x1, y0, z), glVertex3f(x1, y1, z);
        glVertex3f(x1, y1, z), glVertex3f(x0, y1, z), glVertex3f(x0, y1, z), glVertex3f(x0, y0, z);
    }
    for (float x : {x0, x1})
        for (float y : {y0, y1})
            glVertex3f(x, y, z0), glVertex3f(x, y, z1);
    glEnd();
    glLineWidth(1);
}

void draw_world(int frame, bool animate)
{
    glClearColor(0.1f, 0.1f, 0.1f, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, (double)SCENE_W / SCENE_H, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // A new game's first view, turning a little from side to side when animated.
    float pitch = -0.86393797f, yaw = 1.5707964f + (animate ? 0.4f * std::sin(frame * 0.03f) : 0.0f);
    cam[0] = 31.5f;
    cam[1] = 14.9f;
    cam[2] = 19.2f;
    float dir[3] = {std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch), std::sin(pitch)};
    gluLookAt(cam[0], cam[1], cam[2], cam[0] + dir[0], cam[1] + dir[1], cam[2] + dir[2], 0, 0, 1);

    glColor3f(1, 1, 1);
    draw_mesh_full(&terrain);

    glEnable(GL_TEXTURE_2D);
    for (int party = 0; party < 2; party++) {
        bind_nearest(entity_textures[party]);
        glColor3f(0.784f, 0.784f, 0.784f);
        glBegin(GL_QUADS);
        for (int i = 0; i < 150; i++) {
            int x = 14 + (i * 37 + party * 11) % 36, y = 20 + (i * 53 + party * 5) % 36;
            V3f at = ground(x, y);
            int column = (i + (animate ? frame / 8 : 0)) % 8, row = i % 3 == 0;
            float body_row = (i % 2 ? 0 : 0.125f) + row / 16.0f;
            sprite_quad(at, 1.0f, column / 16.0f, body_row, 1 / 16.0f);
            if (i % 2 == 0) {
                at.z += 0.01f;
                sprite_quad(at, 1.0f, column / 16.0f, 0.25f + row / 16.0f, 1 / 16.0f);
            }
            if (i % 50 == 7)
                draw_carage(ground_cell(x + 2, y + 2), i % 100 == 57);
        }
        glEnd();
    }

    glDisable(GL_TEXTURE_2D);
    for (int i = 0; i < 24; i++) {
        V3f at = ground(20 + i, 30 + (i * 7) % 13);
        at.z += 0.5f + (i % 4) * 0.3f;
        float dx = at.x - cam[0], dy = at.y - cam[1], dz = at.z - cam[2];
        float width = std::fmax(25.0f / std::fmax(std::sqrt(dx * dx + dy * dy + dz * dz), 1.0f), 1.0f);
        if (i % 2 == 0) {
            glPointSize(width);
            glColor3f(1, 1, 0.61f);
            glBegin(GL_POINTS);
            glVertex3f(at.x, at.y, at.z);
            glEnd();
            glPointSize(1);
        } else {
            glLineWidth(width);
            glColor3f(0.86f, 0.86f, 0.86f);
            glBegin(GL_LINES);
            glVertex3f(at.x, at.y, at.z);
            glVertex3f(at.x + 0.2f * (i % 3 - 1), at.y + 0.2f, at.z - 0.05f);
            glEnd();
            glLineWidth(1);
        }
    }

    glEnable(GL_TEXTURE_2D);
    bind_nearest(misc_texture);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    for (int i = 0; i < 30; i++)
        sprite_quad(ground(14 + (i * 37) % 36, 20 + (i * 53) % 36), 1.1f, 0, 0, 0.0625f);
    glEnd();
    glColor3f(0, 1, 0);
    glBegin(GL_QUADS);
    sprite_quad(ground(30, 30), 1.2f, 0, 0, 0.0625f);
    glEnd();

    glDisable(GL_TEXTURE_2D);
    V3f box = ground(33, 28);
    box.z -= 0.5f;
    outline_box(box);
    // Just in front of the camera: 25-pixel lines cut by the near plane and the screen's edges.
    outline_box(V3f{cam[0] + 0.3f, cam[1] + 0.6f, cam[2] - 0.7f});

    draw_axis_cross();
}

void draw_overlay()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, SCENE_W, 0, SCENE_H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    glVertex2i(SCENE_W / 2 - 10, SCENE_H / 2);
    glVertex2i(SCENE_W / 2 + 10, SCENE_H / 2);
    glVertex2i(SCENE_W / 2, SCENE_H / 2 - 10);
    glVertex2i(SCENE_W / 2, SCENE_H / 2 + 10);
    glEnd();
    glEnable(GL_TEXTURE_2D);
    bind_nearest(misc_texture);
    gui_draw_text_shadowed(20, 570, 16, "Quorvale: the quick brown fox\njumps over the lazy dog 0123456789");
    glColor3ub(100, 100, 100);
    gui_draw_text(20, 520, 8, "FPS: 60.00  small dim text");
    glColor3ub(255, 255, 255);
    gui_draw_text_shadowed(300, 100, 24, "Continue");
    const float a = 1.0f / 16, b = 1.0f / 8;
    glBegin(GL_QUADS);
    glTexCoord2f(a, a);
    glVertex2i(500, 184);
    glTexCoord2f(b, a);
    glVertex2i(516, 184);
    glTexCoord2f(b, 0);
    glVertex2i(516, 200);
    glTexCoord2f(a, 0);
    glVertex2i(500, 200);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

}  // namespace

bool scene_init(const char* folder)
{
    gl_load_extensions();
    std::string f = std::string(folder) + "/";
    if (!load_texture(f + "voxel.rgba", 1024, &voxel_texture) ||
        !load_texture(f + "entity0.rgba", 512, &entity_textures[0]) ||
        !load_texture(f + "entity1.rgba", 512, &entity_textures[1]) ||
        !load_texture(f + "misc.rgba", 256, &misc_texture))
        return false;
    voxeldata_init(&world);
    Area area;
    area_set_xyzwhd(&area, 0, 0, 0, 64, 64, 16);
    if (voxeldata_allocate(&world, &area) != 0)
        return false;
    genmap(&world, 1);
    mesh_init(&terrain);
    genmesh(&world, &world.area, &terrain);
    terrain.texture_handle = voxel_texture;
    return true;
}

void scene_draw(int frame, bool animate)
{
    reset_opengl_state();
    draw_world(frame, animate);
    draw_overlay();
}
