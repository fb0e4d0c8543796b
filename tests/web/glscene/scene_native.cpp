// The desktop half: loads the game's images as the game does, writes them raw for the page,
// draws the frame with Mesa and writes it as native.ppm.
//   scene_native <resources/images folder> <output folder>
#include <cstdio>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <SDL/SDL.h>

#include "scene.h"
#include "sdlmisc.h"

namespace {

u8 orange[4] = {255, 128, 0, 255};
u8 dark_orange[4] = {128, 64, 0, 255};
u8 green[4] = {128, 255, 0, 255};
u8 dark_green[4] = {64, 128, 0, 255};
u8 mid_green[4] = {0, 128, 0, 255};
u8 transparent[4] = {0, 0, 0, 0};

bool write_raw(SDL_Surface* s, const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    for (int y = 0; y < s->h; y++)
        std::fwrite(static_cast<u8*>(s->pixels) + y * s->pitch, 4, s->w, f);
    return std::fclose(f) == 0;
}

// The textures as textures.cpp makes them: orange transparent in the voxel and interface
// images, mid green in the entity image, whose party colours become greens for party 1.
bool convert_images(const std::string& in, const std::string& out)
{
    SDL_Surface* voxel = load_image((in + "/voxel.png").c_str());
    SDL_Surface* misc = load_image((in + "/misc.png").c_str());
    SDL_Surface* entity = load_image((in + "/entity.png").c_str());
    if (!voxel || !misc || !entity)
        return false;
    replace_color(voxel, orange, transparent);
    replace_color(misc, orange, transparent);
    replace_color(entity, mid_green, transparent);
    bool ok = write_raw(voxel, out + "/voxel.rgba") && write_raw(misc, out + "/misc.rgba") &&
              write_raw(entity, out + "/entity0.rgba");
    replace_color(entity, orange, green);
    replace_color(entity, dark_orange, dark_green);
    ok = ok && write_raw(entity, out + "/entity1.rgba");
    SDL_FreeSurface(voxel);
    SDL_FreeSurface(misc);
    SDL_FreeSurface(entity);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: scene_native <images folder> <output folder>\n");
        return 2;
    }
    std::string out = argv[2];
    if (!convert_images(argv[1], out))
        return 1;
    SDL_Init(SDL_INIT_VIDEO);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(SCENE_W, SCENE_H, 16, SDL_OPENGL) || !scene_init(out.c_str())) {
        std::fprintf(stderr, "no OpenGL window or scene: %s\n", SDL_GetError());
        return 1;
    }
    scene_draw(0, false);
    glFinish();
    std::vector<u8> pixels(SCENE_W * SCENE_H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, SCENE_W, SCENE_H, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    FILE* f = std::fopen((out + "/native.ppm").c_str(), "wb");
    std::fprintf(f, "P6\n%d %d\n255\n", SCENE_W, SCENE_H);
    for (int y = SCENE_H - 1; y >= 0; y--)
        std::fwrite(&pixels[y * SCENE_W * 3], 3, SCENE_W, f);
    std::fclose(f);
    SDL_Quit();
    return 0;
}
