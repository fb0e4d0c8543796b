#include "redraw.h"

#include <cstring>

#include "fnv.h"

#include "netgame.h"
#include "platform.h"

namespace {

// The states whose picture stands still between events; any other state is drawn every frame.
bool is_still_menu(ProgramState state)
{
    return state == PS_MAINMENU || state == PS_PAUSEMENU;
}

bool same_look(const FrameLook& a, const FrameLook& b)
{
    return a.state == b.state && a.w == b.w && a.h == b.h && a.fullscreen == b.fullscreen &&
           a.graphics == b.graphics && a.status == b.status;
}

u32 text_hash(const char* text)
{
    if (!text)
        return 0;
    return fnv1a(FNV1A_BASIS, text, std::strlen(text)) | 1;  // never 0, which stands for no line
}

}  // namespace

void redraw_gate_init(RedrawGate* gate)
{
    *gate = RedrawGate{};
}

void redraw_note_event(RedrawGate* gate, const SDL_Event* event)
{
    switch (event->type) {
    // The drawn pointer follows the mouse; a hover changes the selected button.
    case SDL_MOUSEMOTION:
    // A key or a click may change the selection, the state, the window or, under the pause
    // menu, the selected units (Ctrl+A); one frame per press or release is nothing next to
    // telling every such change apart.
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    // The window was re-made, or what covered it went away and its content is lost.
    case SDL_VIDEORESIZE:
    case SDL_VIDEOEXPOSE:
    case SDL_ACTIVEEVENT:
        gate->changed = true;
        break;
    default:
        break;
    }
}

bool redraw_frame_due(RedrawGate* gate, const FrameLook& look)
{
    bool due = !is_still_menu(look.state) || look.world_moves || !gate->drawn || gate->changed ||
               !same_look(look, gate->last);
    if (due) {
        gate->drawn = true;
        gate->changed = false;
        gate->last = look;
    }
    return due;
}

FrameLook current_frame_look()
{
    FrameLook look = {main_state, 0, 0, false, platform_graphics_generation(),
                      text_hash(netgame_status()), netgame_active() && main_state == PS_PAUSEMENU};
    if (main_screen) {
        look.w = main_screen->w;
        look.h = main_screen->h;
        look.fullscreen = (main_screen->flags & SDL_FULLSCREEN) != 0;
    }
    return look;
}
