// Feeds arbitrary bytes to load_image as a .bmp file.
#include "image_checks.h"
#include "scratch_file.h"
#include "sdlmisc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SDL_Surface* s = load_image(write_scratch("bmp", data, size));
    remove_scratch("bmp");
    if (!s)
        return 0;
    check_loaded_surface(s);
    SDL_FreeSurface(s);
    return 0;
}
