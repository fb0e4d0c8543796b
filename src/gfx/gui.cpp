#include "gui.h"

#include <cstdio>
#include <cstring>

#include <SDL/SDL.h>
#include <GL/gl.h>

namespace {

constexpr float TEXEL = 1.0f / 256.0f;  // the interface texture is laid out for 256 x 256

// Button box half extents in pixels.
constexpr int BUTTON_HALF_W = 96;
constexpr int BUTTON_HALF_H = 12;

int char_width(int size)
{
    return 5 * size / 8;
}

void draw_button_background(int x1, int y1, int x2, int y2)
{
    float s0 = 160 * TEXEL, s1 = 1.0f, t0 = 16 * TEXEL, t1 = 28 * TEXEL;
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t1);
    glVertex2i(x1, y1);
    glTexCoord2f(s1, t1);
    glVertex2i(x2, y1);
    glTexCoord2f(s1, t0);
    glVertex2i(x2, y2);
    glTexCoord2f(s0, t0);
    glVertex2i(x1, y2);
    glEnd();
}

}  // namespace

int text_width(int size, const char* text)
{
    int longest = 0, current = 0;
    for (const char* p = text; *p; p++) {
        if (*p == '\n') {
            current = 0;
            continue;
        }
        current++;
        if (current > longest)
            longest = current;
    }
    return 5 * size * longest / 8;
}

void gui_glyph_coords(int c, float* s0, float* t0, float* s1, float* t1)
{
    int col = c % 32, row = c / 32;
    *s0 = (5 * col) * TEXEL;
    *s1 = (5 * col + 5) * TEXEL;
    *t0 = (16 + 8 * row) * TEXEL;
    *t1 = (24 + 8 * row) * TEXEL;
}

void gui_draw_text(int x0, int y0, int size, const char* text)
{
    int charw = char_width(size), charh = size;
    int x = x0, y = y0;
    glBegin(GL_QUADS);
    for (const char* p = text; *p; p++) {
        int c = static_cast<signed char>(*p);
        if (c == '\n') {
            y -= charh;
            x = x0;
            continue;
        }
        // Bytes above 127 have no glyph in the font: leave their cell blank.
        if (c >= 0) {
            float s0, t0, s1, t1;
            gui_glyph_coords(c, &s0, &t0, &s1, &t1);
            glTexCoord2f(s0, t1);
            glVertex2i(x, y);
            glTexCoord2f(s1, t1);
            glVertex2i(x + charw, y);
            glTexCoord2f(s1, t0);
            glVertex2i(x + charw, y + charh);
            glTexCoord2f(s0, t0);
            glVertex2i(x, y + charh);
        }
        x += charw;
    }
    glEnd();
}

void gui_draw_text_shadowed(int x0, int y0, int size, const char* text)
{
    glColor3ub(0, 0, 0);
    gui_draw_text(x0 + size / 8, y0 - size / 8, size, text);
    glColor3ub(255, 255, 255);
    gui_draw_text(x0, y0, size, text);
}

void guielem_init(GuiElem* elem)
{
    std::memset(elem, 0, sizeof(*elem));
    elem->type = GUI_LABEL;
    std::snprintf(elem->text, sizeof(elem->text), "%s", "<new element>");
    elem->text_size = 16;
    elem->group = -1;
}

void guielem_draw(GuiElem* elem, int cx, int cy)
{
    int tw = text_width(elem->text_size, elem->text);
    if (elem->type == GUI_LABEL) {
        int tx = 0;
        if (elem->text_anchor == ANCHOR_MIDDLE)
            tx = -(tw / 2);
        else if (elem->text_anchor == ANCHOR_RIGHT)
            tx = -tw;
        if (elem->style == STYLE_DIM)
            glColor3ub(100, 100, 100);
        gui_draw_text(cx + elem->x + tx, cy + elem->y - elem->text_size / 2, elem->text_size,
                      elem->text);
        if (elem->style == STYLE_DIM)
            glColor3ub(255, 255, 255);
    } else if (elem->type == GUI_BUTTON) {
        int x1, y1, x2, y2;
        guielem_get_area(elem, cx, cy, &x1, &y1, &x2, &y2);
        if (elem->selected)
            glColor3ub(255, 255, 255);
        else
            glColor3ub(100, 100, 100);
        draw_button_background(x1, y1, x2, y2);
        // A dim button's text keeps the background colour, so it reads as disabled-looking.
        if (elem->style == STYLE_NORMAL)
            glColor3ub(255, 255, 255);
        gui_draw_text(cx + elem->x - tw / 2, cy + elem->y - elem->text_size / 2, elem->text_size,
                      elem->text);
        if (elem->style == STYLE_DIM)
            glColor3ub(255, 255, 255);
    }
}

void guielem_get_area(GuiElem* elem, int cx, int cy, int* p_x1, int* p_y1, int* p_x2, int* p_y2)
{
    if (elem->type != GUI_BUTTON) {
        *p_x1 = *p_y1 = *p_x2 = *p_y2 = -1;
        return;
    }
    *p_x1 = cx + elem->x - BUTTON_HALF_W;
    *p_x2 = cx + elem->x + BUTTON_HALF_W;
    *p_y1 = cy + elem->y - BUTTON_HALF_H;
    *p_y2 = cy + elem->y + BUTTON_HALF_H;
}

void gui_draw(GuiElem* elems, int elemc, int cx, int cy)
{
    for (int i = 0; i < elemc; i++) {
        if (elems[i].enabled)
            guielem_draw(&elems[i], cx, cy);
    }
}

void gui_select_element(GuiElem* elems, int elemc, int n)
{
    for (int i = 0; i < elemc; i++)
        elems[i].selected = (i == n);
}

bool gui_activate_selected(GuiElem* elems, int elemc)
{
    for (int i = 0; i < elemc; i++) {
        if (elems[i].enabled && elems[i].selected) {
            if (elems[i].cb_action)
                elems[i].cb_action(elems[i].action_param);
            return true;
        }
    }
    return false;
}

bool gui_browse(GuiElem* elems, int elemc, bool up)
{
    int list[GUI_BROWSEABLE_SIZE];
    int count = 0, position = 0;
    for (int i = 0; i < elemc && count < GUI_BROWSEABLE_SIZE; i++) {
        if (!elems[i].enabled || !elems[i].browseable)
            continue;
        if (elems[i].selected)
            position = count;
        elems[i].selected = false;
        list[count++] = i;
    }
    if (count == 0)
        return false;
    if (up)
        position = position == 0 ? count - 1 : position - 1;
    else
        position = position == count - 1 ? 0 : position + 1;
    elems[list[position]].selected = true;
    return true;
}

void gui_enable_group(GuiElem* elems, int elemc, int group)
{
    for (int i = 0; i < elemc; i++) {
        if (elems[i].group != group)
            continue;
        elems[i].enabled = true;
        if (elems[i].select_when_enabling_group)
            gui_select_element(elems, elemc, i);
    }
}

void gui_disable_group(GuiElem* elems, int elemc, int group)
{
    for (int i = 0; i < elemc; i++) {
        if (elems[i].group == group)
            elems[i].enabled = false;
    }
}

bool gui_press_key(GuiElem* elems, int elemc, int key)
{
    // The codes of the SDL headers in use: Up and Down are 273 and 274 with SDL 1.2's own,
    // 1024 + scan code in the browser's.
    switch (key) {
    case SDLK_RETURN:
        return gui_activate_selected(elems, elemc);
    case SDLK_UP:
        return gui_browse(elems, elemc, true);
    case SDLK_DOWN:
        return gui_browse(elems, elemc, false);
    default:
        return false;
    }
}

void gui_mouse_move(GuiElem* elems, int elemc, int cx, int cy, int x, int y)
{
    for (int i = 0; i < elemc; i++) {
        if (!elems[i].enabled || !elems[i].selectable)
            continue;
        int x1, y1, x2, y2;
        guielem_get_area(&elems[i], cx, cy, &x1, &y1, &x2, &y2);
        if (x >= x1 && x <= x2 && y >= y1 && y <= y2) {
            gui_select_element(elems, elemc, i);
            return;
        }
    }
    gui_select_element(elems, elemc, -1);
}

bool gui_mouse_press(GuiElem* elems, int elemc, int cx, int cy, int x, int y, int button)
{
    if (button != 1)
        return false;
    gui_mouse_move(elems, elemc, cx, cy, x, y);
    return gui_activate_selected(elems, elemc);
}
