// --check-replay in the WebAssembly build, under node: plays a replay file to its end and
// prints the same summary line as the desktop game; the exit status is check_replay's.
#include <cstdio>

#include "checkreplay.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: replay_check FILE\n");
        return 2;
    }
    return check_replay(argv[1]);
}
