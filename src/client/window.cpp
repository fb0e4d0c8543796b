#include "window.h"

#include <cstdio>

#include <SDL/SDL.h>
#include <GL/gl.h>

#include "platform.h"
#include "shell.h"

bool window_open()
{
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    platform_before_window();
    main_screen = SDL_SetVideoMode(WINDOW_START_W, WINDOW_START_H, 16, SDL_OPENGL | SDL_RESIZABLE);
    return main_screen != nullptr;
}

bool window_set_mode(int w, int h, bool fullscreen)
{
    Uint32 flags = SDL_OPENGL | (fullscreen ? SDL_FULLSCREEN : SDL_RESIZABLE);
    SDL_Surface* screen = SDL_SetVideoMode(w, h, 16, flags);
    bool made = screen != nullptr;
    if (!made) {
        std::fprintf(stderr, "Could not resize the window to %ix%i: %s\n", w, h, SDL_GetError());
        // Reading a window size from a null surface would crash; whatever SDL still has will do.
        screen = SDL_GetVideoSurface();
    }
    if (!screen) {
        main_run = false;
        return false;
    }
    main_screen = screen;
    glViewport(0, 0, main_screen->w, main_screen->h);
    // The mode change moves the pointer under the game; its first motion reports are stale.
    main_ignore_next_mouse_movements = 2;
    return made;
}
