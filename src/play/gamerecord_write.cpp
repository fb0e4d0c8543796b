// Writing a game record as the game goes: records gather in a small buffer, pass through
// deflate when it fills, and reach the file at each flush.
#include <cerrno>
#include <cmath>
#include <cstring>

#include <zlib.h>

#include "gamerecord.h"
#include "random.h"
#include "worldhash.h"

#ifndef QUORVALE_VERSION_MAJOR
#define QUORVALE_VERSION_MAJOR 0
#define QUORVALE_VERSION_MINOR 0
#define QUORVALE_VERSION_PATCH 0
#endif

const char* const GAMERECORD_SOUND_COLLECTIONS[6] = {"ok", "shoot", "shoot_missile", "hit", "explode",
                                                     "explode_large"};

namespace {

void put16(u8* p, u32 v)
{
    p[0] = (u8)v;
    p[1] = (u8)(v >> 8);
}
void put32(u8* p, u32 v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (u8)(v >> (8 * i));
}
void put64(u8* p, u64 v)
{
    for (int i = 0; i < 8; i++)
        p[i] = (u8)(v >> (8 * i));
}

z_stream* zs(GameRecorder* rec)
{
    return (z_stream*)rec->stream;
}

// Passes `len` bytes through deflate with `flush` and writes what comes out.
void deflate_out(GameRecorder* rec, const u8* data, size_t len, int flush)
{
    if (rec->failed || !rec->stream)
        return;
    z_stream* s = zs(rec);
    s->next_in = (Bytef*)data;
    s->avail_in = (uInt)len;
    u8 out[8192];
    for (;;) {
        s->next_out = out;
        s->avail_out = sizeof out;
        int r = deflate(s, flush);
        if (r == Z_STREAM_ERROR) {
            rec->failed = true;
            return;
        }
        size_t n = sizeof out - s->avail_out;
        if (n > 0 && std::fwrite(out, 1, n, rec->file) != n) {
            rec->failed = true;
            return;
        }
        // Done when deflate has taken everything and had room to spare for what it owed.
        if (s->avail_in == 0 && s->avail_out != 0)
            return;
    }
}

void drain(GameRecorder* rec, int flush)
{
    deflate_out(rec, rec->pending, (size_t)rec->pending_len, flush);
    rec->pending_len = 0;
}

// Room for a record of `len` bytes in the buffer.
u8* reserve(GameRecorder* rec, int len)
{
    if (rec->pending_len + len > (int)sizeof rec->pending)
        drain(rec, Z_NO_FLUSH);
    u8* p = rec->pending + rec->pending_len;
    rec->pending_len += len;
    rec->unflushed = true;
    return p;
}

void write_repeats(GameRecorder* rec)
{
    while (rec->repeats > 0) {
        u32 n = rec->repeats > 65535 ? 65535 : rec->repeats;
        u8* p = reserve(rec, 3);
        p[0] = 'R';
        put16(p + 1, n);
        rec->repeats -= n;
    }
}

void write_hash(GameRecorder* rec, u8 type, const GameEnv* env)
{
    write_repeats(rec);
    u8* p = reserve(rec, 13);
    p[0] = type;
    put32(p + 1, rec->frames);
    put64(p + 5, world_hash(env));
}

// Writes out what deflate holds and flushes the file.
bool flush_stream(GameRecorder* rec)
{
    if (!rec->file)
        return false;
    write_repeats(rec);
    if (!rec->unflushed)
        return !rec->failed;
    rec->unflushed = false;
    drain(rec, Z_SYNC_FLUSH);
    if (!rec->failed && std::fflush(rec->file) != 0)
        rec->failed = true;
    return !rec->failed;
}

}  // namespace

bool recorder_open(GameRecorder* rec, const char* path, const GameStart* start, const GameEnv* env,
                   char* err, size_t err_size)
{
    std::memset(rec, 0, sizeof *rec);
    rec->file = std::fopen(path, "wb");
    if (!rec->file) {
        std::snprintf(err, err_size, "cannot create %s: %s", path, std::strerror(errno));
        return false;
    }
    u8 h[GAMERECORD_HEADER_SIZE] = {};
    std::memcpy(h, "QREP", 4);
    put16(h + 4, GAMERECORD_FORMAT);
    put16(h + 6, QUORVALE_VERSION_MAJOR);
    put16(h + 8, QUORVALE_VERSION_MINOR);
    put16(h + 10, QUORVALE_VERSION_PATCH);
    put64(h + 12, (u64)start->second);
    put32(h + 20, start->generator);
    put32(h + 24, start->uid_counter);
    put64(h + 28, start->terrain);
    put16(h + 36, start->map_w);
    put16(h + 38, start->map_h);
    put16(h + 40, start->map_d);
    h[42] = start->mode;
    h[43] = 2;
    h[44] = start->controllers[0];
    h[45] = start->controllers[1];
    h[46] = start->sounds;
    z_stream* s = new z_stream();
    if (deflateInit(s, Z_DEFAULT_COMPRESSION) != Z_OK) {
        delete s;
        std::fclose(rec->file);
        rec->file = nullptr;
        std::snprintf(err, err_size, "cannot start compressing %s", path);
        return false;
    }
    rec->stream = s;
    rec->generator_after_step = myrand_state();
    rec->next_hash_time = 1.0;
    if (std::fwrite(h, 1, sizeof h, rec->file) != sizeof h)
        rec->failed = true;
    write_hash(rec, 'H', env);
    if (!recorder_flush(rec)) {
        std::snprintf(err, err_size, "cannot write %s: %s", path, std::strerror(errno));
        recorder_abandon(rec);
        return false;
    }
    return true;
}

void recorder_order(GameRecorder* rec, const Order* order)
{
    if (!rec->file || order->uid_count < 1 || order->uid_count > ORDER_MAX_UIDS)
        return;
    write_repeats(rec);
    u8* p = reserve(rec, 1 + 24 + 4 * order->uid_count);
    p[0] = 'O';
    p[1] = (u8)order->kind;
    p[2] = (u8)order->party;
    put16(p + 3, (u32)order->uid_count);
    put32(p + 5, (u32)order->group_size);
    put32(p + 9, (u32)order->cell.x);
    put32(p + 13, (u32)order->cell.y);
    put32(p + 17, (u32)order->cell.z);
    put32(p + 21, order->target_uid);
    for (int i = 0; i < order->uid_count; i++)
        put32(p + 25 + 4 * i, order->uids[i]);
}

void recorder_before_step(GameRecorder* rec)
{
    if (!rec->file)
        return;
    u32 now = myrand_state();
    if (now == rec->generator_after_step)
        return;
    write_repeats(rec);
    u8* p = reserve(rec, 5);
    p[0] = 'G';
    put32(p + 1, now);
}

void recorder_after_step(GameRecorder* rec, float dtime, const GameEnv* env)
{
    if (!rec->file)
        return;
    u32 bits;
    std::memcpy(&bits, &dtime, sizeof bits);
    if (rec->have_step && bits == rec->last_step_bits) {
        rec->repeats++;
    } else {
        write_repeats(rec);
        u8* p = reserve(rec, 5);
        p[0] = 'S';
        put32(p + 1, bits);
        rec->last_step_bits = bits;
        rec->have_step = true;
    }
    rec->frames++;
    rec->game_time += dtime;
    rec->generator_after_step = myrand_state();
    if (rec->game_time >= rec->next_hash_time) {
        write_hash(rec, 'H', env);
        rec->next_hash_time = std::floor(rec->game_time) + 1.0;
        if (rec->by_game_time)
            flush_stream(rec);
    }
}

bool recorder_flush(GameRecorder* rec)
{
    if (rec->file && rec->by_game_time)
        return !rec->failed;
    return flush_stream(rec);
}

void recorder_flush_by_game_time(GameRecorder* rec)
{
    rec->by_game_time = true;
}

bool recorder_close(GameRecorder* rec, const GameEnv* env)
{
    if (!rec->file)
        return false;
    // Draws since the last update (an answer to a last click) are part of the final state.
    recorder_before_step(rec);
    write_hash(rec, 'E', env);
    drain(rec, Z_FINISH);
    bool ok = !rec->failed;
    deflateEnd(zs(rec));
    delete zs(rec);
    rec->stream = nullptr;
    if (std::fclose(rec->file) != 0)
        ok = false;
    rec->file = nullptr;
    return ok;
}

void recorder_abandon(GameRecorder* rec)
{
    if (rec->stream) {
        deflateEnd(zs(rec));
        delete zs(rec);
        rec->stream = nullptr;
    }
    if (rec->file)
        std::fclose(rec->file);
    rec->file = nullptr;
}
