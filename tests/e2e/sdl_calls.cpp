// A preloaded library that writes down how the game asks SDL for its window, one line a call,
// into the file named by $QUORVALE_SDL_CALLS, and passes every call on to SDL:
//   SDL_GL_SetAttribute <attribute number, or SWAP_CONTROL / DOUBLEBUFFER> <value>
//   SDL_SetVideoMode <w> <h> <bpp> <flags in hex>
// Built by the end-to-end scripts that need it: g++ -shared -fPIC -o sdl_calls.so sdl_calls.cpp -ldl
#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>
#include <SDL/SDL.h>

namespace {

void note(const char* format, long a, long b, long c, unsigned long d)
{
    const char* path = std::getenv("QUORVALE_SDL_CALLS");
    if (!path)
        return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, format, a, b, c, d);
        std::fclose(f);
    }
}

template <typename Fn>
Fn next(const char* name)
{
    void* fn = dlsym(RTLD_NEXT, name);
    if (!fn) {
        std::fprintf(stderr, "sdl_calls: %s not found\n", name);
        std::abort();
    }
    return reinterpret_cast<Fn>(fn);
}

}  // namespace

extern "C" int SDL_GL_SetAttribute(SDL_GLattr attr, int value)
{
    if (attr == SDL_GL_SWAP_CONTROL)
        note("SDL_GL_SetAttribute SWAP_CONTROL %ld\n", value, 0, 0, 0);
    else if (attr == SDL_GL_DOUBLEBUFFER)
        note("SDL_GL_SetAttribute DOUBLEBUFFER %ld\n", value, 0, 0, 0);
    else
        note("SDL_GL_SetAttribute %ld %ld\n", attr, value, 0, 0);
    return next<int (*)(SDL_GLattr, int)>("SDL_GL_SetAttribute")(attr, value);
}

extern "C" SDL_Surface* SDL_SetVideoMode(int w, int h, int bpp, Uint32 flags)
{
    note("SDL_SetVideoMode %ld %ld %ld %lx\n", w, h, bpp, flags);
    return next<SDL_Surface* (*)(int, int, int, Uint32)>("SDL_SetVideoMode")(w, h, bpp, flags);
}
