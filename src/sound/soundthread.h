// What keeps the mixer running: a thread of its own on the desktop; in the browser, which gives a
// page without special headers no threads, the audio output's requests for more sound. The build compiles
// exactly one of soundthread_desktop.cpp and soundthread_web.cpp.
#pragma once

// Starts calling feed_sound() for as long as the mixer runs; false when it cannot be started.
bool mixer_start();
// Stops the mixer and returns once no feed_sound() call is left running; safe when it never
// started.
void mixer_stop();
// Waits a moment for the output to free a block: false when the mixer is to stop, and the
// buffer that was waiting is dropped.
bool mixer_wait_for_output();
