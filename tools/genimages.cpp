// Draws the game's three images: the interface texture (font, pointer, marker,
// button), the terrain atlas and the sprite atlas with the building textures; and the
// icon of the desktop menu entry.
//   genimages [image directory] [icon directory]      (default resources/images desktop)
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "genimages_canvas.h"
#include "genimages_font.h"
#include "genimages_sprites.h"

namespace {

constexpr Rgb ORANGE = {255, 128, 0};  // transparent in the interface and terrain images
constexpr Rgb WHITE = {255, 255, 255};
constexpr Rgb BLACK = {0, 0, 0};
constexpr float PI = 3.14159265f;

// ---- interface texture: misc.png, 256 x 256 ----

void draw_font(Canvas& c)
{
    for (const FontGlyph& g : font_glyphs) {
        int col = g.c % 32, row = g.c / 32;
        int x0 = col * 5, y0 = 16 + row * 8;
        const char* p = g.rows;
        for (int y = 0; y < 8; y++) {
            for (int x = 0; *p && *p != ' '; x++, p++) {
                if (*p == '#')
                    c.set(x0 + x, y0 + y, WHITE);
            }
            if (*p == ' ')
                p++;
        }
    }
}

// An arrow with its tip at the top-left corner, white with a black outline.
void draw_pointer(Canvas& c, int x0, int y0)
{
    static const char* const rows[16] = {
        "X...............", "XX..............", "XWX.............", "XWWX............",
        "XWWWX...........", "XWWWWX..........", "XWWWWWX.........", "XWWWWWWX........",
        "XWWWWWWWX.......", "XWWWWWWWWX......", "XWWWWWXXXXX.....", "XWWXWWX.........",
        "XWX.XWWX........", "XX..XWWX........", "X....XWWX.......", ".....XXX........",
    };
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            char ch = rows[y][x];
            if (ch == 'X')
                c.set(x0 + x, y0 + y, BLACK);
            else if (ch == 'W')
                c.set(x0 + x, y0 + y, WHITE);
        }
}

// Four corner brackets; tinted by the renderer (white, green or red).
void draw_marker(Canvas& c, int x0, int y0)
{
    for (int i = 0; i < 5; i++)
        for (int t = 0; t < 2; t++) {
            int a = i, b = t, e = 15 - i, f = 15 - t;
            c.set(x0 + a, y0 + b, WHITE);
            c.set(x0 + b, y0 + a, WHITE);
            c.set(x0 + e, y0 + b, WHITE);
            c.set(x0 + f, y0 + a, WHITE);
            c.set(x0 + a, y0 + f, WHITE);
            c.set(x0 + b, y0 + e, WHITE);
            c.set(x0 + e, y0 + f, WHITE);
            c.set(x0 + f, y0 + e, WHITE);
        }
}

// A bevelled steel-blue plate; drawn bright when selected and grey otherwise.
void draw_button(Canvas& c, int x0, int y0, int w, int h)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            Rgb col = mix({70, 92, 140}, {34, 44, 78}, y / float(h - 1));
            if (y == 0 || x == 0)
                col = {170, 190, 230};
            else if (y == h - 1 || x == w - 1)
                col = {18, 22, 40};
            else if (y == 1 || x == 1)
                col = {110, 132, 185};
            c.set(x0 + x, y0 + y, col);
        }
}

Canvas make_misc()
{
    Canvas c(256, 256, ORANGE);
    draw_marker(c, 0, 0);
    draw_pointer(c, 16, 0);
    draw_font(c);
    draw_button(c, 160, 16, 96, 12);
    return c;
}

// ---- terrain atlas: voxel.png, 1024 x 1024, 64-pixel cells along the top ----

constexpr int CELL = 64;

void fill_cell(Canvas& c, int cell, Rgb (*shader)(int x, int y))
{
    for (int y = 0; y < CELL; y++)
        for (int x = 0; x < CELL; x++)
            c.set(cell * CELL + x, y, shader(x, y));
}

Rgb shade_plain(int x, int y)
{
    float n = fractal_noise(x, y, 16, 64, 7);
    return mix({120, 140, 165}, {150, 170, 195}, n);
}

Rgb dirt_color(int x, int y)
{
    float n = fractal_noise(x, y, 16, 64, 11);
    Rgb col = mix({92, 62, 38}, {128, 90, 56}, n);
    float pebble = hash01(x / 3, y / 3, 12);
    if (pebble > 0.93f)
        col = mix(col, {150, 132, 110}, 0.7f);
    else if (pebble < 0.05f)
        col = scale(col, 0.75f);
    return col;
}

Rgb grass_color(int x, int y)
{
    float n = fractal_noise(x, y, 16, 64, 21);
    Rgb col = mix({52, 112, 36}, {92, 158, 56}, n);
    float blade = hash01(x, y, 22);
    if (blade > 0.9f)
        col = mix(col, {140, 196, 84}, 0.6f);
    else if (blade < 0.08f)
        col = scale(col, 0.8f);
    return col;
}

// Dirt with a ragged fringe of grass hanging over its upper edge: the upper half is the
// side of a grass voxel.
Rgb shade_dirt(int x, int y)
{
    float fringe = 6 + 5 * value_noise(x, 0, 4, 64, 31) + 3 * hash01(x, 0, 32);
    if (y < fringe)
        return grass_color(x, y);
    if (y < fringe + 1.5f)
        return scale(dirt_color(x, y), 0.7f);
    return dirt_color(x, y);
}

Rgb shade_grass(int x, int y)
{
    return grass_color(x, y);
}

// Irregular cobbles: each pixel takes the shade of its nearest seed point; the seams darken.
Rgb shade_stone(int x, int y)
{
    float best = 1e9f, second = 1e9f;
    int best_id = 0;
    for (int gy = -1; gy <= 4; gy++)
        for (int gx = -1; gx <= 4; gx++) {
            int wx = (gx + 4) % 4, wy = (gy + 4) % 4;
            float sx = gx * 16 + 16 * hash01(wx, wy, 41), sy = gy * 16 + 16 * hash01(wx, wy, 42);
            float d = std::hypot(x - sx, y - sy);
            if (d < best) {
                second = best;
                best = d;
                best_id = wy * 4 + wx;
            } else if (d < second) {
                second = d;
            }
        }
    float tone = hash01(best_id, 0, 43);
    float n = fractal_noise(x, y, 8, 64, 44);
    Rgb col = mix({104, 104, 110}, {150, 150, 156}, 0.6f * tone + 0.4f * n);
    if (second - best < 1.6f)
        col = {70, 70, 76};
    return col;
}

Rgb shade_sand(int x, int y)
{
    float n = fractal_noise(x, y, 16, 64, 51);
    Rgb col = mix({204, 184, 128}, {230, 212, 156}, n);
    float grain = hash01(x, y, 52);
    if (grain > 0.92f)
        col = scale(col, 0.88f);
    else if (grain < 0.04f)
        col = mix(col, WHITE, 0.35f);
    // Gentle ripples across the dune.
    float ripple = std::sin((x + y * 0.3f + 6 * value_noise(x, y, 16, 64, 53)) * 2 * PI / 16);
    return scale(col, 1.0f + 0.04f * ripple);
}

Rgb shade_water(int x, int y)
{
    float n = fractal_noise(x, y, 16, 64, 61);
    Rgb col = mix({28, 74, 150}, {46, 104, 186}, n);
    float wave = std::sin((y + 4 * value_noise(x, y, 16, 64, 62)) * 2 * PI / 8 +
                          x * 2 * PI / 64);
    if (wave > 0.93f)
        col = mix(col, {150, 196, 236}, 0.55f);
    return col;
}

// A pine-like tree on orange (which becomes transparent): trunk, three tiers of foliage.
void draw_tree(Canvas& c, int x0)
{
    for (int y = 1; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            float cx = x - 31.5f;
            bool trunk = std::fabs(cx) < 3.5f && y > 40;
            Rgb col = ORANGE;
            if (trunk) {
                float bark = hash01(x, y / 2, 71);
                col = mix({82, 54, 30}, {112, 76, 44}, bark);
                if (cx > 1.5f)
                    col = scale(col, 0.75f);
            }
            for (int tier = 0; tier < 3; tier++) {
                float top = 3 + tier * 12, bottom = top + 22;
                if (y < top || y > bottom)
                    continue;
                float half = (y - top) / (bottom - top) * (14 + tier * 5);
                half += 2 * (value_noise(x, y, 4, 64, 72 + tier) - 0.5f);
                if (std::fabs(cx) <= half) {
                    float n = fractal_noise(x, y, 8, 64, 75);
                    col = mix({20, 78, 34}, {46, 122, 52}, n);
                    if (cx > half * 0.35f)
                        col = scale(col, 0.78f);  // shaded right side
                    if (y > bottom - 2)
                        col = scale(col, 0.7f);
                }
            }
            c.set(x0 + x, y, col);
        }
}

Canvas make_voxel()
{
    Canvas c(1024, 1024, {40, 40, 44});
    c.rect(0, 0, 64, 64, {120, 140, 165});
    fill_cell(c, 1, shade_plain);
    fill_cell(c, 2, shade_dirt);
    fill_cell(c, 3, shade_grass);
    fill_cell(c, 4, shade_stone);
    fill_cell(c, 5, shade_sand);
    fill_cell(c, 6, shade_water);
    draw_tree(c, 7 * CELL);
    return c;
}

// ---- sprite atlas: entity.png, 512 x 512, 32-pixel cells ----

constexpr int SPRITE = 32;
constexpr float PIXELS_PER_UNIT = 38;  // a little larger than the world scale: units read better
constexpr float SIDE_PITCH = 0.35f;    // radians below the horizon for the side row
constexpr float TOP_PITCH = 1.0f;      // and for the row seen from above

std::vector<Box> missile_unit()
{
    Rgb track = {52, 52, 50}, hull = {150, 142, 100}, cab = {172, 164, 122};
    Rgb glass = {96, 130, 160}, missile = {226, 226, 220}, tip = {200, 44, 40};
    return {
        {-0.30f, 0.13f, 0.00f, 0.30f, 0.24f, 0.09f, track, false},
        {-0.30f, -0.24f, 0.00f, 0.30f, -0.13f, 0.09f, track, false},
        {-0.32f, -0.17f, 0.06f, 0.30f, 0.17f, 0.16f, hull, false},
        {0.12f, -0.15f, 0.16f, 0.30f, 0.15f, 0.27f, cab, false},
        {0.29f, -0.12f, 0.19f, 0.31f, 0.12f, 0.25f, glass, false},
        {-0.30f, -0.14f, 0.16f, 0.10f, 0.14f, 0.21f, {}, true},
        {-0.32f, 0.03f, 0.21f, 0.14f, 0.10f, 0.27f, missile, false},
        {-0.32f, -0.10f, 0.21f, 0.14f, -0.03f, 0.27f, missile, false},
        {0.14f, 0.04f, 0.22f, 0.19f, 0.09f, 0.26f, tip, false},
        {0.14f, -0.09f, 0.22f, 0.19f, -0.04f, 0.26f, tip, false},
    };
}

std::vector<Box> turret_unit_body()
{
    Rgb track = {56, 56, 54}, hull = {118, 126, 108}, front = {100, 108, 92};
    return {
        {-0.34f, 0.16f, 0.00f, 0.34f, 0.27f, 0.10f, track, false},
        {-0.34f, -0.27f, 0.00f, 0.34f, -0.16f, 0.10f, track, false},
        {-0.31f, 0.16f, 0.10f, 0.31f, 0.28f, 0.14f, {}, true},
        {-0.31f, -0.28f, 0.10f, 0.31f, -0.16f, 0.14f, {}, true},
        {-0.32f, -0.17f, 0.05f, 0.32f, 0.17f, 0.17f, hull, false},
        {0.32f, -0.15f, 0.05f, 0.37f, 0.15f, 0.13f, front, false},
    };
}

std::vector<Box> turret_head()
{
    Rgb body = {132, 138, 120}, barrel = {70, 72, 70}, hatch = {96, 100, 88};
    return {
        {-0.15f, -0.12f, 0.17f, 0.12f, 0.12f, 0.27f, body, false},
        {-0.16f, -0.125f, 0.20f, 0.13f, 0.125f, 0.235f, {}, true},
        {-0.08f, -0.05f, 0.27f, 0.01f, 0.05f, 0.29f, hatch, false},
        {0.12f, -0.025f, 0.20f, 0.44f, 0.025f, 0.245f, barrel, false},
        {0.40f, -0.035f, 0.195f, 0.46f, 0.035f, 0.25f, barrel, false},
    };
}

std::vector<Box> wreck()
{
    Rgb char_ = {48, 44, 40}, burnt = {70, 62, 54}, ember = {150, 62, 24}, ash = {96, 92, 88};
    return {
        {-0.30f, 0.14f, 0.00f, 0.28f, 0.25f, 0.06f, char_, false},
        {-0.32f, -0.25f, 0.00f, 0.22f, -0.14f, 0.05f, char_, false},
        {-0.28f, -0.16f, 0.03f, 0.26f, 0.16f, 0.11f, burnt, false},
        {-0.10f, -0.08f, 0.11f, 0.06f, 0.06f, 0.15f, ember, false},
        {0.10f, -0.02f, 0.11f, 0.34f, 0.02f, 0.14f, ash, false},
        {-0.36f, 0.02f, 0.00f, -0.28f, 0.10f, 0.04f, ash, false},
        {0.26f, 0.18f, 0.00f, 0.34f, 0.24f, 0.03f, ember, false},
    };
}

// Ground point of the model in a cell: the side view stands near the bottom, the view
// from above is drawn lower in the world, so its ground sits near the middle.
float ground_row(int view_row)
{
    return view_row == 1 ? 24.0f : 19.0f;
}

void draw_model_block(Canvas& c, int y0, const std::vector<Box>& boxes)
{
    for (int row = 0; row < 2; row++)
        for (int col = 0; col < 8; col++)
            draw_model(c, col * SPRITE, y0 + row * SPRITE, SPRITE, boxes, col * PI / 4,
                       row == 1 ? SIDE_PITCH : TOP_PITCH, ground_row(row), PIXELS_PER_UNIT);
}

// One frame of the explosion: a flash that swells into a fireball and drifts off as smoke.
void draw_explosion(Canvas& c, int x0, int y0, int frame, int view_row)
{
    float t = frame / 7.0f;
    float radius = 5 + 9 * std::sqrt(t);
    float cx = 16, cy = view_row == 1 ? 20 - 5 * t : 16;
    for (int y = 0; y < SPRITE; y++)
        for (int x = 0; x < SPRITE; x++) {
            float dx = x + 0.5f - cx, dy = (y + 0.5f - cy) * (view_row == 1 ? 1.1f : 1.0f);
            float d = std::hypot(dx, dy);
            float wobble = 3 * (value_noise(x + frame * 5, y, 4, 64, 90 + view_row) - 0.5f);
            float r = d / (radius + wobble);
            if (r > 1)
                continue;
            float heat = (1 - r) * (1.2f - t);  // hot core early, smoke late
            Rgb col;
            if (heat > 0.75f)
                col = {255, 246, 196};
            else if (heat > 0.5f)
                col = {255, 206, 70};
            else if (heat > 0.3f)
                col = {240, 120, 30};
            else if (heat > 0.12f)
                col = {176, 56, 24};
            else
                col = mix({90, 84, 80}, {50, 48, 48}, std::min(1.0f, t + r * 0.3f));
            // Late frames thin out into wisps.
            if (t > 0.6f && hash01(x, y, 95 + frame) < (t - 0.6f) * 1.6f)
                continue;
            c.set(x0 + x, y0 + y, avoid_keys(col));
        }
}

// Corrugated roof with a party-coloured ridge stripe.
void draw_carage_roof(Canvas& c, int x0, int y0, int w, int h)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float ridge = 0.5f + 0.5f * std::sin(x * 2 * PI / 4);
            Rgb col = avoid_keys(mix({112, 116, 120}, {150, 154, 158}, ridge));
            if (y >= h / 2 - 2 && y < h / 2 + 2)
                col = (x / 4) % 2 ? PARTY_LIGHT : PARTY_DARK;
            if (y == 0 || y == h - 1 || x == 0 || x == w - 1)
                col = {70, 72, 76};
            c.set(x0 + x, y0 + y, col);
        }
}

// Concrete blocks with mortar lines.
void draw_wall(Canvas& c, int x0, int y0, int w, int h, bool door)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int course = y / 4;
            int shifted = x + (course % 2) * 4;
            float n = fractal_noise(x, y, 8, 64, 111);
            Rgb col = avoid_keys(mix({150, 144, 130}, {178, 172, 156}, n));
            if (y % 4 == 3 || shifted % 8 == 7)
                col = {112, 108, 98};
            if (door && x >= 4 && x < w - 4 && y >= 3) {
                col = (y % 3 == 0) ? Rgb{74, 78, 84} : Rgb{104, 110, 118};
                if (y == 3)
                    col = PARTY_DARK;
            }
            if (y == 0)
                col = PARTY_LIGHT;
            c.set(x0 + x, y0 + y, col);
        }
}

// Concrete apron in front of the carage, with yellow-black hazard edges.
void draw_apron(Canvas& c, int x0, int y0, int w, int h)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float n = fractal_noise(x + x0, y, 16, 64, 121);
            Rgb col = avoid_keys(mix({128, 128, 122}, {160, 160, 152}, n));
            if ((x + x0) % 32 == 0 || y == 0)
                col = {96, 96, 92};
            if (y >= h - 4)
                col = ((x + y) / 3) % 2 ? Rgb{226, 190, 40} : Rgb{30, 30, 30};
            c.set(x0 + x, y0 + y, col);
        }
}

// Top plate of the turret base: riveted steel with a party ring round the turret mount.
void draw_turret_top(Canvas& c, int x0, int y0, int s)
{
    for (int y = 0; y < s; y++)
        for (int x = 0; x < s; x++) {
            float n = fractal_noise(x, y, 8, 32, 131);
            Rgb col = avoid_keys(mix({102, 108, 104}, {130, 136, 130}, n));
            float d = std::hypot(x + 0.5f - s / 2.0f, y + 0.5f - s / 2.0f);
            if (d < 11 && d >= 9)
                col = PARTY_LIGHT;
            else if (d < 9)
                col = {84, 88, 86};
            if (x == 0 || y == 0 || x == s - 1 || y == s - 1)
                col = {60, 62, 60};
            if ((x == 3 || x == s - 4) && (y == 3 || y == s - 4))
                col = {180, 184, 180};
            c.set(x0 + x, y0 + y, col);
        }
}

Canvas make_entity()
{
    Canvas c(512, 512, KEY_GREEN);
    draw_model_block(c, 0, missile_unit());
    draw_model_block(c, 64, turret_unit_body());
    draw_model_block(c, 128, turret_head());
    draw_model_block(c, 192, wreck());
    for (int row = 0; row < 2; row++)
        for (int frame = 0; frame < 8; frame++)
            draw_explosion(c, frame * SPRITE, 256 + row * SPRITE, frame, row);
    // Model textures, at the texture rectangles the building models use.
    draw_turret_top(c, 256, 0, 32);
    draw_carage_roof(c, 256, 64, 64, 32);
    draw_wall(c, 352, 0, 32, 16, false);   // side walls, turret base walls
    draw_wall(c, 384, 0, 32, 16, true);    // front wall halves with the door
    draw_wall(c, 352, 16, 64, 16, false);  // back wall
    draw_apron(c, 416, 0, 32, 32);
    draw_apron(c, 448, 0, 32, 32);
    return c;
}

// ---- desktop icon: 128 x 128, transparent around the picture ----

// A missile unit in party orange on a block of grass, seen from above at three quarters.
Canvas make_icon()
{
    constexpr int SIZE = 128;
    Rgb dirt = {112, 78, 46}, grass = {72, 138, 46};
    std::vector<Box> boxes = {
        {-0.5f, -0.5f, -0.36f, 0.5f, 0.5f, -0.06f, dirt, false},
        {-0.5f, -0.5f, -0.06f, 0.5f, 0.5f, 0.0f, grass, false},
    };
    for (Box b : missile_unit()) {
        // The unit fills more of the picture than it does a cell of the map.
        for (float* v : {&b.x0, &b.y0, &b.z0, &b.x1, &b.y1, &b.z1})
            *v *= 1.6f;
        boxes.push_back(b);
    }
    Canvas c(SIZE, SIZE, KEY_GREEN);
    draw_model(c, 0, 0, SIZE, boxes, -2.6f, 0.6f, 72, 66);
    c.clear(KEY_GREEN);
    return c;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string dir = argc > 1 ? argv[1] : "resources/images";
    std::string icon_dir = argc > 2 ? argv[2] : "desktop";
    struct Output {
        std::string path;
        Canvas canvas;
    } outputs[] = {
        {dir + "/misc.png", make_misc()},
        {dir + "/voxel.png", make_voxel()},
        {dir + "/entity.png", make_entity()},
        {icon_dir + "/org.quorvale.Quorvale.png", make_icon()},
    };
    for (const Output& o : outputs) {
        if (!write_png(o.canvas, o.path.c_str())) {
            std::fprintf(stderr, "genimages: could not write %s\n", o.path.c_str());
            return 1;
        }
        std::printf("wrote %s\n", o.path.c_str());
    }
    return 0;
}
