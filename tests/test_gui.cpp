#include "gui.h"

#include <cstring>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "gl_context.h"

namespace {

int calls;
int last_param;
void count_call(int param)
{
    calls++;
    last_param = param;
}

// Three buttons of group 1 stacked at y = 40, 0, -40 around the centre, plus a label.
struct Menu {
    GuiElem e[4];
    int n = 4;
    Menu()
    {
        calls = 0;
        last_param = -1;
        for (int i = 0; i < 3; i++) {
            guielem_init(&e[i]);
            e[i].type = GUI_BUTTON;
            e[i].group = 1;
            e[i].y = 40 - 40 * i;
            e[i].selectable = e[i].browseable = true;
            e[i].cb_action = count_call;
            e[i].action_param = 10 + i;
        }
        guielem_init(&e[3]);
        e[3].group = 2;
        e[3].select_when_enabling_group = true;
        e[0].select_when_enabling_group = true;
    }
    int selected() const
    {
        int found = -1;
        for (int i = 0; i < n; i++)
            if (e[i].selected) {
                EXPECT_EQ(found, -1) << "two elements selected";
                found = i;
            }
        return found;
    }
};

TEST(GuiText, WidthIsTheLongestLineAtFiveEighthsOfTheSize)
{
    EXPECT_EQ(text_width(16, "Quit"), 40);
    EXPECT_EQ(text_width(16, "Go\nQuit\nab"), 40);
    EXPECT_EQ(text_width(16, "Quit\n"), 40);
    EXPECT_EQ(text_width(16, ""), 0);
    EXPECT_EQ(text_width(48, ""), 0);
    // The product is divided once: 5 * 12 * 3 / 8 = 22, not 3 * (5 * 12 / 8) = 21.
    EXPECT_EQ(text_width(12, "abc"), 22);
}

TEST(GuiText, GlyphCellsAreFiveByEightTexelsThirtyTwoARow)
{
    float s0, t0, s1, t1;
    gui_glyph_coords('A', &s0, &t0, &s1, &t1);
    EXPECT_FLOAT_EQ(s0, 5 / 256.0f);
    EXPECT_FLOAT_EQ(s1, 10 / 256.0f);
    EXPECT_FLOAT_EQ(t0, 32 / 256.0f);
    EXPECT_FLOAT_EQ(t1, 40 / 256.0f);
    gui_glyph_coords(127, &s0, &t0, &s1, &t1);
    EXPECT_FLOAT_EQ(s0, 155 / 256.0f);
    EXPECT_FLOAT_EQ(s1, 160 / 256.0f);
    EXPECT_FLOAT_EQ(t0, 40 / 256.0f);
    EXPECT_FLOAT_EQ(t1, 48 / 256.0f);
}

TEST(GuiElement, InitGivesTheDefaults)
{
    GuiElem e;
    std::memset(&e, 0x5a, sizeof(e));
    guielem_init(&e);
    EXPECT_EQ(e.type, GUI_LABEL);
    EXPECT_STREQ(e.text, "<new element>");
    EXPECT_EQ(e.text_size, 16);
    EXPECT_EQ(e.group, -1);
    EXPECT_FALSE(e.selected || e.enabled || e.selectable || e.browseable);
    EXPECT_EQ(e.cb_action, nullptr);
    EXPECT_EQ(e.x, 0);
    EXPECT_EQ(e.action_param, 0);
}

TEST(GuiElement, ButtonAreaIs192By24AndOthersHaveNone)
{
    Menu m;
    m.e[1].x = 5;
    int x1, y1, x2, y2;
    guielem_get_area(&m.e[1], 400, 300, &x1, &y1, &x2, &y2);
    EXPECT_EQ(x1, 309);
    EXPECT_EQ(x2, 501);
    EXPECT_EQ(y1, 288);
    EXPECT_EQ(y2, 312);
    guielem_get_area(&m.e[3], 400, 300, &x1, &y1, &x2, &y2);
    EXPECT_EQ(x1, -1);
    EXPECT_EQ(y1, -1);
    EXPECT_EQ(x2, -1);
    EXPECT_EQ(y2, -1);
}

TEST(GuiMouse, ClickOnTheEdgeActivatesAndOnePixelOutsideDeselectsAll)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    // Button 1 is centred on (400, 300): its box is x 304..496, y 288..312, inclusive.
    EXPECT_TRUE(gui_mouse_press(m.e, m.n, 400, 300, 304, 300, 1));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(last_param, 11);
    EXPECT_TRUE(gui_mouse_press(m.e, m.n, 400, 300, 496, 312, 1));
    EXPECT_EQ(calls, 2);

    EXPECT_FALSE(gui_mouse_press(m.e, m.n, 400, 300, 303, 300, 1));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(m.selected(), -1);
    // Between two buttons (y 313..327 belongs to neither).
    EXPECT_FALSE(gui_mouse_press(m.e, m.n, 400, 300, 400, 320, 1));
    EXPECT_EQ(m.selected(), -1);
}

TEST(GuiMouse, OnlyTheLeftButtonClicksAndOnlyEnabledSelectableElementsHover)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    EXPECT_FALSE(gui_mouse_press(m.e, m.n, 400, 300, 400, 300, 3));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(m.selected(), 0) << "a right click changes nothing";

    m.e[1].selectable = false;
    gui_mouse_move(m.e, m.n, 400, 300, 400, 300);
    EXPECT_EQ(m.selected(), -1);
    gui_disable_group(m.e, m.n, 1);
    gui_mouse_move(m.e, m.n, 400, 300, 400, 340);
    EXPECT_EQ(m.selected(), -1);
}

TEST(GuiKeys, BrowsingWrapsAroundTheEnabledBrowseableButtons)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    EXPECT_EQ(m.selected(), 0);
    EXPECT_TRUE(gui_press_key(m.e, m.n, 274));  // Down
    EXPECT_EQ(m.selected(), 1);
    EXPECT_TRUE(gui_press_key(m.e, m.n, 274));
    EXPECT_TRUE(gui_press_key(m.e, m.n, 274));
    EXPECT_EQ(m.selected(), 0) << "Down from the last goes to the first";
    EXPECT_TRUE(gui_press_key(m.e, m.n, 273));  // Up
    EXPECT_EQ(m.selected(), 2) << "Up from the first goes to the last";

    m.e[1].browseable = false;
    EXPECT_TRUE(gui_press_key(m.e, m.n, 273));
    EXPECT_EQ(m.selected(), 0) << "a button that is not browseable is skipped";
    EXPECT_FALSE(gui_press_key(m.e, m.n, 'a'));
}

TEST(GuiKeys, AfterThePointerLeftAllButtonsReturnDoesNothingAndDownTakesTheSecond)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    gui_mouse_move(m.e, m.n, 400, 300, 0, 0);
    EXPECT_FALSE(gui_press_key(m.e, m.n, 13));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(gui_press_key(m.e, m.n, 274));
    EXPECT_EQ(m.selected(), 1);
    EXPECT_TRUE(gui_press_key(m.e, m.n, 13));
    EXPECT_EQ(last_param, 11);

    gui_select_element(m.e, m.n, -1);
    EXPECT_TRUE(gui_press_key(m.e, m.n, 273));
    EXPECT_EQ(m.selected(), 2) << "with nothing selected Up takes the last";
}

TEST(GuiKeys, BrowsingWithNothingBrowseableIsNotConsumed)
{
    Menu m;
    EXPECT_FALSE(gui_press_key(m.e, m.n, 274));
    EXPECT_FALSE(gui_press_key(m.e, m.n, 13)) << "nothing enabled, nothing to activate";
}

TEST(GuiKeys, BrowsingKeepsTheFlagsOfElementsItDoesNotVisit)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    m.e[3].selected = true;  // a disabled element of another group
    gui_press_key(m.e, m.n, 274);
    EXPECT_TRUE(m.e[3].selected);
    EXPECT_TRUE(m.e[1].selected);
}

TEST(GuiGroups, EnablingSelectsTheMarkedElementAndDeselectsEveryOtherGroup)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    gui_press_key(m.e, m.n, 274);
    EXPECT_EQ(m.selected(), 1);
    gui_enable_group(m.e, m.n, 2);
    EXPECT_EQ(m.selected(), 3);
    EXPECT_TRUE(m.e[0].enabled && m.e[3].enabled);

    gui_disable_group(m.e, m.n, 2);
    EXPECT_FALSE(m.e[3].enabled);
    EXPECT_TRUE(m.e[3].selected) << "disabling leaves the selection alone";
    EXPECT_TRUE(m.e[0].enabled);
    EXPECT_FALSE(gui_activate_selected(m.e, m.n)) << "a disabled selection cannot be activated";
}

TEST(GuiActivate, AButtonWithoutCallbackStillCountsAsActivated)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    m.e[0].cb_action = nullptr;
    EXPECT_TRUE(gui_press_key(m.e, m.n, 13));
    EXPECT_EQ(calls, 0);
}

TEST(GuiActivate, TheFirstEnabledSelectedElementWins)
{
    Menu m;
    gui_enable_group(m.e, m.n, 1);
    m.e[2].selected = true;  // two selected: only the first in array order is activated
    EXPECT_TRUE(gui_activate_selected(m.e, m.n));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(last_param, 10);
}

class GuiDrawTest : public GlContextTest {};

TEST_F(GuiDrawTest, DimLabelsAndButtonsLeaveTheColourWhite)
{
    GuiElem e;
    guielem_init(&e);
    e.style = STYLE_DIM;
    glColor3ub(255, 255, 255);
    guielem_draw(&e, 32, 32);
    float c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[0], 1.0f);
    EXPECT_FLOAT_EQ(c[1], 1.0f);

    e.type = GUI_BUTTON;
    guielem_draw(&e, 32, 32);
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[2], 1.0f);

    gui_draw_text_shadowed(0, 0, 16, "x");
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[0], 1.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GuiDrawTest, TextIsDrawnInTheCurrentColourAtItsPlace)
{
    // A white 1 x 1 texture makes every glyph quad a solid block we can find in the frame.
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    unsigned char white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kWidth, 0, kHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glColor3ub(255, 0, 0);
    // Two 16-pixel characters, 10 pixels wide each, from (8, 20); the second line below.
    gui_draw_text(8, 20, 16, "ab\nc");
    glDisable(GL_TEXTURE_2D);
    glFinish();
    unsigned char px[4];
    auto at = [&](int x, int y) {
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return px[0] > 200 && px[1] < 50;
    };
    EXPECT_TRUE(at(9, 21));
    EXPECT_TRUE(at(27, 35));   // inside the second character
    EXPECT_FALSE(at(29, 21));  // right of the line
    EXPECT_TRUE(at(9, 5));     // "c" one line lower
    EXPECT_FALSE(at(19, 5));
    glDeleteTextures(1, &tex);
}

}  // namespace
