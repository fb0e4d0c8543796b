// Motion of a pointer held at the window centre, as the desktop game sees it. There the game
// warps the pointer back to the centre and reads where it went; a browser holds the pointer
// itself (pointer lock) and reports only the movement, which becomes the same event.
#pragma once

// A motion event: where the pointer went and how far, window pixels with y down.
struct HeldMotion {
    int x, y;        // 0..w-1, 0..h-1
    int xrel, yrel;  // from the window centre
};

// The event of a held pointer in a w x h window that moved by (dx, dy) from the centre: the
// centre plus the movement, stopped at the window's edges as a real pointer is.
HeldMotion held_pointer_motion(int w, int h, int dx, int dy);
