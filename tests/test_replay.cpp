// Game records: battles recorded with orders, odd time steps and the player's own draws from
// the generator, then played again with every hash matching; changed records that must diverge;
// files cut off where a crash would cut them; and the damaged and hostile files the loader
// must refuse with a message naming the file and the fault.
#include "replay.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>
#include <gtest/gtest.h>

#include "battle_fixture.h"
#include "checkreplay.h"
#include "gamerecord.h"
#include "replayworld.h"
#include "sound.h"
#include "sound_internal.h"
#include "worldhash.h"

namespace {

std::string scratch(const char* name)
{
    return ::testing::TempDir() + "quorvale-replay-" + name;
}

std::vector<u8> read_file(const std::string& path)
{
    std::vector<u8> data;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return data;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        data.push_back((u8)c);
    std::fclose(f);
    return data;
}

void write_file(const std::string& path, const std::vector<u8>& data)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

// The game's sound collections with a silent sound each, as a game with its sounds loaded has
// them: every shot draws from the generator.
void give_sounds()
{
    sound_reset();
    for (const char* c : GAMERECORD_SOUND_COLLECTIONS)
        ASSERT_EQ(sound_add_silent(c), 0);
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override { give_sounds(); }
    void TearDown() override
    {
        gameenv_free(&main_gameenv);
        sound_reset();
    }

    // A battle on the map of `seed` as a new game of that second makes it.
    GameStart new_battle(int seed)
    {
        gameenv_free(&main_gameenv);
        GameStart st = {};
        st.uid_counter = (u32)next_entity_uid;
        battle::make_battle(seed);
        st.second = seed;
        st.generator = (u32)seed;
        st.terrain = terrain_hash(&main_gameenv.voxeldata);
        st.map_w = 64;
        st.map_h = 64;
        st.map_d = 16;
        st.controllers[0] = st.controllers[1] = CONTROLLER_LOCAL;
        st.sounds = 0x3f;
        return st;
    }

    // Plays `frames` frames of a battle with orders for both parties, steps of 3 to 40 ms (runs
    // of the same step among them) and, now and then, a draw from the generator between
    // updates as a unit's answer to a click makes one. Returns the final world hash.
    u64 record_battle(int seed, int frames, const std::string& path, bool close = true)
    {
        GameStart st = new_battle(seed);
        char err[300];
        EXPECT_TRUE(recorder_open(&rec, path.c_str(), &st, &main_gameenv, err, sizeof err)) << err;
        if (by_game_time)
            recorder_flush_by_game_time(&rec);
        unsigned r = 12345u + (unsigned)seed;
        auto rnd = [&r](int n) {
            r = r * 1103515245u + 12345u;
            return (int)((r >> 8) % (unsigned)n);
        };
        float dtime = 0.016f;
        static Order order;
        for (int f = 0; f < frames; f++) {
            if (f % 40 == 7) {
                int party = rnd(2);
                order_init(&order, rnd(3) == 0 ? ORDER_ATTACK : ORDER_TRAVEL, party);
                for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
                    if (e->party == party && (order.kind == ORDER_TRAVEL ? e->type == ET_UNIT : e->can_attack) &&
                        rnd(3) > 0)
                        order_add_uid(&order, e->uid);
                    if (e->party == 1 - party)
                        order.target_uid = e->uid;
                }
                order.group_size = order.uid_count + rnd(3);
                order.cell = V3i{rnd(64), rnd(64), 0};
                u8 m;
                order.cell.z = battle::column_ground(&main_gameenv.voxeldata, order.cell.x, order.cell.y, &m) + 1;
                if (order.cell.z < 16 && order_valid(&main_gameenv, &order, nullptr, 0)) {
                    recorder_order(&rec, &order);
                    order_apply(&main_gameenv, &order);
                }
            }
            if (f % 23 == 5)
                myrand();
            if (f % 50 == 0)
                dtime = (3 + rnd(38)) / 1000.0f;
            recorder_before_step(&rec);
            gameenv_run(&main_gameenv, dtime);
            recorder_after_step(&rec, dtime, &main_gameenv);
            if (f % flush_every == flush_every - 1) {
                EXPECT_TRUE(recorder_flush(&rec));
            }
        }
        if (f_draw_after_last_step)
            myrand();
        u64 h = world_hash(&main_gameenv);
        if (close)
            EXPECT_TRUE(recorder_close(&rec, &main_gameenv));
        else
            recorder_abandon(&rec);
        return h;
    }

    // Loads the file, builds its world and plays it to the end, drawing from the generator
    // between steps as a viewer's clicks would. The result; *final the world hash at the end.
    ReplayResult play(const std::string& path, u64* final_hash = nullptr)
    {
        char err[300];
        EXPECT_TRUE(gamerecord_load(path.c_str(), &loaded, err, sizeof err)) << err;
        gameenv_free(&main_gameenv);
        main_init_globals();
        EXPECT_EQ(replay_build_world(&loaded, path.c_str(), false, err, sizeof err), REPLAY_WORLD_OK);
        replay_begin(&replay, &loaded, path.c_str());
        ReplayResult r;
        int n = 0;
        while ((r = replay_step(&replay, &main_gameenv)) == REPLAY_STEPPED)
            if (++n % 17 == 0)
                myrand();
        if (final_hash) {
            mysrand(replay.generator);
            *final_hash = world_hash(&main_gameenv);
        }
        return r;
    }

    GameRecorder rec;
    GameRecord loaded;
    Replay replay;
    bool f_draw_after_last_step = true;
    int flush_every = 60;       // frames between the flushes the program asks for
    bool by_game_time = false;  // recorder_flush_by_game_time
};

TEST_F(ReplayTest, RecordedBattlesPlayAgainWithEveryHashMatching)
{
    for (int seed : {3, 11, 2024}) {
        std::string path = scratch("battle.qrep");
        u64 recorded = record_battle(seed, 3000, path);
        u64 replayed = 0;
        ASSERT_EQ(play(path, &replayed), REPLAY_ENDED) << "seed " << seed << ": " << replay.why
                                                       << " diverged at " << replay.diverged_at;
        EXPECT_TRUE(loaded.finished);
        EXPECT_EQ(replay.frame, 3000u);
        EXPECT_EQ(loaded.frames, 3000u);
        EXPECT_EQ(replayed, recorded);
        EXPECT_EQ(loaded.end_hash, recorded);
        // The frame-0 hash, one a second of game time and the end's.
        EXPECT_EQ(replay.checked, 2 + (u32)std::floor(loaded.game_seconds)) << "seed " << seed;
        // An order went into the record (a battle without one would prove little).
        bool any_order = false;
        RecordCursor c;
        record_cursor_init(&c, &loaded);
        static RecordEvent ev;
        for (record_cursor_next(&c, &ev); ev.type != EVENT_NONE; record_cursor_next(&c, &ev))
            any_order |= ev.type == EVENT_ORDER;
        EXPECT_TRUE(any_order);
        std::remove(path.c_str());
    }
}

// Two machines recording one network game ask for flushes at moments of their own clocks;
// flushed by game time, their files are the same bytes all the same, and play again.
TEST_F(ReplayTest, FlushedByGameTimeTheFileDependsOnTheGameAlone)
{
    std::string a = scratch("machine-a.qrep"), b = scratch("machine-b.qrep");
    auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // The same game each time: the uid counter runs on from game to game.
    int first_uid = next_entity_uid;
    auto record = [&](int every, const std::string& path, bool close = true) {
        next_entity_uid = first_uid;
        flush_every = every;
        return record_battle(11, 1500, path, close);
    };
    record(60, a);
    record(37, b);
    EXPECT_NE(bytes(a), bytes(b)) << "the flushes asked for shape the file of a local game";

    by_game_time = true;
    u64 recorded = record(60, a);
    record(37, b);
    EXPECT_EQ(bytes(a), bytes(b));
    u64 replayed = 0;
    EXPECT_EQ(play(b, &replayed), REPLAY_ENDED) << replay.why;
    EXPECT_EQ(replayed, recorded);

    // Cut off, it reads up to the last second of game time it completed.
    record(60, a, false);
    char err[300];
    ASSERT_TRUE(gamerecord_load(a.c_str(), &loaded, err, sizeof err)) << err;
    EXPECT_FALSE(loaded.finished);
    EXPECT_GT(loaded.frames, 1000u);
    EXPECT_LT(loaded.frames, 1500u);
    std::remove(a.c_str());
    std::remove(b.c_str());
}

TEST_F(ReplayTest, AChangedStepOrAMissingDrawDivergesAtTheNextHash)
{
    std::string path = scratch("changed.qrep");
    record_battle(5, 1500, path);
    ASSERT_EQ(play(path), REPLAY_ENDED);

    // The time step of one frame in the middle a little longer: the world parts from the
    // recorded one, found by the first hash after it.
    GameRecord changed = loaded;
    size_t pos = 0;
    int steps_seen = 0;
    RecordCursor c;
    record_cursor_init(&c, &changed);
    static RecordEvent ev;
    for (;;) {
        size_t at = c.pos;
        record_cursor_next(&c, &ev);
        ASSERT_NE(ev.type, EVENT_NONE);
        if (ev.type == EVENT_STEP && changed.records[at] == 'S' && ++steps_seen == 10) {
            pos = at;
            break;
        }
    }
    u32 bits;
    std::memcpy(&bits, &changed.records[pos + 1], 4);
    bits += 1;
    std::memcpy(&changed.records[pos + 1], &bits, 4);
    gameenv_free(&main_gameenv);
    main_init_globals();
    char err[300];
    ASSERT_EQ(replay_build_world(&changed, "changed", false, err, sizeof err), REPLAY_WORLD_OK);
    replay_begin(&replay, &changed, "changed");
    ReplayResult r;
    while ((r = replay_step(&replay, &main_gameenv)) == REPLAY_STEPPED) {
    }
    ASSERT_EQ(r, REPLAY_DIVERGED);
    EXPECT_GT(replay.diverged_at, 0u);
    EXPECT_EQ(replay.diverged_at, replay.frame);

    // Without the generator records the answers' draws are lost: the world parts too.
    GameRecord no_draws = loaded;
    std::vector<u8> kept;
    record_cursor_init(&c, &no_draws);
    for (;;) {
        size_t at = c.pos;
        record_cursor_next(&c, &ev);
        if (ev.type == EVENT_NONE)
            break;
        if (ev.type == EVENT_STEP && c.pos == at)
            continue;  // a repeat's later steps share its bytes
        if (ev.type != EVENT_GENERATOR)
            kept.insert(kept.end(), no_draws.records.begin() + (long)at, no_draws.records.begin() + (long)c.pos);
    }
    ASSERT_LT(kept.size(), no_draws.records.size());
    no_draws.records = kept;
    gameenv_free(&main_gameenv);
    main_init_globals();
    ASSERT_EQ(replay_build_world(&no_draws, "no draws", false, err, sizeof err), REPLAY_WORLD_OK);
    replay_begin(&replay, &no_draws, "no draws");
    while ((r = replay_step(&replay, &main_gameenv)) == REPLAY_STEPPED) {
    }
    EXPECT_EQ(r, REPLAY_DIVERGED);
    std::remove(path.c_str());
}

TEST_F(ReplayTest, AGameCutOffAfterAFlushReadsUpToItAndCheckingTellsTheOutcome)
{
    // Written without its end, as a crash leaves it: everything up to the last flush is there.
    std::string path = scratch("cut.qrep");
    record_battle(8, 1000, path, false);
    ASSERT_EQ(play(path), REPLAY_ENDED) << replay.why;
    EXPECT_FALSE(loaded.finished);
    EXPECT_EQ(loaded.frames, 960u);  // the flush after frame 960 was the last

    // The checker: 0 for the same game, 1 for a different one, 2 for what it cannot read.
    std::string whole = scratch("whole.qrep");
    record_battle(9, 600, whole);
    gameenv_free(&main_gameenv);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(check_replay(whole.c_str()), 0);
    std::string out = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("600 frames"), std::string::npos) << out;
    char hash[40];
    std::snprintf(hash, sizeof hash, "%016llx", (unsigned long long)loaded.end_hash);
    ASSERT_TRUE(gamerecord_load(whole.c_str(), &loaded, hash, sizeof hash));
    std::snprintf(hash, sizeof hash, "final world hash %016llx", (unsigned long long)loaded.end_hash);
    EXPECT_NE(out.find(hash), std::string::npos) << out;

    // The same file with a different terrain hash: another map, diverged before the first step.
    std::vector<u8> data = read_file(whole);
    data[28] ^= 1;
    write_file(whole, data);
    testing::internal::CaptureStderr();
    EXPECT_EQ(check_replay(whole.c_str()), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Replay diverged at frame 0"), std::string::npos);
    data.resize(30);
    write_file(whole, data);
    testing::internal::CaptureStderr();
    EXPECT_EQ(check_replay(whole.c_str()), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(whole + ": "), std::string::npos);
    std::remove(whole.c_str());
    std::remove(path.c_str());
}

// ---- Damaged and hostile files ----

void put32(std::vector<u8>* v, u32 x)
{
    for (int i = 0; i < 4; i++)
        v->push_back((u8)(x >> (8 * i)));
}

// A header as the game writes it for the map of second 1.
std::vector<u8> header()
{
    std::vector<u8> h(GAMERECORD_HEADER_SIZE, 0);
    std::memcpy(h.data(), "QREP", 4);
    h[4] = 1;
    h[20] = 1;  // generator
    h[24] = 1;  // uid counter
    h[36] = 64;
    h[38] = 64;
    h[40] = 16;
    h[43] = 2;
    h[44] = h[45] = 1;
    return h;
}

std::vector<u8> hash_record(char type, u32 frame)
{
    std::vector<u8> r = {(u8)type};
    put32(&r, frame);
    put32(&r, 0);
    put32(&r, 0);
    return r;
}

std::vector<u8> step(float dt)
{
    std::vector<u8> r = {'S'};
    u32 bits;
    std::memcpy(&bits, &dt, 4);
    put32(&r, bits);
    return r;
}

std::vector<u8> order_record(u8 kind, u8 party, u32 count, std::vector<u32> uids, V3i cell = {10, 10, 5},
                             u32 group = 1)
{
    std::vector<u8> r = {'O', kind, party, (u8)count, (u8)(count >> 8)};
    put32(&r, group);
    put32(&r, (u32)cell.x);
    put32(&r, (u32)cell.y);
    put32(&r, (u32)cell.z);
    put32(&r, 0);
    for (u32 u : uids)
        put32(&r, u);
    return r;
}

std::vector<u8> cat(std::initializer_list<std::vector<u8>> parts)
{
    std::vector<u8> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<u8> file_of(const std::vector<u8>& head, const std::vector<u8>& records)
{
    std::vector<u8> out = head;
    uLongf n = compressBound(records.size());
    std::vector<u8> z(n);
    compress(z.data(), &n, records.data(), records.size());
    out.insert(out.end(), z.begin(), z.begin() + (long)n);
    return out;
}

TEST(GameRecordLoad, DamagedAndHostileFilesAreRefusedWithOneMessageNamingTheFault)
{
    const std::vector<u8> good_records = cat({hash_record('H', 0), step(0.016f), hash_record('E', 1)});
    std::vector<u8> h = header();
    auto with = [&](int at, u8 value) {
        std::vector<u8> v = h;
        v[at] = value;
        return v;
    };
    std::vector<u8> good = file_of(h, good_records);
    std::vector<u8> trailing = good;
    trailing.push_back(0);
    std::vector<u8> cut = good;
    cut.resize(good.size() - 6);
    // 1600 repeats of 65535 steps each: more steps than any game has.
    std::vector<u8> endless_records = cat({hash_record('H', 0), step(0.0f)});
    for (int i = 0; i < 1600; i++)
        endless_records.insert(endless_records.end(), {'R', 0xff, 0xff});
    std::vector<u8> endless = file_of(h, endless_records);
    std::vector<u8> no_checksum = good;
    no_checksum.resize(good.size() - 4);

    struct Case {
        const char* what;
        std::vector<u8> file;
        const char* expected;  // part of the message; "" when the file is good
    };
    const Case cases[] = {
        {"a good file", good, ""},
        {"a game ending on a whole second",
         file_of(h, cat({hash_record('H', 0), step(1.0f), hash_record('H', 1), hash_record('E', 1)})), ""},
        {"empty", {}, "not a Quorvale replay"},
        {"wrong magic", file_of(with(0, 'X'), good_records), "not a Quorvale replay"},
        {"header cut off", std::vector<u8>(h.begin(), h.begin() + 20), "header is cut off"},
        {"newer format", file_of(with(4, 2), good_records), "format version 2, newer than this game reads (1)"},
        {"format 0", file_of(with(4, 0), good_records), "format version 0"},
        {"unknown mode", file_of(with(42, 3), good_records), "game mode 3"},
        {"three parties", file_of(with(43, 3), good_records), "3 parties"},
        {"unknown controller", file_of(with(45, 9), good_records), "unknown controller 9"},
        {"no map", file_of(with(36, 0), good_records), "a map of 0 x 64 x 16"},
        {"no uid counter", file_of(with(24, 0), good_records), "uid counter 0"},
        {"nothing after the header", h, "no records"},
        {"not zlib", cat({h, {1, 2, 3, 4, 5, 6, 7, 8}}), "damaged"},
        {"cut inside the stream", cut, "in the middle of a record at record byte 18 (truncated)"},
        {"bytes after the stream", trailing, "1 bytes after the end"},
        {"records after the end", file_of(h, cat({good_records, step(0.01f)})), "after the end record"},
        {"no frame-0 hash", file_of(h, cat({step(0.016f), hash_record('E', 1)})), "hash of frame 0"},
        {"hash out of place", file_of(h, cat({hash_record('H', 0), step(0.016f), hash_record('H', 5)})),
         "hash record for frame 5 out of place"},
        {"a second hash for a frame", file_of(h, cat({hash_record('H', 0), hash_record('H', 0)})), "out of place"},
        {"NaN step", file_of(h, cat({hash_record('H', 0), step(std::nanf(""))})), "frame 1 has the time step nan"},
        {"negative step", file_of(h, cat({hash_record('H', 0), step(-0.01f)})), "time step -0.01"},
        {"endless step", file_of(h, cat({hash_record('H', 0), step(INFINITY)})), "time step inf"},
        {"endless repeats", endless, "more than 100000000 frames"},
        {"repeat before a step", file_of(h, cat({hash_record('H', 0), {'R', 5, 0}})), "repeats nothing"},
        {"unknown record", file_of(h, cat({hash_record('H', 0), {'Z', 0}})), "unknown record type 0x5a"},
        {"a record cut short", file_of(h, cat({hash_record('H', 0), {'S', 1, 2}})), "middle of a record"},
        {"count beyond the file", file_of(h, cat({hash_record('H', 0), order_record(1, 0, 60000, {1, 2})})),
         "middle of a record"},
        {"order for party 2", file_of(h, cat({hash_record('H', 0), order_record(1, 2, 1, {1})})), "party 2"},
        {"order of kind 9", file_of(h, cat({hash_record('H', 0), order_record(9, 0, 1, {1})})), "unknown kind 9"},
        {"order for nobody", file_of(h, cat({hash_record('H', 0), order_record(1, 0, 0, {})})), "for 0 entities"},
        {"order beyond the map", file_of(h, cat({hash_record('H', 0), order_record(1, 0, 1, {1}, {64, 0, 0})})),
         "outside the map"},
        {"absurd group", file_of(h, cat({hash_record('H', 0), order_record(1, 0, 1, {1}, {1, 1, 1}, 1u << 31)})),
         "group size"},
    };
    static GameRecord rec;
    for (const Case& c : cases) {
        char err[400] = "";
        bool ok = gamerecord_parse(c.file.data(), c.file.size(), "damaged.qrep", &rec, err, sizeof err);
        if (!*c.expected) {
            EXPECT_TRUE(ok) << c.what << ": " << err;
            continue;
        }
        EXPECT_FALSE(ok) << c.what;
        std::string msg = err;
        EXPECT_EQ(msg.rfind("damaged.qrep: ", 0), 0u) << c.what << ": " << msg;
        EXPECT_NE(msg.find(c.expected), std::string::npos) << c.what << ": " << msg;
        EXPECT_EQ(msg.find('\n'), std::string::npos) << c.what << ": one line";
    }

    // Only the stream's checksum cut off: every record is there, so it reads.
    char err[400] = "";
    ASSERT_TRUE(gamerecord_parse(no_checksum.data(), no_checksum.size(), "cut", &rec, err, sizeof err)) << err;
    EXPECT_TRUE(rec.finished);
    EXPECT_EQ(rec.frames, 1u);

    // A stream inflating far beyond what the loader holds is refused, not held.
    std::vector<u8> zeros(GAMERECORD_MAX_RECORDS + 8192, 0);
    std::vector<u8> bomb = file_of(h, zeros);
    EXPECT_LT(bomb.size(), 200000u);
    EXPECT_FALSE(gamerecord_parse(bomb.data(), bomb.size(), "bomb", &rec, err, sizeof err));
    EXPECT_NE(std::string(err).find("inflate to more than"), std::string::npos) << err;

    // A file that does not exist.
    EXPECT_FALSE(gamerecord_load("/nonexistent/x.qrep", &rec, err, sizeof err));
    EXPECT_NE(std::string(err).find("/nonexistent/x.qrep: cannot open"), std::string::npos) << err;
}

// Orders that pass the loader but no click could give in the world as it stands: the replay
// stops with the file's name and the fault instead of playing something else.
TEST_F(ReplayTest, OrdersForUidsThatDoNotExistOrBelongToTheOtherPartyStopTheReplay)
{
    GameStart st = new_battle(4);
    u32 own = 0, other = 0;
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
        if (e->type == ET_UNIT && e->party == 0)
            own = e->uid;
        if (e->type == ET_UNIT && e->party == 1)
            other = e->uid;
    }
    ASSERT_TRUE(own && other);
    std::vector<u8> h = header();
    std::memcpy(&h[12], &st.second, 8);
    std::memcpy(&h[20], &st.generator, 4);
    std::memcpy(&h[24], &st.uid_counter, 4);
    std::memcpy(&h[28], &st.terrain, 8);
    h[46] = 0x3f;
    u64 h0 = world_hash(&main_gameenv);
    std::vector<u8> first = {'H'};
    put32(&first, 0);
    put32(&first, (u32)h0);
    put32(&first, (u32)(h0 >> 32));

    struct Case {
        u32 uid;
        const char* expected;
    };
    for (const Case& c : {Case{other, "not of party 0"}, Case{99999, "uid 99999, which does not exist"}}) {
        std::vector<u8> file = file_of(h, cat({first, order_record(1, 0, 1, {c.uid}, {10, 10, 5}, 1), step(0.02f)}));
        static GameRecord rec;
        char err[400];
        ASSERT_TRUE(gamerecord_parse(file.data(), file.size(), "hostile.qrep", &rec, err, sizeof err)) << err;
        gameenv_free(&main_gameenv);
        main_init_globals();
        ASSERT_EQ(replay_build_world(&rec, "hostile.qrep", false, err, sizeof err), REPLAY_WORLD_OK);
        replay_begin(&replay, &rec, "hostile.qrep");
        EXPECT_EQ(replay_step(&replay, &main_gameenv), REPLAY_BAD);
        std::string why = replay.why;
        EXPECT_EQ(why.rfind("hostile.qrep: before frame 1: ", 0), 0u) << why;
        EXPECT_NE(why.find(c.expected), std::string::npos) << why;
        EXPECT_EQ(replay.frame, 0u);
    }
}

}  // namespace
