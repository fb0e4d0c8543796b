#include "netgame.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include <unistd.h>  // getpid

#include "game.h"
#include "lockstep.h"
#include "matchscreen.h"
#include "netclient.h"
#include "netmatch.h"
#include "newgame.h"
#include "orderwire.h"
#include "random.h"
#include "recording.h"
#include "shell.h"
#include "sound.h"
#include "worldhash.h"

namespace {

bool active = false;
LockstepSession session;
NetClient* client = nullptr;
bool game_created = false;
bool left_game = false;      // the player quit to the main menu
bool told_end = false;       // the end has been printed
bool told_code = false;
bool told_peer_left = false;
char status[128];
// The end rule, the same on both machines: from the step that ends the game the world stands
// still, so both records end at that step.
NetMatch net_match;

// Click to effect: when each of this player's orders went to the server, oldest first, and
// how long they took to come back and apply. Only the clock of this machine; the world never
// sees it.
constexpr int DELAY_QUEUE = 64;
u32 sent_at[DELAY_QUEUE];  // now_ms()
int sent_head = 0, sent_count = 0;
int delay_orders = 0;
u32 delay_sum_ms = 0, delay_max_ms = 0;
bool told_delays = false;

u32 now_ms()
{
    return (u32)std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

void note_applied(int party)
{
    if (party != session.party || sent_count == 0)
        return;
    u32 d = now_ms() - sent_at[sent_head];
    sent_head = (sent_head + 1) % DELAY_QUEUE;
    sent_count--;
    delay_orders++;
    delay_sum_ms += d;
    delay_max_ms = d > delay_max_ms ? d : delay_max_ms;
}

// Once, when the game is over for this player.
void tell_delays()
{
    if (told_delays || delay_orders == 0)
        return;
    told_delays = true;
    std::printf("Your orders took effect %u ms after the click on average, at most %u ms (%d orders)\n",
                delay_sum_ms / (u32)delay_orders, delay_max_ms, delay_orders);
}
// Where the game is recorded when --record did not say.
std::string record_dir;

void apply_order(void*, int party, const u8* bytes, size_t n)
{
    static Order order;
    if (!netmatch_open(&net_match))
        return;
    note_applied(party);
    // What is recorded is what was applied, on both machines alike.
    if (!order_from_turn(&main_gameenv, party, bytes, n, &order))
        return;
    recording_order(&order);
    order_apply(&main_gameenv, &order);
}

void start_world(void*, const NetMsg* m)
{
    set_program_state(PS_PAUSEMENU);
    mysrand(m->generator);
    next_entity_uid = (int)m->uid_counter;
    create_game_at(m->second);
    // Its sounds choose their files without the game's generator (sound_set_own_choices), so
    // the record must not have a replay draw for them.
    main_game_start.sounds = 0;
    recording_game_created();
    netmatch_start(&net_match, &main_gameenv);
    game_created = true;
}

void step(void*, float dt)
{
    if (!netmatch_open(&net_match))
        return;
    recording_before_update();
    gameenv_run(&main_gameenv, dt);
    recording_after_update(dt);
    if (netmatch_after_step(&net_match, &main_gameenv, dt)) {
        char line[64];
        match_result_line(&net_match.match, session.party, line, sizeof line);
        std::printf("%s\n", line);
        // The record ends here on both machines; the world no longer changes.
        recording_game_over();
        tell_delays();
    }
}

u64 hash(void*)
{
    return world_hash(&main_gameenv);
}

}  // namespace

bool netgame_start(const char* url, const char* code, bool recorded)
{
    LockstepWorld w = {nullptr, apply_order, start_world, step, hash};
    if (!lockstep_init(&session, &w, code)) {
        std::fprintf(stderr, "%s\n", session.error);
        return false;
    }
    char err[256];
    client = netclient_open(url, &session, err, sizeof(err));
    if (!client) {
        std::fprintf(stderr, "%s\n", err);
        return false;
    }
    // The record is the diagnosis of a game out of sync: every network game keeps one.
    if (!recorded) {
        // A folder of its own for this run: the time and the process tell runs apart.
        std::error_code ec;
        std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
        char name[64];
        std::snprintf(name, sizeof(name), "quorvale-net-%lld-%d", (long long)std::time(nullptr), (int)getpid());
        dir /= name;
        if (ec || !std::filesystem::create_directories(dir, ec) || !recording_set_folder(dir.c_str())) {
            std::fprintf(stderr, "Cannot make a folder for the game's record: %s\n", dir.c_str());
            return false;
        }
        record_dir = dir.string();
        std::printf("Recording network games into %s\n", record_dir.c_str());
    }
    sound_set_own_choices(true);
    // Both players' records of the game must be the same file.
    recording_flush_by_game_time();
    active = true;
    std::printf(code ? "Joining game %s at %s\n" : "Hosting a game at %s%s\n", code ? code : url,
                code ? url : "");
    return true;
}

bool netgame_active()
{
    return active;
}

int netgame_party()
{
    return active ? session.party : -1;
}

void netgame_frame(float dtime)
{
    if (!active)
        return;
    netclient_run(0);
    if (!told_code && session.code[0] && !session.party) {
        std::printf("Game code: %s\n", session.code);
        told_code = true;
    }
    if (session.peer_left && !told_peer_left) {
        std::printf("The other player left\n");
        told_peer_left = true;
    }
    if (game_created && !left_game && main_state == PS_MAINMENU) {
        // The player quit: the other plays on without them.
        left_game = true;
        tell_delays();
        netclient_close(client);
        client = nullptr;
    }
    if (session.state == LOCKSTEP_ENDED && !told_end) {
        told_end = true;
        std::fprintf(stderr, "%s\n", session.error);
        tell_delays();
        if (game_created && main_state != PS_MAINMENU && session.end_reason != NET_END_OUT_OF_SYNC) {
            // The server is gone: back to the main menu with the record complete.
            set_program_state(PS_MAINMENU);
            recording_game_over();
            delete_game();
        } else if (session.end_reason == NET_END_OUT_OF_SYNC) {
            recording_game_over();
        }
    }
    if (!left_game && (main_state == PS_INGAME || main_state == PS_PAUSEMENU))
        lockstep_advance(&session, dtime);
    if (client)
        netclient_send(client);
}

void netgame_submit(const Order* order)
{
    u8 bytes[ORDERWIRE_MAX];
    size_t n = order_to_bytes(order, bytes, sizeof(bytes));
    if (n && order->party == session.party && lockstep_submit(&session, bytes, n) &&
        sent_count < DELAY_QUEUE) {
        sent_at[(sent_head + sent_count) % DELAY_QUEUE] = now_ms();
        sent_count++;
    }
}

bool netgame_ended()
{
    return active && game_created && netmatch_ended(&net_match);
}

void netgame_draw_end(int w, int h)
{
    if (netgame_ended())
        match_draw_end(&net_match.match, session.party, "the other player's", w, h);
}

const char* netgame_status()
{
    if (!active)
        return nullptr;
    // The result over the world says all; a player who left after it changes nothing.
    if (netgame_ended() && session.state != LOCKSTEP_ENDED)
        return nullptr;
    if (session.state == LOCKSTEP_ENDED)
        return session.error;
    if (session.state == LOCKSTEP_CONNECTING)
        return "Connecting to the server...";
    if (session.state == LOCKSTEP_WAITING) {
        std::snprintf(status, sizeof(status), "Game code: %s", session.code);
        return status;
    }
    if (lockstep_waiting_notice(&session))
        return "Waiting for the other player...";
    if (session.peer_left)
        return "The other player left";
    return nullptr;
}

void netgame_stop()
{
    netclient_close(client);
    client = nullptr;
    active = false;
}
