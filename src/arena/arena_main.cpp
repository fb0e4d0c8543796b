// quorvale-arena: plays games between two controllers without a window or sound, as fast as
// the machine allows, and counts them from the first controller's side. Each world (a calendar
// second) is played twice, the parties swapped, so neither side keeps the better start.
//
//   quorvale-arena A B SECOND... [--detail] [--record DIR]
//   quorvale-arena A B --worlds FIRST COUNT [--detail] [--record DIR]
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "arena_game.h"

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: quorvale-arena A B SECOND... [--detail] [--record DIR]\n"
                 "       quorvale-arena A B --worlds FIRST COUNT [--detail] [--record DIR]\n"
                 "A and B are controllers: opponent, idle or charge. Each world (a calendar\n"
                 "second) is played twice, the parties swapped; results count from A's side.\n"
                 "--detail follows each game's line with what each side started with and had\n"
                 "left, whether the game opened with the parties in range of each other, and\n"
                 "what each side's units could reach of the other's at the start and the end.\n"
                 "--record DIR saves every game in DIR as a replay the game can watch.\n");
    return 2;
}

bool parse_int(const char* s, long lo, long hi, long* out)
{
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

struct Tally {
    int wins, draws, losses;
    double total_seconds;
};

// "3 missile units, 0 turret units, 1 turret tower, 2 carages"
std::string left_text(const int left[ARENA_KINDS])
{
    static const char* const kNames[ARENA_KINDS][2] = {{"missile unit", "missile units"},
                                                       {"turret unit", "turret units"},
                                                       {"turret tower", "turret towers"},
                                                       {"carage", "carages"}};
    std::string text;
    for (int k = 0; k < ARENA_KINDS; k++) {
        char part[48];
        std::snprintf(part, sizeof part, "%s%d %s", k ? ", " : "", left[k], kNames[k][left[k] != 1]);
        text += part;
    }
    return text;
}

// "6 of 6 missile units reach 26 of 26 enemies, no turret units"
std::string reach_text(const ArenaReach* reach)
{
    static const char* const kNames[ARENA_MOVE_KINDS] = {"missile units", "turret units"};
    std::string text;
    for (int k = 0; k < ARENA_MOVE_KINDS; k++) {
        char part[96];
        if (reach->units[k] == 0)
            std::snprintf(part, sizeof part, "%sno %s", k ? ", " : "", kNames[k]);
        else
            std::snprintf(part, sizeof part, "%s%d of %d %s reach %d of %d enemies", k ? ", " : "",
                          reach->units_reaching[k], reach->units[k], kNames[k], reach->enemies_reached[k],
                          reach->enemies);
        text += part;
    }
    return text;
}

// "3 of 11 units reach 2 of 18 enemies"
std::string reach_end_text(const ArenaReach* reach)
{
    char text[96];
    std::snprintf(text, sizeof text, "%d of %d units reach %d of %d enemies",
                  reach->units_reaching[ARENA_FLOATING] + reach->units_reaching[ARENA_WALKING],
                  reach->units[ARENA_FLOATING] + reach->units[ARENA_WALKING], reach->enemies_reached_by_any,
                  reach->enemies);
    return text;
}

// Plays one game and prints its line (and with detail, what each side had and reached); false
// when the world could not be built.
bool play_one(int second, ControllerKind a, ControllerKind b, int a_party, bool detail,
              const char* record_dir, Tally* tally)
{
    ArenaGame game;
    game.second = second;
    std::string path;
    if (record_dir) {
        char name[160];
        std::snprintf(name, sizeof name, "/arena-%d-%s-party%d-vs-%s.qrep", second, controller_name(a),
                      a_party, controller_name(b));
        path = std::string(record_dir) + name;
    }
    game.record_path = record_dir ? path.c_str() : nullptr;
    game.controller[a_party] = a;
    game.controller[1 - a_party] = b;
    game.find_reach = detail;
    game.reach_found = false;
    // The world asks for a sound at every shot, and without a sound bank each ask prints a
    // line; those go nowhere while the game runs, and the arena's own messages come after.
    std::fflush(stderr);
    int saved_stderr = dup(2);
    int null_fd = open("/dev/null", O_WRONLY);
    if (saved_stderr >= 0 && null_fd >= 0)
        dup2(null_fd, 2);
    bool played = arena_play(&game);
    if (saved_stderr >= 0 && null_fd >= 0) {
        std::fflush(stderr);
        dup2(saved_stderr, 2);
    }
    if (null_fd >= 0)
        close(null_fd);
    if (saved_stderr >= 0)
        close(saved_stderr);
    if (!played)
        return false;
    const MatchState* m = &game.match;
    const char* result = "draw";
    if (m->outcome == MATCH_WON && m->winner == a_party) {
        result = "win";
        tally->wins++;
    } else if (m->outcome == MATCH_WON) {
        result = "loss";
        tally->losses++;
    } else {
        tally->draws++;
    }
    tally->total_seconds += m->game_time;
    char time[16];
    match_format_time(m->game_time, time, sizeof time);
    std::printf("world %d: %s (party %d) vs %s: %s after %s, losses %d of %d to %d of %d, "
                "orders %d to %d%s\n",
                second, controller_name(a), a_party, controller_name(b), result, time,
                m->losses[a_party], m->start_count[a_party], m->losses[1 - a_party],
                m->start_count[1 - a_party], game.orders[a_party], game.orders[1 - a_party],
                game.capped ? " (time cap)" : "");
    if (detail) {
        std::printf("  started: %s %s; %s %s\n", controller_name(a), left_text(game.started[a_party]).c_str(),
                    controller_name(b), left_text(game.started[1 - a_party]).c_str());
        if (game.reach_found)
            std::printf("  reach at the start: %s %s; %s %s\n", controller_name(a),
                        reach_text(&game.reach_start[a_party]).c_str(), controller_name(b),
                        reach_text(&game.reach_start[1 - a_party]).c_str());
        std::printf("  left: %s %s; %s %s; %s\n", controller_name(a), left_text(game.left[a_party]).c_str(),
                    controller_name(b), left_text(game.left[1 - a_party]).c_str(),
                    game.in_range_at_start ? "opened in range" : "opened apart");
        if (game.reach_found)
            std::printf("  reach at the end: %s %s; %s %s\n", controller_name(a),
                        reach_end_text(&game.reach_end[a_party]).c_str(), controller_name(b),
                        reach_end_text(&game.reach_end[1 - a_party]).c_str());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 4)
        return usage();
    ControllerKind a, b;
    if (!controller_from_name(argv[1], &a) || !controller_from_name(argv[2], &b)) {
        std::fprintf(stderr, "quorvale-arena: unknown controller \"%s\"\n",
                     controller_from_name(argv[1], &a) ? argv[2] : argv[1]);
        return usage();
    }
    // --detail may come anywhere after the controllers; --record DIR comes last.
    bool detail = false;
    for (int k = 3; k < argc; k++)
        if (std::strcmp(argv[k], "--detail") == 0) {
            detail = true;
            for (int j = k; j + 1 < argc; j++)
                argv[j] = argv[j + 1];
            argc--;
            break;
        }
    if (argc < 4)
        return usage();
    const char* record_dir = nullptr;
    if (argc >= 6 && std::strcmp(argv[argc - 2], "--record") == 0) {
        record_dir = argv[argc - 1];
        argc -= 2;
        struct stat st;
        if (stat(record_dir, &st) != 0 || !S_ISDIR(st.st_mode)) {
            std::fprintf(stderr, "quorvale-arena: --record needs an existing folder, not \"%s\"\n", record_dir);
            return usage();
        }
    }
    std::vector<int> seconds;
    int i = 3;
    if (std::strcmp(argv[i], "--worlds") == 0) {
        long first, count;
        if (argc != i + 3 || !parse_int(argv[i + 1], INT_MIN, INT_MAX, &first) ||
            !parse_int(argv[i + 2], 1, 100000, &count) || first + count - 1 > INT_MAX) {
            std::fprintf(stderr, "quorvale-arena: --worlds takes a first second and a count (1 to 100000)\n");
            return usage();
        }
        for (long s = first; s < first + count; s++)
            seconds.push_back((int)s);
    } else {
        for (; i < argc; i++) {
            long s;
            if (!parse_int(argv[i], INT_MIN, INT_MAX, &s)) {
                std::fprintf(stderr, "quorvale-arena: \"%s\" is not a second\n", argv[i]);
                return usage();
            }
            seconds.push_back((int)s);
        }
    }
    Tally tally = {0, 0, 0, 0};
    for (int second : seconds)
        for (int a_party = 0; a_party < 2; a_party++)
            if (!play_one(second, a, b, a_party, detail, record_dir, &tally))
                return 1;
    int games = tally.wins + tally.draws + tally.losses;
    char mean[16];
    match_format_time(games ? tally.total_seconds / games : 0, mean, sizeof mean);
    std::printf("%s vs %s: %d wins, %d draws, %d losses (%d games, mean %s)\n", argv[1], argv[2],
                tally.wins, tally.draws, tally.losses, games, mean);
    return 0;
}
