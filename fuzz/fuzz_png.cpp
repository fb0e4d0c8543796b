// Feeds arbitrary bytes to load_image as a .png file.
#include <cstring>
#include <vector>

#include "check.h"
#include "image_checks.h"
#include "scratch_file.h"
#include "sdlmisc.h"

namespace {

// The CRC-32 that closes a PNG chunk, over its type and data.
uint32_t chunk_crc(const uint8_t* p, size_t n)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return crc ^ 0xFFFFFFFFu;
}

// libpng refuses a chunk whose CRC does not match, so nearly every mutation would stop at
// the first chunk it touched and the decoder would never see odd headers or palettes.
// Every complete chunk after the signature gets its CRC recomputed.
void fix_chunk_crcs(std::vector<uint8_t>* b)
{
    size_t pos = 8;
    while (pos + 12 <= b->size()) {
        size_t length = input_u32_be(b->data() + pos);
        if (length > b->size() - pos - 12)
            break;
        uint32_t crc = chunk_crc(b->data() + pos + 4, length + 4);
        uint8_t* out = b->data() + pos + 8 + length;
        for (int i = 0; i < 4; i++)
            out[i] = (uint8_t)(crc >> (24 - 8 * i));
        pos += length + 12;
    }
}

// The data of the first complete IHDR chunk, walking the chunks from the signature on; null
// if there is none.
const uint8_t* first_header(const std::vector<uint8_t>& b)
{
    size_t pos = 8;
    while (pos + 12 <= b.size()) {
        size_t length = input_u32_be(b.data() + pos);
        if (length > b.size() - pos - 12)
            return nullptr;
        if (std::memcmp(b.data() + pos + 4, "IHDR", 4) == 0)
            return length >= 8 ? b.data() + pos + 8 : nullptr;
        pos += length + 12;
    }
    return nullptr;
}

// True for a header the loader accepts whose image is over a million pixels. Such an image
// runs the same code as a small one, only longer, and allocates up to 128 MiB on the way, so
// the fuzzer would spend its time and memory there; sizes past the limits are refused before
// any allocation and stay in.
bool large_but_allowed(const std::vector<uint8_t>& b)
{
    const uint8_t* ihdr = first_header(b);
    if (!ihdr)
        return false;
    uint64_t width = input_u32_be(ihdr), height = input_u32_be(ihdr + 4);
    return width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE && width * height > (1u << 20) &&
           width * height <= IMAGE_MAX_PIXELS;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<uint8_t> bytes;
    bytes.assign(data, data + size);
    if (large_but_allowed(bytes))
        return -1;  // kept out of the corpus
    // Odd-length inputs go in as they are, so the CRC checks themselves are fuzzed too.
    if (size % 2 == 0)
        fix_chunk_crcs(&bytes);
    SDL_Surface* s = load_image(write_scratch("png", bytes.data(), size));
    remove_scratch("png");
    if (!s)
        return 0;
    check_loaded_surface(s);
    // The surface has the size of the file's header chunk, not a size derived from some
    // other chunk. Ancillary chunks the loader skips may come before it.
    const uint8_t* ihdr = first_header(bytes);
    CHECK(ihdr != nullptr);
    CHECK((uint32_t)s->w == input_u32_be(ihdr));
    CHECK((uint32_t)s->h == input_u32_be(ihdr + 4));
    SDL_FreeSurface(s);
    return 0;
}
