// Reading a game record: a bounded loader in the manner of the image loaders. The whole file
// is read (within its limit), inflated into a buffer that grows with what comes out, and every
// record is checked once here, so that playing it later only decodes.
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include <zlib.h>

#include "gamerecord.h"

namespace {

u32 get16(const u8* p)
{
    return (u32)p[0] | (u32)p[1] << 8;
}
u32 get32(const u8* p)
{
    return (u32)p[0] | (u32)p[1] << 8 | (u32)p[2] << 16 | (u32)p[3] << 24;
}
u64 get64(const u8* p)
{
    return (u64)get32(p) | (u64)get32(p + 4) << 32;
}
float get_float(const u8* p)
{
    u32 bits = get32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool fail(char* err, size_t err_size, const char* name, const char* fmt, ...)
{
    char what[200];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(what, sizeof what, fmt, ap);
    va_end(ap);
    std::snprintf(err, err_size, "%s: %s", name, what);
    return false;
}

// The size of the record starting at p (at least its type byte there), or 0 for an unknown
// type; an order's size needs its count, so `avail` tells how much is there to look at.
size_t record_size(const u8* p, size_t avail)
{
    switch (p[0]) {
    case 'S':
    case 'G':
        return 5;
    case 'R':
        return 3;
    case 'H':
    case 'E':
        return 13;
    case 'O':
        return avail < 5 ? 25 : 25 + 4 * (size_t)get16(p + 3);
    default:
        return 0;
    }
}

void decode_order(const u8* p, Order* o)
{
    o->kind = (OrderKind)p[1];
    o->party = p[2];
    o->uid_count = (int)get16(p + 3);
    o->group_size = (int)get32(p + 5);
    o->cell.x = (s32)get32(p + 9);
    o->cell.y = (s32)get32(p + 13);
    o->cell.z = (s32)get32(p + 17);
    o->target_uid = get32(p + 21);
    for (int i = 0; i < o->uid_count && i < ORDER_MAX_UIDS; i++)
        o->uids[i] = get32(p + 25 + 4 * i);
}

// The stream inflated into out; false with the reason. A stream that stops short without an
// error (the writer's last flush before it was cut off) is all there is.
bool inflate_records(const u8* data, size_t size, std::vector<u8>* out, const char* name, char* err,
                     size_t err_size)
{
    z_stream s = {};
    if (inflateInit(&s) != Z_OK)
        return fail(err, err_size, name, "cannot start decompressing");
    s.next_in = (Bytef*)data;
    s.avail_in = (uInt)size;
    out->clear();
    size_t have = 0;
    int r = Z_OK;
    while (r != Z_STREAM_END) {
        if (out->size() - have < 4096) {
            size_t grow = out->size() < 65536 ? 65536 : out->size();
            if (out->size() + grow > GAMERECORD_MAX_RECORDS + 4096) {
                inflateEnd(&s);
                return fail(err, err_size, name, "the records inflate to more than %zu MB",
                            GAMERECORD_MAX_RECORDS >> 20);
            }
            out->resize(out->size() + grow);
        }
        s.next_out = out->data() + have;
        s.avail_out = (uInt)(out->size() - have);
        r = inflate(&s, Z_NO_FLUSH);
        have = out->size() - s.avail_out;
        if (r == Z_BUF_ERROR && s.avail_in == 0)
            break;  // cut off: the input ended before the stream did
        if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) {
            inflateEnd(&s);
            return fail(err, err_size, name, "the compressed records are damaged (%s)",
                        s.msg ? s.msg : "zlib error");
        }
        if (r == Z_OK && s.avail_in == 0 && s.avail_out != 0)
            break;  // everything given was inflated and the stream is not over
    }
    size_t trailing = s.avail_in;
    inflateEnd(&s);
    if (r == Z_STREAM_END && trailing > 0)
        return fail(err, err_size, name, "%zu bytes after the end of the records", trailing);
    out->resize(have);
    if (have > GAMERECORD_MAX_RECORDS)
        return fail(err, err_size, name, "the records inflate to more than %zu MB", GAMERECORD_MAX_RECORDS >> 20);
    return true;
}

bool check_records(GameRecord* rec, const char* name, char* err, size_t err_size)
{
    const std::vector<u8>& r = rec->records;
    const GameStart& st = rec->start;
    size_t pos = 0;
    u32 frames = 0;
    double seconds = 0;
    bool have_step = false;
    float last_dt = 0;
    long last_hash_frame = -1;
    rec->finished = false;
    static Order order;
    while (pos < r.size()) {
        const u8* p = r.data() + pos;
        size_t avail = r.size() - pos;
        size_t n = record_size(p, avail);
        if (n == 0)
            return fail(err, err_size, name, "unknown record type 0x%02x at record byte %zu", p[0], pos);
        if (rec->finished)
            return fail(err, err_size, name, "records after the end record");
        if (n > avail)
            return fail(err, err_size, name, "ends in the middle of a record at record byte %zu (truncated)", pos);
        switch (p[0]) {
        case 'S': {
            float dt = get_float(p + 1);
            if (!(dt >= 0 && dt <= GAMERECORD_MAX_STEP))  // NaN fails too
                return fail(err, err_size, name, "frame %u has the time step %g s", frames + 1, dt);
            have_step = true;
            last_dt = dt;
            frames++;
            seconds += dt;
            break;
        }
        case 'R': {
            u32 k = get16(p + 1);
            if (!have_step || k == 0)
                return fail(err, err_size, name, "a repeat record at record byte %zu repeats nothing", pos);
            frames += k;
            seconds += (double)k * last_dt;
            break;
        }
        case 'G':
            break;
        case 'O': {
            decode_order(p, &order);
            if (order.kind != ORDER_TRAVEL && order.kind != ORDER_ATTACK)
                return fail(err, err_size, name, "order of unknown kind %d before frame %u", (int)order.kind, frames + 1);
            if (order.party != 0 && order.party != 1)
                return fail(err, err_size, name, "order for party %d before frame %u", order.party, frames + 1);
            if (order.uid_count < 1 || order.uid_count > ORDER_MAX_UIDS)
                return fail(err, err_size, name, "order for %d entities before frame %u", order.uid_count, frames + 1);
            if (order.kind == ORDER_TRAVEL) {
                const V3i& c = order.cell;
                if (c.x < 0 || c.y < 0 || c.z < 0 || c.x >= st.map_w || c.y >= st.map_h || c.z >= st.map_d)
                    return fail(err, err_size, name, "travel order to (%d,%d,%d), outside the map, before frame %u",
                                c.x, c.y, c.z, frames + 1);
                if (order.group_size < order.uid_count || order.group_size > ORDER_MAX_GROUP)
                    return fail(err, err_size, name, "travel order with group size %d before frame %u",
                                order.group_size, frames + 1);
            }
            break;
        }
        case 'H':
        case 'E': {
            u32 f = get32(p + 1);
            // The end's hash may follow the hash of a game that ended on a whole second.
            if (f != frames || (p[0] == 'H' && (long)f == last_hash_frame))
                return fail(err, err_size, name, "a hash record for frame %u out of place (after frame %u)", f, frames);
            last_hash_frame = f;
            if (p[0] == 'E') {
                rec->finished = true;
                rec->end_hash = get64(p + 5);
            }
            break;
        }
        }
        if (frames > GAMERECORD_MAX_FRAMES)
            return fail(err, err_size, name, "more than %u frames", GAMERECORD_MAX_FRAMES);
        pos += n;
    }
    // The hash of frame 0 is the one record every game has: the armies as they were placed.
    if (r.empty() || r[0] != 'H')
        return fail(err, err_size, name, "the records do not start with the hash of frame 0");
    rec->frames = frames;
    rec->game_seconds = seconds;
    return true;
}

}  // namespace

bool gamerecord_parse(const u8* data, size_t size, const char* name, GameRecord* out, char* err,
                      size_t err_size)
{
    if (size < 4 || std::memcmp(data, "QREP", 4) != 0)
        return fail(err, err_size, name, "not a Quorvale replay (no QREP at its start)");
    if (size < (size_t)GAMERECORD_HEADER_SIZE)
        return fail(err, err_size, name, "the header is cut off (%zu of %d bytes)", size, GAMERECORD_HEADER_SIZE);
    u32 format = get16(data + 4);
    if (format > GAMERECORD_FORMAT)
        return fail(err, err_size, name,
                    "format version %u, newer than this game reads (%u): it was written by Quorvale %u.%u.%u",
                    format, GAMERECORD_FORMAT, get16(data + 6), get16(data + 8), get16(data + 10));
    if (format == 0)
        return fail(err, err_size, name, "format version 0 does not exist");
    GameStart& st = out->start;
    st.game_version[0] = (u16)get16(data + 6);
    st.game_version[1] = (u16)get16(data + 8);
    st.game_version[2] = (u16)get16(data + 10);
    st.second = (s64)get64(data + 12);
    st.generator = get32(data + 20);
    st.uid_counter = get32(data + 24);
    st.terrain = get64(data + 28);
    st.map_w = (u16)get16(data + 36);
    st.map_h = (u16)get16(data + 38);
    st.map_d = (u16)get16(data + 40);
    st.mode = data[42];
    st.controllers[0] = data[44];
    st.controllers[1] = data[45];
    st.sounds = data[46];
    if (st.mode != 0)
        return fail(err, err_size, name, "game mode %u is unknown", st.mode);
    if (data[43] != 2)
        return fail(err, err_size, name, "%u parties (the game has 2)", data[43]);
    for (int i = 0; i < 2; i++)
        if (st.controllers[i] < CONTROLLER_LOCAL || st.controllers[i] > CONTROLLER_REPLAY)
            return fail(err, err_size, name, "party %d has the unknown controller %u", i, st.controllers[i]);
    if (st.map_w == 0 || st.map_h == 0 || st.map_d == 0 || st.map_w > 1024 || st.map_h > 1024 || st.map_d > 256)
        return fail(err, err_size, name, "a map of %u x %u x %u cells", st.map_w, st.map_h, st.map_d);
    if (st.uid_counter == 0 || st.uid_counter > 0x7fffffffu)
        return fail(err, err_size, name, "the uid counter %u is out of range", st.uid_counter);
    if (!inflate_records(data + GAMERECORD_HEADER_SIZE, size - GAMERECORD_HEADER_SIZE, &out->records, name,
                         err, err_size))
        return false;
    if (out->records.empty())
        return fail(err, err_size, name, "no records after the header (truncated)");
    return check_records(out, name, err, err_size);
}

bool gamerecord_load(const char* path, GameRecord* out, char* err, size_t err_size)
{
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return fail(err, err_size, path, "cannot open: %s", std::strerror(errno));
    std::vector<u8> data;
    u8 buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (data.size() + n > (size_t)GAMERECORD_MAX_FILE) {
            std::fclose(f);
            return fail(err, err_size, path, "larger than %ld MB", GAMERECORD_MAX_FILE >> 20);
        }
        data.insert(data.end(), buf, buf + n);
    }
    bool read_error = std::ferror(f);
    std::fclose(f);
    if (read_error)
        return fail(err, err_size, path, "cannot read: %s", std::strerror(errno));
    return gamerecord_parse(data.data(), data.size(), path, out, err, err_size);
}

void record_cursor_init(RecordCursor* cursor, const GameRecord* record)
{
    cursor->record = record;
    cursor->pos = 0;
    cursor->repeats_left = 0;
    cursor->last_dtime = 0;
}

void record_cursor_next(RecordCursor* c, RecordEvent* ev)
{
    if (c->repeats_left > 0) {
        c->repeats_left--;
        ev->type = EVENT_STEP;
        ev->dtime = c->last_dtime;
        return;
    }
    const std::vector<u8>& r = c->record->records;
    if (c->pos >= r.size()) {
        ev->type = EVENT_NONE;
        return;
    }
    const u8* p = r.data() + c->pos;
    // The loader has checked every record, so each is whole here.
    c->pos += record_size(p, r.size() - c->pos);
    switch (p[0]) {
    case 'S':
        ev->type = EVENT_STEP;
        ev->dtime = c->last_dtime = get_float(p + 1);
        return;
    case 'R':
        c->repeats_left = get16(p + 1) - 1;
        ev->type = EVENT_STEP;
        ev->dtime = c->last_dtime;
        return;
    case 'G':
        ev->type = EVENT_GENERATOR;
        ev->generator = get32(p + 1);
        return;
    case 'O':
        ev->type = EVENT_ORDER;
        decode_order(p, &ev->order);
        return;
    case 'H':
    case 'E':
        ev->type = p[0] == 'H' ? EVENT_HASH : EVENT_END;
        ev->frame = get32(p + 1);
        ev->hash = get64(p + 5);
        return;
    default:
        ev->type = EVENT_NONE;
        c->pos = r.size();
        return;
    }
}
