// Drawing of one frame: the fixed render state, the world or a black screen,
// and the overlay of crosshair, menus and the drawn pointer.
#include "shell.h"

#include <GL/gl.h>

#include "glmisc.h"
#include "gui.h"
#include "netgame.h"
#include "render.h"
#include "versus.h"

namespace {

void draw_crosshair(int w, int h)
{
    glBegin(GL_LINES);
    glVertex2i(w / 2 - 10, h / 2);
    glVertex2i(w / 2 + 10, h / 2);
    glVertex2i(w / 2, h / 2 - 10);
    glVertex2i(w / 2, h / 2 + 10);
    glEnd();
}

// The pointer image, its top-left corner at the pointer, 16 x 16 pixels.
void draw_pointer(int h)
{
    int x, y;
    SDL_GetMouseState(&x, &y);
    y = h - 1 - y;
    const float a = 1.0f / 16, b = 1.0f / 8;
    glBegin(GL_QUADS);
    glTexCoord2f(a, a);
    glVertex2i(x, y - 16);
    glTexCoord2f(b, a);
    glVertex2i(x + 16, y - 16);
    glTexCoord2f(b, 0);
    glVertex2i(x + 16, y);
    glTexCoord2f(a, 0);
    glVertex2i(x, y);
    glEnd();
}

}  // namespace

void draw_gui()
{
    int w = main_screen->w, h = main_screen->h;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);

    if (main_mouse_grabbed)
        draw_crosshair(w, h);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, main_misc_texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

    gui_draw(main_guielems, main_guielemc, w / 2, h / 2);
    versus_draw_end(w, h);
    netgame_draw_end(w, h);
    if (const char* net = netgame_status())
        gui_draw_text_shadowed(10, h - 30, 16, net);

    if (!main_mouse_grabbed)
        draw_pointer(h);
    glDisable(GL_TEXTURE_2D);
}

void draw_screen()
{
    reset_opengl_state();
    // The world is drawn in play and under the pause menu; the main menu is on black.
    if (main_state == PS_INGAME || main_state == PS_INGAMEMENU || main_state == PS_PAUSEMENU) {
        draw_game();
    } else {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    draw_gui();
    SDL_GL_SwapBuffers();
}
