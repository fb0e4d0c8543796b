// Protocol-level players for the server's tests and load figures, without windows.
//
//   netbot --play SECONDS [--join CODE] [--wrong-hash-at STEP] [--record FILE] URL
//       one player with the game's real world and lockstep: hosts (printing "Game code: CODE")
//       or joins, gives random orders to its own party, and after SECONDS of game time prints
//       "frame F hash H" of its world; exit 0, or 1 with the reason when the game ended early.
//       It keeps the game's end rule: "game over at frame F" when a party has lost everything,
//       and from then on its world stands still, as the game's does.
//   netbot --load GAMES --seconds S URL
//       GAMES games of two players on a stand-in world with random orders and true hashes;
//       prints how many started, ran to the end and failed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "game.h"
#include "gamerecord.h"
#include "lockstep.h"
#include "netclient.h"
#include "netmatch.h"
#include "newgame.h"
#include "order.h"
#include "orderwire.h"
#include "random.h"
#include "shell.h"
#include "worldhash.h"

namespace {

const char* server_url;

// One player: a session and its connection.
struct Bot {
    LockstepSession session;
    NetClient* client = nullptr;
    ~Bot() { netclient_close(client); }
    bool open(const LockstepWorld* w, const char* code)
    {
        char err[200];
        if (!lockstep_init(&session, w, code)) {
            std::fprintf(stderr, "%s\n", session.error);
            return false;
        }
        client = netclient_open(server_url, &session, err, sizeof(err));
        if (!client)
            std::fprintf(stderr, "%s\n", err);
        return client != nullptr;
    }
    void flush() { netclient_send(client); }
    bool lost() const { return netclient_lost(client); }
};

// ---- one player with the real world ----

u32 wrong_hash_at = 0;
int my_party = -1;
int orders_applied[2] = {0, 0};
// When each of this player's orders went out, oldest first, and the delays until they were
// applied: the time from a click to its effect.
std::vector<std::chrono::steady_clock::time_point> sent_at;
size_t sent_applied = 0;
std::vector<double> delays_ms;
// --record FILE: the game's record, as the game writes it.
const char* record_file = nullptr;
GameRecorder recorder;
bool recording = false;
// The game's end rule, as the game applies it: once one party has lost everything the world
// stands still on both machines, or the hashes would part at the end.
NetMatch net_match;

void real_apply(void*, int party, const u8* bytes, size_t n)
{
    Order o;
    if (!order_from_bytes(bytes, n, &o) || o.party != party)
        return;
    orders_applied[party]++;
    if (party == my_party && sent_applied < sent_at.size()) {
        auto d = std::chrono::steady_clock::now() - sent_at[sent_applied++];
        delays_ms.push_back(std::chrono::duration<double, std::milli>(d).count());
    }
    if (netmatch_open(&net_match) && order_from_turn(&main_gameenv, party, bytes, n, &o)) {
        if (recording)
            recorder_order(&recorder, &o);
        order_apply(&main_gameenv, &o);
    }
}
void real_start(void*, const NetMsg* m)
{
    mysrand(m->generator);
    next_entity_uid = (int)m->uid_counter;
    create_world_at(m->second);
    netmatch_start(&net_match, &main_gameenv);
    if (record_file) {
        char err[200];
        recording = recorder_open(&recorder, record_file, &main_game_start, &main_gameenv, err, sizeof(err));
        if (!recording)
            std::fprintf(stderr, "%s\n", err);
    }
}
u32 real_steps = 0;
void real_step(void*, float dt)
{
    real_steps++;
    if (!netmatch_open(&net_match))
        return;
    if (recording)
        recorder_before_step(&recorder);
    gameenv_run(&main_gameenv, dt);
    if (recording)
        recorder_after_step(&recorder, dt, &main_gameenv);
    if (netmatch_after_step(&net_match, &main_gameenv, dt))
        std::printf("game over at frame %u\n", real_steps);
}
u64 real_hash(void*)
{
    u64 h = world_hash(&main_gameenv);
    return (wrong_hash_at && real_steps >= wrong_hash_at) ? h ^ 1 : h;
}

// A random order for `party`: some of its units travel to where another entity stands, or
// everything of it that can fire attacks an enemy.
bool random_order(std::mt19937* rng, int party, Order* o)
{
    std::vector<const Entity*> mine, others;
    for (const Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
        if (e->party == party && e->type == ET_UNIT)
            mine.push_back(e);
        else if (e->party == 1 - party)
            others.push_back(e);
    }
    if (mine.empty() || others.empty())
        return false;
    const Entity* target = others[(*rng)() % others.size()];
    order_init(o, (*rng)() % 2 ? ORDER_TRAVEL : ORDER_ATTACK, party);
    size_t count = 1 + (*rng)() % mine.size();
    for (size_t i = 0; i < count; i++)
        order_add_uid(o, mine[i]->uid);
    o->group_size = (int)count;
    o->cell = target->p0;
    o->target_uid = target->uid;
    return true;
}

int play(double seconds, const char* code)
{
    main_init_globals();
    auto bot = std::make_unique<Bot>();
    LockstepWorld w = {nullptr, real_apply, real_start, real_step, real_hash};
    if (!bot->open(&w, code))
        return 2;
    std::mt19937 rng(code ? 2 : 1);
    bool code_shown = false;
    u32 end_frame = (u32)(seconds * 60);
    auto last = std::chrono::steady_clock::now();
    auto deadline = last + std::chrono::duration<double>(seconds * 3 + 30);
    u32 next_order = 30;
    while (bot->session.state != LOCKSTEP_ENDED && bot->session.steps_done < end_frame &&
           std::chrono::steady_clock::now() < deadline) {
        netclient_run(16);
        auto now = std::chrono::steady_clock::now();
        double dt = std::chrono::duration<double>(now - last).count();
        last = now;
        if (!code_shown && bot->session.state >= LOCKSTEP_WAITING && bot->session.code[0]) {
            std::printf("Game code: %s\n", bot->session.code);
            code_shown = true;
        }
        if (bot->session.state == LOCKSTEP_PLAYING) {
            my_party = bot->session.party;
            // Stop exactly at the last frame so both players print the same one.
            double left = (end_frame - bot->session.steps_done) / 60.0;
            lockstep_advance(&bot->session, dt < left ? dt : left);
            if (bot->session.steps_done >= next_order) {
                next_order += 20 + rng() % 40;
                Order o;
                u8 bytes[ORDERWIRE_MAX];
                if (random_order(&rng, bot->session.party, &o) &&
                    lockstep_submit(&bot->session, bytes, order_to_bytes(&o, bytes, sizeof(bytes))))
                    sent_at.push_back(std::chrono::steady_clock::now());
            }
        }
        bot->flush();
    }
    // Let the last hashes reach the server, which may still find a difference.
    for (int i = 0; i < 20 && bot->session.state != LOCKSTEP_ENDED; i++) {
        bot->flush();
        netclient_run(10);
    }
    int status = 0;
    if (bot->session.state == LOCKSTEP_ENDED) {
        std::fprintf(stderr, "%s\n", bot->session.error);
        status = 1;
    } else if (bot->session.steps_done < end_frame) {
        std::fprintf(stderr, "timed out at frame %u\n", bot->session.steps_done);
        status = 1;
    } else {
        std::printf("frame %u hash %016llx\n", bot->session.steps_done,
                    (unsigned long long)world_hash(&main_gameenv));
    }
    if (recording && !recorder_close(&recorder, &main_gameenv)) {
        std::fprintf(stderr, "the record could not be written\n");
        status = 1;
    }
    std::printf("orders applied: party 0 %d, party 1 %d\n", orders_applied[0], orders_applied[1]);
    if (!delays_ms.empty()) {
        double sum = 0, most = 0;
        for (double d : delays_ms) {
            sum += d;
            most = d > most ? d : most;
        }
        std::printf("order delay: %zu orders, mean %.1f ms, max %.1f ms\n", delays_ms.size(),
                    sum / (double)delays_ms.size(), most);
    }
    main_free_globals();
    return status;
}

// ---- many games on a stand-in world ----

void toy_apply(void* ctx, int party, const u8* b, size_t n)
{
    u64* s = (u64*)ctx;
    *s = *s * 1000003 + (u64)party;
    for (size_t i = 0; i < n; i++)
        *s = *s * 31 + b[i];
}
void toy_start(void* ctx, const NetMsg* m) { *(u64*)ctx = m->generator; }
void toy_step(void* ctx, float) { *(u64*)ctx = *(u64*)ctx * 6364136223846793005ull + 1; }
u64 toy_hash(void* ctx) { return *(u64*)ctx; }

int load(int games, double seconds)
{
    std::vector<std::unique_ptr<Bot>> bots;
    std::vector<u64> states(2 * (size_t)games, 0);
    std::mt19937 rng(7);
    auto start = std::chrono::steady_clock::now();
    // Hosts first, in bursts, so the server's accept queue is not the thing measured.
    for (int g = 0; g < games; g++) {
        auto b = std::make_unique<Bot>();
        LockstepWorld w = {&states[2 * (size_t)g], toy_apply, toy_start, toy_step, toy_hash};
        if (!b->open(&w, nullptr))
            return 2;
        bots.push_back(std::move(b));
        bots.push_back(nullptr);
        if (g % 50 == 49)
            netclient_run(20);
    }
    auto last = std::chrono::steady_clock::now();
    auto end = last + std::chrono::duration<double>(seconds + 10);
    int joined = 0;
    while (std::chrono::steady_clock::now() < end) {
        netclient_run(16);
        auto now = std::chrono::steady_clock::now();
        double dt = std::chrono::duration<double>(now - last).count();
        last = now;
        for (int g = 0; g < games; g++) {
            auto& host = bots[2 * (size_t)g];
            auto& guest = bots[2 * (size_t)g + 1];
            if (!guest && host->session.code[0]) {
                guest = std::make_unique<Bot>();
                LockstepWorld w = {&states[2 * (size_t)g + 1], toy_apply, toy_start, toy_step, toy_hash};
                if (!guest->open(&w, host->session.code))
                    return 2;
                joined++;
            }
        }
        for (auto& b : bots) {
            if (!b)
                continue;
            lockstep_advance(&b->session, dt);
            if (b->session.state == LOCKSTEP_PLAYING && rng() % 200 == 0) {
                u8 order[40];
                for (u8& x : order)
                    x = (u8)rng();
                lockstep_submit(&b->session, order, 1 + rng() % sizeof(order));
            }
            b->flush();
        }
        if (joined == games && std::chrono::duration<double>(now - start).count() > seconds)
            break;
    }
    int playing = 0, ended = 0, lost = 0;
    for (auto& b : bots) {
        if (!b)
            continue;
        playing += b->session.state == LOCKSTEP_PLAYING;
        ended += b->session.state == LOCKSTEP_ENDED && !b->lost();
        lost += b->lost();
        if (b->session.state == LOCKSTEP_ENDED && !b->lost())
            std::fprintf(stderr, "bot: %s\n", b->session.error);
    }
    std::printf("load: %d games, %d players still playing, %d ended, %d connections lost\n", games,
                playing, ended, lost);
    return playing == 2 * games ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    double play_seconds = 0, load_seconds = 10;
    int load_games = 0;
    const char* join = nullptr;
    const char* url = nullptr;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (i + 1 < argc && a == "--play")
            play_seconds = std::atof(argv[++i]);
        else if (i + 1 < argc && a == "--join")
            join = argv[++i];
        else if (i + 1 < argc && a == "--wrong-hash-at")
            wrong_hash_at = (u32)std::atoi(argv[++i]);
        else if (i + 1 < argc && a == "--record")
            record_file = argv[++i];
        else if (i + 1 < argc && a == "--load")
            load_games = std::atoi(argv[++i]);
        else if (i + 1 < argc && a == "--seconds")
            load_seconds = std::atof(argv[++i]);
        else
            url = argv[i];
    }
    server_url = url;
    if (!url || (play_seconds <= 0) == (load_games <= 0)) {
        std::fprintf(stderr, "usage: netbot (--play SECONDS [--join CODE] | --load GAMES) ws://ADDR:PORT\n");
        return 2;
    }
    return load_games > 0 ? load(load_games, load_seconds) : play(play_seconds, join);
}
