// Feeds arbitrary bytes to load_image as a .png file.
#include <cstring>

#include "check.h"
#include "image_checks.h"
#include "scratch_file.h"
#include "sdlmisc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SDL_Surface* s = load_image(write_scratch("png", data, size));
    if (!s)
        return 0;
    check_loaded_surface(s);
    // Anything that decodes began with the signature and an IHDR chunk: the surface has the
    // size the header gave, not a size derived from some later chunk.
    CHECK(size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0);
    CHECK((uint32_t)s->w == input_u32_be(data + 16));
    CHECK((uint32_t)s->h == input_u32_be(data + 20));
    SDL_FreeSurface(s);
    return 0;
}
