// The ring of blocks between the mixer and the audio output, as both platforms' outputs play
// it: queued blocks in ring order, each freed once all of it is played.
#pragma once

// Frees every block; playing starts again at the first. Only while nothing plays.
void audioring_reset();
// Fills `len` bytes of `stream` from the queued blocks, silence where none is queued, and frees
// each block once all of it has been played. Called by the output alone.
void audioring_play(char* stream, int len);
