#include "recording.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "gamerecord.h"
#include "newgame.h"
#include "shell.h"

namespace {

constexpr u32 FLUSH_MS = 1000;

std::string folder;  // empty: not recording
bool game_open = false;
GameRecorder recorder;
std::string path;
u32 last_flush = 0;
bool by_game_time = false;  // recording_flush_by_game_time

// The file of a game from its second; a second file of the same second gets "-2" and so on.
std::string file_for(s64 second)
{
    std::time_t t = (std::time_t)second;
    std::tm tm;
    char name[64];
    if (!gmtime_r(&t, &tm) || std::strftime(name, sizeof name, "quorvale-%Y%m%d-%H%M%S", &tm) == 0)
        std::snprintf(name, sizeof name, "quorvale-%lld", (long long)second);
    std::string base = folder + "/" + name;
    std::string p = base + ".qrep";
    for (int k = 2; access(p.c_str(), F_OK) == 0 && k < 1000; k++)
        p = base + "-" + std::to_string(k) + ".qrep";
    return p;
}

void stop_after_failure()
{
    std::fprintf(stderr, "Recording stopped: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    recorder_abandon(&recorder);
    game_open = false;
}

}  // namespace

bool recording_set_folder(const char* dir)
{
    struct stat st;
    if (stat(dir, &st) != 0) {
        std::fprintf(stderr, "Cannot record into %s: %s\n", dir, std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "Cannot record into %s: not a folder\n", dir);
        return false;
    }
    // access() answers for the real user; a probe file answers for what will really happen.
    std::string probe = std::string(dir) + "/.quorvale-record-probe";
    std::FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "Cannot record into %s: %s\n", dir, std::strerror(errno));
        return false;
    }
    std::fclose(f);
    std::remove(probe.c_str());
    folder = dir;
    return true;
}

void recording_flush_by_game_time()
{
    by_game_time = true;
}

void recording_game_created()
{
    if (folder.empty())
        return;
    recording_game_over();
    path = file_for(main_game_start.second);
    char err[300];
    if (!recorder_open(&recorder, path.c_str(), &main_game_start, &main_gameenv, err, sizeof err)) {
        std::fprintf(stderr, "Recording stopped: %s\n", err);
        return;
    }
    if (by_game_time)
        recorder_flush_by_game_time(&recorder);
    game_open = true;
    std::printf("Recording to %s\n", path.c_str());
}

bool recording_flush_now()
{
    if (!game_open)
        return false;
    if (!recorder_flush(&recorder)) {
        stop_after_failure();
        return false;
    }
    return true;
}

const char* recording_path()
{
    return path.c_str();
}

void recording_game_over()
{
    if (!game_open)
        return;
    game_open = false;
    if (recorder_close(&recorder, &main_gameenv))
        std::printf("Replay saved: %s\n", path.c_str());
    else
        std::fprintf(stderr, "Recording stopped: cannot write %s\n", path.c_str());
}

void recording_order(const Order* order)
{
    if (game_open)
        recorder_order(&recorder, order);
}

void recording_before_update()
{
    if (game_open)
        recorder_before_step(&recorder);
}

void recording_after_update(float dtime)
{
    if (game_open)
        recorder_after_step(&recorder, dtime, &main_gameenv);
}

void recording_frame(u32 ticks)
{
    if (!game_open || ticks - last_flush < FLUSH_MS)
        return;
    last_flush = ticks;
    if (!recorder_flush(&recorder))
        stop_after_failure();
}
