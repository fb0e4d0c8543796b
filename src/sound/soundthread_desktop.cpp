// The desktop mixer: a thread that mixes one buffer after another, waiting in short naps
// whenever the output has no free block.
#include "soundthread.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

#include "sound_internal.h"

namespace {

// Held by pointer: if the program exits while the mixer runs (the X server going away calls
// exit()), a joinable std::thread destroyed at exit would abort the process.
std::thread* sound_thread = nullptr;
std::atomic<bool> run_thread{false};  // written by the game thread, polled by the mixer

constexpr auto POLL_INTERVAL = std::chrono::milliseconds(11);

void sound_thread_func()
{
    while (run_thread.load())
        feed_sound();
}

}  // namespace

bool mixer_start()
{
    run_thread.store(true);
    try {
        sound_thread = new std::thread(sound_thread_func);
    } catch (const std::exception&) {  // no thread, or no memory for it
        run_thread.store(false);
        return false;
    }
    return true;
}

void mixer_stop()
{
    if (!sound_thread)
        return;
    run_thread.store(false);
    sound_thread->join();
    delete sound_thread;
    sound_thread = nullptr;
}

bool mixer_wait_for_output()
{
    std::this_thread::sleep_for(POLL_INTERVAL);
    return run_thread.load();
}
