#include "pointermotion.h"

namespace {

int clamp(int v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

HeldMotion held_pointer_motion(int w, int h, int dx, int dy)
{
    HeldMotion m;
    m.x = clamp(w / 2 + dx, 0, w > 0 ? w - 1 : 0);
    m.y = clamp(h / 2 + dy, 0, h > 0 ? h - 1 : 0);
    m.xrel = m.x - w / 2;
    m.yrel = m.y - h / 2;
    return m;
}
