// Feeds arbitrary bytes to sound_load. The bank is emptied after every input, so the
// hundred-sound limit is never what refuses a file.
#include "check.h"
#include "scratch_file.h"
#include "sound.h"
#include "sound_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = write_scratch("wav", data, size);
    int result = sound_load("fuzz", path);
    remove_scratch("wav");
    if (result == 0) {
        // A loaded file had the whole 44-byte header and at least the data it claimed.
        CHECK(size >= 44);
        uint32_t datasize = input_u32_le(data + 40);
        uint32_t channels = data[22] | (data[23] << 8);
        CHECK(datasize <= size - 44);
        CHECK(sound_bank_count() == 1);
        const Sound* s = sound_bank_get(find_sound("fuzz"));
        CHECK(s != nullptr && s->buf != nullptr);
        CHECK(s->len == (int)(channels == 1 ? datasize / 2 : datasize / 4));
        // Every frame the mixer may read, and the samples themselves as the file stored them.
        const uint8_t* raw = data + 44;
        for (int i = 0; i < s->len * 2; i++) {
            int sample = channels == 1 ? i / 2 : i;
            s16 expected = (s16)(raw[sample * 2] | (raw[sample * 2 + 1] << 8));
            CHECK(s->buf[i] == expected);
        }
    } else {
        CHECK(result == -1);
        CHECK(sound_bank_count() == 0);
    }
    sound_reset();
    return 0;
}
