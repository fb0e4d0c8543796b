// A real OpenGL context for tests: an SDL 1.2 OpenGL window, opened once per test
// suite under Xvfb (the test command runs the suites there; Mesa renders in software).
//
//   class MyGlTest : public GlContextTest {};
//   TEST_F(MyGlTest, Draws) { ... GL calls ... }
//
// The window is opened before the suite's first test and closed after its last.
// Without an X display the tests fail with SDL's reason rather than being skipped.
#pragma once

#include <string>

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include "keep_libraries.h"

class GlContextTest : public ::testing::Test {
public:
    static constexpr int kWidth = 64;   // window size in pixels
    static constexpr int kHeight = 64;

    static void SetUpTestSuite() { open_window(); }
    static void TearDownTestSuite() { close_window(); }

protected:
    void SetUp() override { ASSERT_TRUE(window_open()) << "no OpenGL window: " << open_error(); }

    // Opens the window if it is not open yet; false with open_error() set when SDL fails.
    static bool open_window()
    {
        if (window_open())
            return true;
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            open_error() = std::string("SDL_Init: ") + SDL_GetError();
            return false;
        }
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        if (!SDL_SetVideoMode(kWidth, kHeight, 0, SDL_OPENGL)) {
            open_error() = std::string("SDL_SetVideoMode: ") + SDL_GetError();
            SDL_Quit();
            return false;
        }
        window_open() = true;
        return true;
    }

    static void close_window()
    {
        if (!window_open())
            return;
        keep_libraries_mapped();
        SDL_Quit();
        window_open() = false;
    }

    static bool& window_open()
    {
        static bool open = false;
        return open;
    }

    static std::string& open_error()
    {
        static std::string error = "not opened";
        return error;
    }
};
