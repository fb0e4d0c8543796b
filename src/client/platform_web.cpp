// The browser's platform: the page's animation frames drive the game's frames, the browser's
// pointer lock holds the pointer in play, the page's fullscreen switch makes the game
// fullscreen, the canvas takes the size the page gives it, and a WebGL context the browser
// takes away pauses the game until it comes back, when the game makes its graphics again. The
// page script (web/page.js) provides Module.canvasSize, Module.toggleFullscreen,
// Module.onFrame and Module.onGraphicsRestored.
#include "platform.h"

#include <cstdio>
#include <cstring>

#include <emscripten.h>

#include "frametime.h"
#include "glmisc.h"
#include "mesh.h"
#include "pointermotion.h"
#include "shell.h"
#include "textures.h"

namespace {

void (*run_frame)() = nullptr;
void (*run_finish)() = nullptr;
AwayClock frame_clock = {0, 0, false};

// Events the platform makes itself, handed out after SDL's queue: the motion a warp causes on
// the desktop and the resize when the page changes the canvas size.
constexpr int OWN_EVENTS_MAX = 8;
SDL_Event own_events[OWN_EVENTS_MAX];
int own_first = 0, own_count = 0;

int pointer_x = 0, pointer_y = 0;          // where the game last saw the pointer, window pixels
bool pause_due = false;                    // the page was hidden or lost the pointer since the last frame
int resize_sent_w = 0, resize_sent_h = 0;  // the last size asked for by a resize event
u32 graphics_generation = 0;               // contexts given back after a loss so far

void push_own_event(const SDL_Event& event)
{
    if (own_count == OWN_EVENTS_MAX)
        return;
    own_events[(own_first + own_count) % OWN_EVENTS_MAX] = event;
    own_count++;
}

// Installs the listeners behind the flags read below. The game's keys are kept from the
// browser's own uses (Ctrl+A selecting the page, F11, arrows scrolling); every other key
// keeps the browser's meaning and never reaches the game. A click on the canvas while the
// game wants the pointer held takes the pointer and is not a click of the game's.
//
// Escape in play pauses the game once, however the browser treats it: some free the pointer
// and keep the key, some pass the key on and keep the pointer, some do both, in either order.
// A loss of the pointer close to an Escape that reached the game is that Escape's; an Escape
// close after a loss is the loss's.
EM_JS(void, web_init, (), {
    var input = {locked: false, wanted: false, pending: false, refused: false, expectUnlock: false,
                 away: false, lockTakenAway: false, swallowUp: {}, escapeAt: -1e9, lostAt: -1e9};
    var ESCAPE_PAIR_MS = 250;
    Module.quorvaleInput = input;
    var canvas = Module.canvas;
    var gameKeys = {};
    // W A S D E I, Space, Return, Escape, arrows, Shift, Ctrl, Alt, F1, F11.
    [87, 65, 83, 68, 69, 73, 32, 13, 27, 37, 38, 39, 40, 16, 17, 18, 112, 122].forEach(function(k) {
        gameKeys[k] = true;
    });
    function onKey(event) {
        if (!gameKeys[event.keyCode]) {
            event.stopImmediatePropagation();
            return;
        }
        if (event.keyCode === 27) {
            var now = performance.now();
            if (now - input.lostAt < ESCAPE_PAIR_MS) {
                event.stopImmediatePropagation();
                event.preventDefault();
                return;
            }
            if (input.locked)
                input.escapeAt = now;
        }
        // Browsers grant fullscreen only inside the handler of the key that asked for it, so
        // the switch happens here; the game's own answer to the key does nothing more.
        if (!event.repeat && (event.keyCode === 122 || (event.keyCode === 13 && event.altKey)) &&
            Module.toggleFullscreen)
            Module.toggleFullscreen();
    }
    window.addEventListener('keydown', onKey, true);
    window.addEventListener('keyup', function(event) {
        if (!gameKeys[event.keyCode])
            event.stopImmediatePropagation();
    }, true);
    window.addEventListener('keypress', function(event) {
        event.stopImmediatePropagation();
    }, true);

    // The page prevents the default of the loss (so that the browser may give the context
    // back); a restore is taken up by the next frame.
    canvas.addEventListener('webglcontextrestored', function() {
        input.graphicsRestored = true;
    });

    input.request = function() {
        input.pending = true;
        try {
            var promise = canvas.requestPointerLock();
            if (promise && promise.catch)
                promise.catch(function() { input.pending = false; input.refused = true; });
        } catch (e) {
            input.pending = false;
            input.refused = true;
        }
    };
    window.addEventListener('mousedown', function(event) {
        if (event.target !== canvas || !input.wanted || input.locked)
            return;
        input.request();
        input.swallowUp[event.button] = true;
        event.stopImmediatePropagation();
        event.preventDefault();
    }, true);
    window.addEventListener('mouseup', function(event) {
        if (!input.swallowUp[event.button])
            return;
        input.swallowUp[event.button] = false;
        event.stopImmediatePropagation();
        event.preventDefault();
    }, true);
    document.addEventListener('pointerlockchange', function() {
        var locked = document.pointerLockElement === canvas;
        if (locked) {
            input.pending = false;
            input.refused = false;
        } else if (input.locked) {
            var now = performance.now();
            if (input.expectUnlock) {
                input.expectUnlock = false;
            } else if (now - input.escapeAt >= ESCAPE_PAIR_MS) {
                input.lockTakenAway = true;
                input.lostAt = now;
            }
        }
        input.locked = locked;
    });
    document.addEventListener('pointerlockerror', function() {
        input.pending = false;
        input.refused = true;
    });
    document.addEventListener('visibilitychange', function() {
        if (document.hidden)
            input.away = true;
    });
});

// Bit 0: the page was hidden since the last call; bit 1: the browser took the held pointer away.
EM_JS(int, web_take_page_changes, (), {
    var input = Module.quorvaleInput;
    var changes = (input.away ? 1 : 0) | (input.lockTakenAway ? 2 : 0);
    input.away = false;
    input.lockTakenAway = false;
    return changes;
});

// 1 while the WebGL context is lost, 2 once it is back and the game has not yet made its
// graphics again, else 0.
EM_JS(int, web_graphics_state, (), {
    if (Module.ctx && Module.ctx.isContextLost())
        return 1;
    return Module.quorvaleInput.graphicsRestored ? 2 : 0;
});

EM_JS(void, web_graphics_restored, (), {
    Module.quorvaleInput.graphicsRestored = false;
    if (Module.onGraphicsRestored)
        Module.onGraphicsRestored();
});

EM_JS(int, web_pointer_locked, (), {
    return Module.quorvaleInput.locked ? 1 : 0;
});

// Holds the pointer (pointer lock) or frees it. A request outside a click may be refused; then
// the next click on the canvas asks again.
EM_JS(void, web_hold_pointer, (int hold), {
    var input = Module.quorvaleInput;
    input.wanted = hold !== 0;
    if (input.wanted) {
        if (!input.locked && !input.pending && !input.refused)
            input.request();
    } else {
        input.refused = false;
        if (input.locked) {
            input.expectUnlock = true;
            document.exitPointerLock();
        }
    }
});

// Where SDL reports the pointer (the drawn pointer follows it), as a warp puts it.
EM_JS(void, web_place_pointer, (int x, int y), {
    Browser.mouseX = x;
    Browser.mouseY = y;
});

// The canvas size the page wants, packed as width * 65536 + height; 0 for no wish.
EM_JS(int, web_wanted_canvas_size, (), {
    var size = Module.canvasSize;
    if (!size)
        return 0;
    var w = Math.max(1, Math.min(16384, size[0] | 0)), h = Math.max(1, Math.min(16384, size[1] | 0));
    return w * 65536 + h;
});

EM_JS(void, web_frame_done, (int state, int grabbed, int w, int h), {
    if (Module.onFrame)
        Module.onFrame(state, grabbed !== 0, w, h);
});

// A resize event when the page wants another canvas size than the window's.
void follow_canvas_size()
{
    int packed = web_wanted_canvas_size();
    if (!main_screen || packed == 0)
        return;
    int w = packed >> 16, h = packed & 0xFFFF;
    if ((w == main_screen->w && h == main_screen->h) || (w == resize_sent_w && h == resize_sent_h))
        return;
    resize_sent_w = w;
    resize_sent_h = h;
    SDL_Event event = {};
    event.type = SDL_VIDEORESIZE;
    event.resize.w = w;
    event.resize.h = h;
    push_own_event(event);
}

// A hidden page and a pointer the browser took away pause the game as Escape does in play, and
// no frame simulates the time the page was hidden. The clock learns it before the frame reads
// it; the pause comes once the input queued before the change is handled, as it was given in
// play: a click that reached the game just before the browser took the pointer is a click in
// play, not one on the pause menu's button under the centred pointer.
void take_page_changes()
{
    int changes = web_take_page_changes();
    if (changes & 1)
        away_clock_note_away(&frame_clock);
    if (changes != 0)
        pause_due = true;
}

void pause_if_due()
{
    if (!pause_due)
        return;
    pause_due = false;
    if (main_state == PS_INGAME)
        set_program_state(PS_PAUSEMENU);
}

void stop(int status)
{
    emscripten_cancel_main_loop();
    run_finish();
    emscripten_force_exit(status);
}

// A frame while the WebGL context is lost: nothing can be drawn, so a game in play pauses as
// for a hidden page, the pointer is freed and no frame simulates the time without graphics.
void frame_without_graphics()
{
    away_clock_note_away(&frame_clock);
    if (main_state == PS_INGAME)
        set_program_state(PS_PAUSEMENU);
    web_hold_pointer(main_mouse_grabbed);
    web_frame_done(main_state, main_mouse_grabbed, main_screen ? main_screen->w : 0,
                   main_screen ? main_screen->h : 0);
}

// The context is back but empty: the drawing layer forgets the old one's objects, and the
// game's textures and terrain buffers are made by the code that first made them (the start's
// texture loading; the terrain is uploaded at its next draw, as in a new game). The world, the
// selection and the camera never left memory.
bool restore_graphics()
{
    gl_context_restored();
    GLuint old_voxel_texture = main_voxel_texture;
    if (load_textures() != 0) {
        std::fprintf(stderr, "Could not make the textures again after the graphics were reset\n");
        return false;
    }
    if (main_voxel_mesh.texture_handle == old_voxel_texture)
        main_voxel_mesh.texture_handle = main_voxel_texture;
    if (main_voxel_mesh.vertex_vbo != MESH_NO_HANDLE || main_voxel_mesh.color_vbo != MESH_NO_HANDLE ||
        main_voxel_mesh.txcoord_vbo != MESH_NO_HANDLE)
        mesh_delete_vbo(&main_voxel_mesh);
    web_graphics_restored();
    graphics_generation++;
    return true;
}

void browser_frame()
{
    if (!main_run) {
        stop(0);
        return;
    }
    take_page_changes();
    int graphics = web_graphics_state();
    if (graphics == 1) {
        frame_without_graphics();
        return;
    }
    if (graphics == 2 && !restore_graphics()) {
        stop(255);
        return;
    }
    follow_canvas_size();
    run_frame();
    if (!main_run) {
        stop(0);
        return;
    }
    web_hold_pointer(main_mouse_grabbed);
    web_frame_done(main_state, main_mouse_grabbed, main_screen ? main_screen->w : 0,
                   main_screen ? main_screen->h : 0);
}

}  // namespace

void platform_before_window()
{
}

void platform_run_frames(void (*frame)(), void (*finish)())
{
    run_frame = frame;
    run_finish = finish;
    web_init();
    // One frame per animation frame; the stack of the caller is left behind, the browser calls.
    emscripten_set_main_loop(browser_frame, 0, 1);
}

u32 platform_ticks()
{
    return away_clock_read(&frame_clock, SDL_GetTicks());
}

bool platform_poll_event(SDL_Event* event)
{
    for (;;) {
        // The browser's SDL reports every mouse button as a touch too, and a touch it cannot
        // place (under pointer lock, before any free click) is left unwritten: the event would
        // repeat the one before. Cleared, such a one is skipped.
        std::memset(event, 0, sizeof(*event));
        if (!SDL_PollEvent(event))
            break;
        if (event->type == 0)
            continue;
        if (event->type != SDL_MOUSEMOTION && event->type != SDL_MOUSEBUTTONDOWN &&
            event->type != SDL_MOUSEBUTTONUP)
            return true;
        if (event->type == SDL_MOUSEMOTION && main_mouse_grabbed && main_screen) {
            // A held pointer: the browser reports only the movement, which becomes the event
            // the desktop sees after its warp to the centre. Before the browser holds it, the
            // pointer moves freely and turns nothing.
            if (!web_pointer_locked())
                continue;
            HeldMotion m = held_pointer_motion(main_screen->w, main_screen->h,
                                               event->motion.xrel, event->motion.yrel);
            event->motion.x = m.x;
            event->motion.y = m.y;
            event->motion.xrel = m.xrel;
            event->motion.yrel = m.yrel;
        }
        pointer_x = event->type == SDL_MOUSEMOTION ? event->motion.x : event->button.x;
        pointer_y = event->type == SDL_MOUSEMOTION ? event->motion.y : event->button.y;
        return true;
    }
    pause_if_due();
    // As on the desktop, what a warp or a resize causes comes after what was already queued.
    if (own_count == 0)
        return false;
    *event = own_events[own_first];
    own_first = (own_first + 1) % OWN_EVENTS_MAX;
    own_count--;
    return true;
}

u32 platform_graphics_generation()
{
    return graphics_generation;
}

void platform_delay(u32)
{
    // The frame-time floor is 3 ms and an animation frame is longer.
}

void platform_warp_pointer(int x, int y)
{
    // The browser cannot move the pointer; the game's view of it moves, with the motion event a
    // warp causes on the desktop, which the game's input rules expect.
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    event.motion.xrel = x - pointer_x;
    event.motion.yrel = y - pointer_y;
    push_own_event(event);
    pointer_x = x;
    pointer_y = y;
    web_place_pointer(x, y);
}

void platform_toggle_fullscreen()
{
    // The key handler of the page switched already (web_init), inside the browser's event.
}
