// The browser half: draws the frame through the WebGL layer every animation frame. The third
// frame's pixels are handed to the page (window.scenePixels, bottom row first); with
// "?animate" in the address the camera turns and the frame rate is printed every second.
#include <cstdio>
#include <cstdlib>

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <emscripten.h>

#include "glweb.h"
#include "scene.h"

namespace {

int frame = 0;
bool animate = false;
double second_start = 0;
int frames_this_second = 0;

void hand_over_pixels()
{
    size_t bytes = SCENE_W * SCENE_H * 4;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(bytes));
    glweb_flush();
    glReadPixels(0, 0, SCENE_W, SCENE_H, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    EM_ASM({ window.scenePixels = HEAPU8.slice($0, $0 + $1); }, pixels, bytes);
    std::free(pixels);
}

void tick()
{
    scene_draw(frame, animate);
    if (++frame == 3)
        hand_over_pixels();
    SDL_GL_SwapBuffers();
    frames_this_second++;
    double now = emscripten_get_now();
    if (now - second_start >= 1000) {
        std::printf("FPS: %.2f\n", frames_this_second * 1000.0 / (now - second_start));
        second_start = now;
        frames_this_second = 0;
    }
}

}  // namespace

int main()
{
    animate = EM_ASM_INT({ return location.search.indexOf('animate') >= 0 ? 1 : 0; });
    SDL_Init(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(SCENE_W, SCENE_H, 16, SDL_OPENGL) || !scene_init("/scene")) {
        std::printf("no WebGL canvas or scene\n");
        return 1;
    }
    second_start = emscripten_get_now();
    emscripten_set_main_loop(tick, 0, 1);
    return 0;
}
