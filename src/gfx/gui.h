// Menus and on-screen text: a 5 x 8 bitmap font cut from the interface texture
// and a flat, caller-owned array of labels and buttons grouped per program state.
// Drawing is in window pixels, origin bottom-left, y up; the caller sets the
// projection, enables texturing and binds the interface texture.
#pragma once

enum GuiElementType {
    GUI_LABEL = 0,
    GUI_BUTTON = 1,
};

// Horizontal placement of a label's text relative to the element's x.
enum Anchor {
    ANCHOR_MIDDLE = 0,
    ANCHOR_LEFT = 1,
    ANCHOR_RIGHT = 2,
};

enum Style {
    STYLE_NORMAL = 0,
    STYLE_DIM = 1,  // grey text
};

constexpr int GUI_TEXT_SIZE = 200;       // bytes of GuiElement::text, terminator included
constexpr int GUI_BROWSEABLE_SIZE = 20;  // at most this many elements take part in Up/Down

struct GuiElement {
    GuiElementType type;
    int x;                    // pixels of the element's centre from the centre point, right
    int y;                    // pixels from the centre point, up
    Style style;
    char text[GUI_TEXT_SIZE]; // zero-terminated; '\n' starts a new line below
    int text_size;            // character height in pixels; width is 5 * text_size / 8
    Anchor text_anchor;       // labels only
    bool selectable;          // the mouse can select it
    int group;                // enabled and disabled as a whole with its group
    bool selected;            // highlighted; Return activates it
    bool enabled;             // drawn and reachable by keyboard and mouse
    bool browseable;          // Up and Down visit it
    bool select_when_enabling_group;
    void (*cb_action)(int);   // called on activation with action_param; may be null
    int action_param;
};
typedef GuiElement GuiElem;

// Width in pixels of the longest line of `text` at character height `size`; 0 for "".
int text_width(int size, const char* text);
// Texture rectangle of the glyph for character code `c` (0..127) in fractions of the
// interface texture: upper-left (s0, t0), lower-right (s1, t1).
void gui_glyph_coords(int c, float* s0, float* t0, float* s1, float* t1);
// Draws `text` in the current colour; (x0, y0) is the bottom-left of the first line.
void gui_draw_text(int x0, int y0, int size, const char* text);
// Draws a black shadow, then the text in white; leaves the colour white.
void gui_draw_text_shadowed(int x0, int y0, int size, const char* text);

// Zeroes the element and sets the defaults: a label reading "<new element>", size 16, group -1.
void guielem_init(GuiElem* elem);
// Draws one element around the centre point (cx, cy).
void guielem_draw(GuiElem* elem, int cx, int cy);
// The clickable box of a button (inclusive bounds); -1 in all four for anything else.
void guielem_get_area(GuiElem* elem, int cx, int cy, int* p_x1, int* p_y1, int* p_x2, int* p_y2);

// Draws every enabled element in array order.
void gui_draw(GuiElem* elems, int elemc, int cx, int cy);
// Selects element n and deselects all others; n out of range deselects all.
void gui_select_element(GuiElem* elems, int elemc, int n);
// Activates the first enabled selected element; true if there was one (with or without callback).
bool gui_activate_selected(GuiElem* elems, int elemc);
// Moves the selection among enabled browseable elements, wrapping; false if there are none.
bool gui_browse(GuiElem* elems, int elemc, bool up);
// Enables every element of `group`, selecting those marked select_when_enabling_group.
void gui_enable_group(GuiElem* elems, int elemc, int group);
// Disables every element of `group`; selection flags stay.
void gui_disable_group(GuiElem* elems, int elemc, int group);
// Handles the SDL key code `key`: Return activates, Up and Down browse; true when consumed.
bool gui_press_key(GuiElem* elems, int elemc, int key);
// Hover: selects the first enabled selectable element under (x, y), or deselects all.
void gui_mouse_move(GuiElem* elems, int elemc, int cx, int cy, int x, int y);
// Left click (button 1): hover at (x, y), then activate; true when something was activated.
bool gui_mouse_press(GuiElem* elems, int elemc, int cx, int cy, int x, int y, int button);
