// --check-replay FILE: a replay played as fast as the machine allows, without a window or a
// sound device. Prints its frames, game time and final world hash.
#pragma once

// 0 when every recorded hash matched, 1 at the first difference ("Replay diverged at frame F"),
// 2 when the file cannot be read or asks for what no game could do (with the reason).
int check_replay(const char* path);
