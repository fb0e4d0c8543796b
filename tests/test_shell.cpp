#include "shell.h"

#include <cmath>
#include <cstring>

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include "input.h"
#include "pointermotion.h"

namespace {

// The seven menu elements and a window-sized stand-in for the screen surface, so input can
// be handled without opening a window (the pointer is never warped without a real one).
class ShellTest : public ::testing::Test {
protected:
    SDL_Surface fake_screen = {};

    void SetUp() override
    {
        main_guielemc = 0;
        main_state = PS_NONE;
        main_run = true;
        main_mouse_grabbed = false;
        main_ignore_next_mouse_movements = 0;
        std::memset(main_key_states, 0, sizeof(main_key_states));
        std::memset(main_button_states, 0, sizeof(main_button_states));
        build_menus();
        main_screen = nullptr;
        set_program_state(PS_MAINMENU);
        fake_screen.w = 800;
        fake_screen.h = 600;
        main_screen = &fake_screen;
    }
    void TearDown() override
    {
        delete_game();  // "Play" creates a world
        main_screen = nullptr;
    }

    const char* selected_text()
    {
        for (int i = 0; i < main_guielemc; i++)
            if (main_guielems[i].selected)
                return main_guielems[i].text;
        return "";
    }
    bool shown(const char* text)
    {
        for (int i = 0; i < main_guielemc; i++)
            if (main_guielems[i].enabled && std::strcmp(main_guielems[i].text, text) == 0)
                return true;
        return false;
    }
    void key(int sym, bool down = true)
    {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.sym = SDLKey(sym);
        handle_event(&e);
    }
    // A button event at window pixel (x, y), y down as SDL reports it.
    void click(int x, int y, int button = 1)
    {
        SDL_Event e = {};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.button = Uint8(button);
        e.button.x = Uint16(x);
        e.button.y = Uint16(y);
        handle_event(&e);
        e.type = SDL_MOUSEBUTTONUP;
        handle_event(&e);
    }
    void motion(int x, int y)
    {
        SDL_Event e = {};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = Uint16(x);
        e.motion.y = Uint16(y);
        handle_event(&e);
    }
};

TEST_F(ShellTest, TheMainMenuStartsWithPlaySelected)
{
    EXPECT_EQ(main_guielemc, 7);
    EXPECT_EQ(main_state, PS_MAINMENU);
    EXPECT_STREQ(selected_text(), "Play");
    EXPECT_TRUE(shown("Quorvale"));
    EXPECT_TRUE(shown("Quit"));
    EXPECT_FALSE(shown("Continue"));
    EXPECT_FALSE(main_mouse_grabbed);
    EXPECT_EQ(main_guielems[3].text_size, 48);
    EXPECT_STREQ(main_guielems[4].text,
                 "Controls:\nWASD/E/Space=move, MouseL=point, MouseR=deselect/pan\nCtrl+A=select all");
}

TEST_F(ShellTest, PlayOpensThePauseMenuAndContinueStartsPlay)
{
    key(SDLK_RETURN);
    EXPECT_EQ(main_state, PS_PAUSEMENU);
    EXPECT_STREQ(selected_text(), "Continue");
    EXPECT_FALSE(shown("Play"));
    EXPECT_TRUE(shown("Quit"));

    key(SDLK_RETURN);
    EXPECT_EQ(main_state, PS_INGAME);
    EXPECT_TRUE(main_mouse_grabbed);
    EXPECT_EQ(main_ignore_next_mouse_movements, 1);
    for (int i = 0; i < main_guielemc; i++)
        EXPECT_FALSE(main_guielems[i].enabled) << main_guielems[i].text;

    key(SDLK_ESCAPE);
    EXPECT_EQ(main_state, PS_PAUSEMENU);
    EXPECT_FALSE(main_mouse_grabbed);
    key(SDLK_ESCAPE);
    EXPECT_EQ(main_state, PS_INGAME);
    EXPECT_TRUE(main_run);
}

TEST_F(ShellTest, QuitInThePauseMenuReturnsToTheMainMenu)
{
    key(SDLK_RETURN);
    key(SDLK_DOWN);
    EXPECT_STREQ(selected_text(), "Quit");
    key(SDLK_RETURN);
    EXPECT_EQ(main_state, PS_MAINMENU);
    EXPECT_STREQ(selected_text(), "Play");
    EXPECT_TRUE(main_run);
}

TEST_F(ShellTest, EscapeOrQuitInTheMainMenuEndsTheLoop)
{
    key(SDLK_ESCAPE);
    EXPECT_FALSE(main_run);
    EXPECT_EQ(main_state, PS_MAINMENU);

    main_run = true;
    key(SDLK_DOWN);
    key(SDLK_RETURN);
    EXPECT_FALSE(main_run);

    main_run = true;
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    handle_event(&quit);
    EXPECT_FALSE(main_run);
}

TEST_F(ShellTest, KeysAreRecordedAndCtrlKeepsThemFromTheMenus)
{
    key('w');
    EXPECT_TRUE(main_key_states['w']);
    key('w', false);
    EXPECT_FALSE(main_key_states['w']);

    key(SDLK_LCTRL);
    key(SDLK_DOWN);
    EXPECT_STREQ(selected_text(), "Play");
    key(SDLK_ESCAPE);
    EXPECT_TRUE(main_run);
    key(SDLK_LCTRL, false);
    key(SDLK_DOWN);
    EXPECT_STREQ(selected_text(), "Quit");

    // The table spans every code of the SDL headers in use; codes beyond it are not recorded.
    key(SDLK_F1);
    EXPECT_TRUE(main_key_states[SDLK_F1]);
    key(SDLK_LAST);
    EXPECT_TRUE(main_key_states[MAIN_KEY_COUNT - 1]);
    bool before[MAIN_KEY_COUNT];
    std::memcpy(before, main_key_states, sizeof(before));
    key(MAIN_KEY_COUNT);
    EXPECT_EQ(std::memcmp(before, main_key_states, sizeof(before)), 0);
}

TEST_F(ShellTest, ClicksHitButtonsInWindowCoordinatesWithYFlipped)
{
    // Centre (400, 300) with y up; "Play" spans y 328..352 up, that is SDL rows 247..271.
    click(400, 250);
    EXPECT_EQ(main_state, PS_PAUSEMENU);
    // The pause menu's "Quit" spans up 288..312: SDL rows 287..311; x 304..496.
    click(304, 311);
    EXPECT_EQ(main_state, PS_MAINMENU);
    click(303, 290);
    EXPECT_EQ(main_state, PS_MAINMENU);
    EXPECT_STREQ(selected_text(), "");
    click(400, 250, 3);
    EXPECT_EQ(main_state, PS_MAINMENU) << "only the left button clicks";
    EXPECT_FALSE(main_button_states[3]);
}

TEST_F(ShellTest, MotionHoversUnlessItIsToBeIgnored)
{
    main_ignore_next_mouse_movements = 2;
    motion(400, 299);
    motion(400, 299);
    EXPECT_STREQ(selected_text(), "Play");
    EXPECT_EQ(main_ignore_next_mouse_movements, 0);
    motion(400, 299);
    EXPECT_STREQ(selected_text(), "Quit");
    motion(10, 10);
    EXPECT_STREQ(selected_text(), "");
}

// The browser reports a held pointer's movement only; made into the desktop's event (the centre
// plus the movement), it turns the camera by the desktop's rules.
TEST_F(ShellTest, HeldPointerMovementsTurnTheCameraByTheDesktopRules)
{
    main_mouse_grabbed = true;
    main_cam_yaw = 0;
    main_cam_pitch = 0;
    auto held = [&](int dx, int dy) {
        HeldMotion m = held_pointer_motion(800, 600, dx, dy);
        SDL_Event e = {};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = Uint16(m.x);
        e.motion.y = Uint16(m.y);
        e.motion.xrel = Sint16(m.xrel);
        e.motion.yrel = Sint16(m.yrel);
        handle_event(&e);
    };
    auto turned = [](float from, float to) { return std::remainder(from - to, 2 * 3.14159265f); };

    held(40, 0);
    float per_pixel = -main_cam_yaw / 40;
    ASSERT_GT(per_pixel, 0);
    held(0, 20);
    EXPECT_NEAR(main_cam_pitch, -20 * per_pixel, 1e-6);
    // Inside the central half a jump of a fifth of the window or more is a warp's echo.
    float yaw = main_cam_yaw;
    held(160, 0);
    held(-199, 0);
    held(0, 120);
    EXPECT_FLOAT_EQ(main_cam_yaw, yaw);
    EXPECT_NEAR(main_cam_pitch, -20 * per_pixel, 1e-6);
    // Beyond it the whole movement counts, as far as the window's edge.
    held(250, 0);
    EXPECT_NEAR(turned(yaw, main_cam_yaw), 250 * per_pixel, 1e-4);
    yaw = main_cam_yaw;
    held(-5000, 0);
    EXPECT_NEAR(turned(yaw, main_cam_yaw), -400 * per_pixel, 1e-4);

    EXPECT_EQ(held_pointer_motion(800, 600, 5000, -5000).x, 799);
    EXPECT_EQ(held_pointer_motion(800, 600, 5000, -5000).yrel, -300);
    HeldMotion tiny = held_pointer_motion(1, 1, 3, -3);
    EXPECT_EQ(tiny.x, 0);
    EXPECT_EQ(tiny.xrel, 0);
    EXPECT_EQ(tiny.yrel, 0);
}

TEST_F(ShellTest, SettingTheSameStateAgainReselectsItsFirstButton)
{
    key(SDLK_DOWN);
    set_program_state(PS_MAINMENU);
    EXPECT_STREQ(selected_text(), "Play");
    set_program_state(PS_NONE);
    EXPECT_FALSE(shown("Play"));
}

using ShellDeathTest = ShellTest;

TEST_F(ShellDeathTest, MenuCallbacksStopTheProgramOutsideTheirState)
{
    EXPECT_DEATH(cb_pausemenu_continue(0), "check failed: main_state == PS_PAUSEMENU");
    EXPECT_DEATH(cb_pausemenu_quit(0), "check failed: main_state == PS_PAUSEMENU");
    set_program_state(PS_PAUSEMENU);
    EXPECT_DEATH(cb_mainmenu_play(0), "check failed: main_state == PS_MAINMENU");
    EXPECT_DEATH(cb_mainmenu_quit(0), "check failed: main_state == PS_MAINMENU");
}

}  // namespace
