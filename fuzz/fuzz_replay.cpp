// Feeds arbitrary bytes to the replay loader. An input that starts with "QREP" is a file as
// the game writes it. One that starts with "QRAW" is a header followed by the records
// uncompressed: the target compresses them first, so that mutations reach the record checks
// rather than dying in the compressed stream (the seeds hold both forms of real recordings).
#include <cstring>
#include <vector>

#include <zlib.h>

#include "check.h"
#include "gamerecord.h"

namespace {

// Everything a loaded record promises to whoever plays it.
void check_loaded(const GameRecord& rec, size_t input_size)
{
    CHECK(rec.records.size() <= GAMERECORD_MAX_RECORDS);
    CHECK(rec.start.map_w > 0 && rec.start.map_h > 0 && rec.start.map_d > 0);
    CHECK(rec.frames <= GAMERECORD_MAX_FRAMES);
    // Walking a long game step by step would only repeat the same records for longer.
    if (rec.frames > 1000000)
        return;
    RecordCursor c;
    record_cursor_init(&c, &rec);
    static RecordEvent ev;
    u32 steps = 0;
    bool ended = false;
    for (record_cursor_next(&c, &ev); ev.type != EVENT_NONE; record_cursor_next(&c, &ev)) {
        CHECK(!ended);
        switch (ev.type) {
        case EVENT_STEP:
            CHECK(ev.dtime >= 0 && ev.dtime <= GAMERECORD_MAX_STEP);
            steps++;
            break;
        case EVENT_ORDER:
            CHECK(ev.order.kind == ORDER_TRAVEL || ev.order.kind == ORDER_ATTACK);
            CHECK(ev.order.party == 0 || ev.order.party == 1);
            CHECK(ev.order.uid_count >= 1 && ev.order.uid_count <= ORDER_MAX_UIDS);
            break;
        case EVENT_HASH:
            CHECK(ev.frame == steps);
            break;
        case EVENT_END:
            CHECK(ev.frame == steps);
            ended = true;
            break;
        default:
            break;
        }
    }
    CHECK(steps == rec.frames);
    CHECK(ended == rec.finished);
    (void)input_size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static GameRecord rec;
    char err[512];
    std::vector<u8> file;
    if (size >= 4 && std::memcmp(data, "QRAW", 4) == 0 && size >= (size_t)GAMERECORD_HEADER_SIZE) {
        file.assign(data, data + GAMERECORD_HEADER_SIZE);
        std::memcpy(file.data(), "QREP", 4);
        uLongf n = compressBound(size - GAMERECORD_HEADER_SIZE);
        file.resize(GAMERECORD_HEADER_SIZE + n);
        CHECK(compress(file.data() + GAMERECORD_HEADER_SIZE, &n, data + GAMERECORD_HEADER_SIZE,
                       size - GAMERECORD_HEADER_SIZE) == Z_OK);
        file.resize(GAMERECORD_HEADER_SIZE + n);
        data = file.data();
        size = file.size();
    }
    if (gamerecord_parse(data, size, "fuzz.qrep", &rec, err, sizeof err)) {
        check_loaded(rec, size);
    } else {
        // One line, naming the file.
        CHECK(std::strncmp(err, "fuzz.qrep: ", 11) == 0);
        CHECK(std::strchr(err, '\n') == nullptr);
    }
    return 0;
}
