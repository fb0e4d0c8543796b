#include "textures.h"

#include <climits>
#include <cstdio>

#include <SDL/SDL.h>
#include <GL/gl.h>

#include "datadir.h"
#include "sdlmisc.h"
#include "shell.h"

u8 party_colors[2][2][4] = {
    {{255, 128, 0, 255}, {128, 64, 0, 255}},
    {{128, 255, 0, 255}, {64, 128, 0, 255}},
};

namespace {

u8 orange[4] = {255, 128, 0, 255};
u8 mid_green[4] = {0, 128, 0, 255};
u8 transparent[4] = {0, 0, 0, 0};

// Uploads the surface into a new texture with linear filtering: 0, or -1 when the
// surface has no OpenGL pixel format.
int upload(SDL_Surface* surface, GLuint* texture)
{
    GLenum format;
    GLint num_colors;
    if (get_surface_opengl_format(surface, &format, &num_colors) != 0)
        return -1;
    glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // The symbolic internal format means what the component count does; WebGL takes only it.
    GLint internal_format = num_colors == 4 ? GL_RGBA : GL_RGB;
    glTexImage2D(GL_TEXTURE_2D, 0, internal_format, surface->w, surface->h, 0, format,
                 GL_UNSIGNED_BYTE, surface->pixels);
    return 0;
}

// Loads the image `file` (a "resources/..." path), turns `key` transparent and uploads it.
int load_keyed(const char* file, u8* key, GLuint* texture, const char* failure)
{
    char path[PATH_MAX];
    SDL_Surface* surface = load_image(data_path(file, path, sizeof(path)));
    if (!surface) {
        std::fprintf(stderr, "%s", failure);
        return -1;
    }
    replace_color(surface, key, transparent);
    int result = upload(surface, texture);
    SDL_FreeSurface(surface);
    return result;
}

int load_party_textures()
{
    char path[PATH_MAX];
    SDL_Surface* surface =
        load_image(data_path("resources/images/entity.png", path, sizeof(path)));
    if (!surface) {
        std::fprintf(stderr, "Could not load main entity texture\n");
        return -1;
    }
    // Orange is a party colour in this file, so mid green marks the transparent pixels.
    replace_color(surface, mid_green, transparent);
    for (int p = 0; p < 2; p++) {
        SDL_Surface* copy = copy_surface(surface);
        if (!copy) {
            SDL_FreeSurface(surface);
            return -1;
        }
        replace_color(copy, party_colors[0][0], party_colors[p][0]);
        replace_color(copy, party_colors[0][1], party_colors[p][1]);
        int result = upload(copy, &main_entity_textures[p]);
        SDL_FreeSurface(copy);
        if (result != 0) {
            SDL_FreeSurface(surface);
            return -1;
        }
    }
    SDL_FreeSurface(surface);
    return 0;
}

}  // namespace

int load_textures()
{
    if (load_keyed("resources/images/voxel.png", orange, &main_voxel_texture,
                   "Could not load main voxel texture\n") != 0)
        return -1;
    if (load_party_textures() != 0)
        return -1;
    return load_keyed("resources/images/misc.png", orange, &main_misc_texture,
                      "Could not load main misc texture\n");
}
