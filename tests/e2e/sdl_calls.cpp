// A preloaded library that writes down how the game asks SDL for its window, one line a call,
// into the file named by $QUORVALE_SDL_CALLS, and passes every call on to SDL:
//   SDL_GL_SetAttribute <attribute number, or SWAP_CONTROL / DOUBLEBUFFER> <value>
//   SDL_SetVideoMode <w> <h> <bpp> <flags in hex>
// With $QUORVALE_SDL_FRAMES naming another file, it also writes there one line a frame and one
// a buffer swap, so that a test can tell the frames drawn from those the loop ran:
//   frame   the game found SDL's event queue empty, which ends each frame's event handling
//   swap    SDL_GL_SwapBuffers, a frame drawn and shown
// Built by the end-to-end scripts that need it: g++ -shared -fPIC -o sdl_calls.so sdl_calls.cpp -ldl
#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
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

// Appends one line to the frame log; the file stays open, as a line comes every frame.
void note_frame(const char* line, size_t length)
{
    static int fd = -2;
    if (fd == -2) {
        const char* path = std::getenv("QUORVALE_SDL_FRAMES");
        fd = path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }
    if (fd >= 0 && write(fd, line, length) < 0)
        std::perror("sdl_calls: frame log");
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

extern "C" int SDL_PollEvent(SDL_Event* event)
{
    static auto poll = next<int (*)(SDL_Event*)>("SDL_PollEvent");
    int got = poll(event);
    if (!got)
        note_frame("frame\n", 6);
    return got;
}

extern "C" void SDL_GL_SwapBuffers()
{
    static auto swap = next<void (*)()>("SDL_GL_SwapBuffers");
    note_frame("swap\n", 5);
    swap();
}
