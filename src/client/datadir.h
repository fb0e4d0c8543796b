// Where the game reads its data files. A game started where resources/ is, as from the
// source tree, reads it there; an installed game has none in its working directory and reads
// the data folder of its own install, found from the executable's path, so that an install
// moved as a whole (a staging folder, a package, an unpacked tree) still finds its files.
#pragma once

#include <cstddef>

// Chooses the folder that the "resources/..." paths are read under and writes it with a
// trailing '/' into dir: "" when the working directory has resources/; otherwise the
// executable's folder joined with data_from_bin (the install's data folder relative to its
// bin folder) when resources/ is there; otherwise "" again, so that the failure messages
// name the paths a game started from its tree would look for. exe_path is the executable's
// absolute path. true when the install's data folder was chosen.
bool find_data_dir(const char* exe_path, const char* data_from_bin, char* dir, size_t size);

// Chooses the game's data folder once at start-up from /proc/self/exe.
void init_data_dir();

// The path of the data file `relative` ("resources/...") in the chosen folder, written
// into buf, which it returns. A path too long for buf comes out empty, so opening it fails.
const char* data_path(const char* relative, char* buf, size_t size);
