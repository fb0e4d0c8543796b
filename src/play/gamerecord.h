// The game record: everything needed to play a game again exactly, as the file a player keeps
// (a replay, *.qrep) and later the log of a network game. A game is its start, then frame by
// frame the time step the world update received and the orders applied before it; every second
// of game time a hash of the world lets whoever plays it again check that it is the same game.
//
// The file, every number little-endian:
//
//   offset size  field
//        0    4  magic "QREP"
//        4    2  format version, 1 (GAMERECORD_FORMAT)
//        6    6  the game's version that wrote it: major, minor, patch, 2 bytes each
//       12    8  the calendar second the map was built from (signed)
//       20    4  the generator's state just before the armies were placed
//       24    4  the uid counter at that moment (the first army unit's uid)
//       28    8  terrain hash of the generated map (terrain_hash)
//       36    6  the map's size in cells: w, h, d, 2 bytes each
//       42    1  mode: 0 the sandbox (one player commands both parties)
//       43    1  number of parties, 2
//       44    2  controller of party 0 and of party 1: 1 local player, 2 computer, 3 remote, 4 replay
//       46    1  sound collections that held a sound (bit 0 "ok", 1 "shoot", 2 "shoot_missile",
//                3 "hit", 4 "explode", 5 "explode_large"): playing one draws from the generator
//       47    1  0
//       48       a zlib stream (RFC 1950) of records, each a type byte and its fields:
//
//   'S' step       4  the time step in seconds as the update received it (IEEE float bits)
//   'R' repeat     2  n, 1..65535: n more steps of the last step's time step
//   'G' generator  4  the generator's state to set before the next step (something outside
//                     the update drew from it: a unit's answer to a click)
//   'O' order     24+4n  kind (1 travel, 2 attack), party, n uids (2 bytes), group size (4),
//                     destination cell x, y, z (4 each, signed), target uid (4), then n uids (4
//                     each); applied before the next step, in file order
//   'H' hash      12  frame (the steps so far, 4), world_hash after that step (8); one at frame 0,
//                     then one after each step that completes a second of game time
//   'E' end       12  frames (4), the final world hash (8); the last record of a finished game
//
// The writer flushes the stream at least once a second, so a game cut off by a crash still
// reads up to its last flush; such a file has no end record and reads as unfinished. A network
// game's writer flushes after each hash record instead (each second of game time), so the two
// players' files, whose flush points would otherwise follow each machine's clock, are the same
// bytes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "order.h"
#include "types.h"

constexpr u16 GAMERECORD_FORMAT = 1;
constexpr int GAMERECORD_HEADER_SIZE = 48;
// The longest time step a record may hold: a frame after a day's suspend, ten times faster.
constexpr float GAMERECORD_MAX_STEP = 864000.0f;
// The most a record's stream may inflate to (a game of many hours).
constexpr size_t GAMERECORD_MAX_RECORDS = 64u << 20;
// The most steps a record may hold: a day of play at the 333-frame cap, with room to spare.
constexpr u32 GAMERECORD_MAX_FRAMES = 100000000;
// The largest file the loader reads.
constexpr long GAMERECORD_MAX_FILE = 64l << 20;

enum Controller {
    CONTROLLER_LOCAL = 1,
    CONTROLLER_COMPUTER = 2,
    CONTROLLER_REMOTE = 3,
    CONTROLLER_REPLAY = 4,
};

// The sound collections whose presence the record notes, in bit order.
extern const char* const GAMERECORD_SOUND_COLLECTIONS[6];

struct GameStart {
    s64 second;            // the calendar second the map was built from
    u32 generator;         // the generator's state before the armies were placed
    u32 uid_counter;       // next_entity_uid at that moment
    u64 terrain;           // terrain_hash of the map
    u16 map_w, map_h, map_d;
    u8 mode;               // 0: sandbox
    u8 controllers[2];     // Controller of each party
    u8 sounds;             // bit i: GAMERECORD_SOUND_COLLECTIONS[i] held a sound
    u16 game_version[3];   // the game that wrote it (filled by the writer)
};

// ---- Writing, as the game goes ----

struct GameRecorder {
    std::FILE* file;
    bool failed;             // a write failed; nothing more is written
    void* stream;            // the deflate state
    u8 pending[4096];        // records not yet handed to deflate
    int pending_len;
    bool unflushed;          // records since the last flush (a paused game adds none)
    u32 last_step_bits;
    bool have_step;
    u32 repeats;             // steps of last_step_bits not yet written
    u32 frames;
    double game_time;        // seconds of game time so far
    double next_hash_time;   // the hash comes after the step that reaches this
    u32 generator_after_step;  // the generator as the last update left it
    bool by_game_time;         // flushed after each hash record only (recorder_flush_by_game_time)
};

// Creates the file (replacing one of that name) and writes the header and the frame-0 hash of
// `env`. False with the reason in `err` (the recorder is then closed).
bool recorder_open(GameRecorder* rec, const char* path, const GameStart* start, const GameEnv* env,
                   char* err, size_t err_size);
// An order applied now, before the next step.
void recorder_order(GameRecorder* rec, const Order* order);
// Right before the world update: notes the generator when something other than the update drew
// from it since the last one.
void recorder_before_step(GameRecorder* rec);
// Right after the world update of `dtime`: the step, and the world's hash when it completes a
// second of game time.
void recorder_after_step(GameRecorder* rec, float dtime, const GameEnv* env);
// Everything recorded so far reaches the file (readable even if the program dies next).
// False once a write has failed. Does nothing after recorder_flush_by_game_time.
bool recorder_flush(GameRecorder* rec);
// From now on the file is flushed after each hash record and at no other time, so its bytes
// depend on the game alone and not on when the program asked for flushes.
void recorder_flush_by_game_time(GameRecorder* rec);
// The end record with the final hash, the end of the stream, and the file closed. False when
// anything failed to be written. Safe on a recorder that failed or was never opened.
bool recorder_close(GameRecorder* rec, const GameEnv* env);
// Closes the file without an end record (a write failed).
void recorder_abandon(GameRecorder* rec);

// ---- Reading ----

struct GameRecord {
    GameStart start;
    std::vector<u8> records;  // the inflated records, checked by the loader
    u32 frames;               // steps in the record
    double game_seconds;      // their sum
    bool finished;            // it ends with an end record
    u64 end_hash;             // the end record's hash, when finished
};

// Reads and checks a whole file: header, stream and every record's shape (a known type, its
// fields in range, hashes at their place, nothing after the end). Allocates in proportion to
// what the file holds, within GAMERECORD_MAX_FILE and GAMERECORD_MAX_RECORDS. False with one
// message naming the file and what is wrong in `err`.
bool gamerecord_load(const char* path, GameRecord* out, char* err, size_t err_size);
// The same from bytes in memory; `name` stands for the file in messages.
bool gamerecord_parse(const u8* data, size_t size, const char* name, GameRecord* out, char* err,
                      size_t err_size);

enum RecordEventType {
    EVENT_STEP = 1,
    EVENT_GENERATOR = 2,
    EVENT_ORDER = 3,
    EVENT_HASH = 4,
    EVENT_END = 5,
    EVENT_NONE = 6,  // past the last record
};

struct RecordEvent {
    RecordEventType type;
    float dtime;     // step
    u32 generator;   // generator
    Order order;     // order
    u32 frame;       // hash, end
    u64 hash;        // hash, end
};

// Walks a loaded record event by event; repeats come out as single steps.
struct RecordCursor {
    const GameRecord* record;
    size_t pos;
    u32 repeats_left;
    float last_dtime;
};

void record_cursor_init(RecordCursor* cursor, const GameRecord* record);
// The next event; EVENT_NONE after the last.
void record_cursor_next(RecordCursor* cursor, RecordEvent* event);
