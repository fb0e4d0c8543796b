#include "redraw.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>

namespace {

constexpr FrameLook MAIN_MENU = {PS_MAINMENU, 800, 600, false, 0, 0, false};
constexpr FrameLook PAUSE_MENU = {PS_PAUSEMENU, 800, 600, false, 0, 0, false};
constexpr FrameLook PLAY = {PS_INGAME, 800, 600, false, 0, 0, false};

SDL_Event event_of(Uint8 type)
{
    SDL_Event e = {};
    e.type = type;
    return e;
}

// Frames of `look` after the gate's first drawn one: how many of `frames` are drawn.
int drawn_of(RedrawGate* gate, const FrameLook& look, int frames)
{
    int drawn = 0;
    for (int i = 0; i < frames; i++)
        drawn += redraw_frame_due(gate, look) ? 1 : 0;
    return drawn;
}

TEST(Redraw, AnIdleMenuIsDrawnOnceAndPlayEveryFrame)
{
    for (const FrameLook& menu : {MAIN_MENU, PAUSE_MENU}) {
        RedrawGate gate;
        redraw_gate_init(&gate);
        EXPECT_TRUE(redraw_frame_due(&gate, menu)) << "the first frame of state " << menu.state;
        EXPECT_EQ(drawn_of(&gate, menu, 600), 0) << "ten idle seconds in state " << menu.state;
    }
    // The world moves in play, and the states no menu rule covers are never left undrawn.
    for (ProgramState state : {PS_INGAME, PS_INGAMEMENU, PS_NONE}) {
        RedrawGate gate;
        redraw_gate_init(&gate);
        FrameLook look = {state, 800, 600, false, 0, 0, false};
        EXPECT_EQ(drawn_of(&gate, look, 100), 100) << "state " << state;
    }
}

TEST(Redraw, InputAndWindowEventsDrawTheNextFrameOnly)
{
    const struct {
        Uint8 type;
        bool drawn;
    } cases[] = {
        {SDL_MOUSEMOTION, true},     {SDL_MOUSEBUTTONDOWN, true}, {SDL_MOUSEBUTTONUP, true},
        {SDL_KEYDOWN, true},         {SDL_KEYUP, true},           {SDL_VIDEORESIZE, true},
        {SDL_VIDEOEXPOSE, true},     {SDL_ACTIVEEVENT, true},     {SDL_QUIT, false},
        {SDL_SYSWMEVENT, false},     {SDL_USEREVENT, false},      {SDL_JOYAXISMOTION, false},
    };
    for (const auto& c : cases) {
        RedrawGate gate;
        redraw_gate_init(&gate);
        ASSERT_TRUE(redraw_frame_due(&gate, MAIN_MENU));
        SDL_Event e = event_of(c.type);
        redraw_note_event(&gate, &e);
        EXPECT_EQ(redraw_frame_due(&gate, MAIN_MENU), c.drawn) << "event type " << int(c.type);
        EXPECT_FALSE(redraw_frame_due(&gate, MAIN_MENU)) << "the frame after event type "
                                                          << int(c.type);
    }
}

TEST(Redraw, ManyEventsInOneFrameDrawItOnce)
{
    RedrawGate gate;
    redraw_gate_init(&gate);
    redraw_frame_due(&gate, MAIN_MENU);
    for (int i = 0; i < 5; i++) {
        SDL_Event e = event_of(SDL_MOUSEMOTION);
        redraw_note_event(&gate, &e);
    }
    EXPECT_EQ(drawn_of(&gate, MAIN_MENU, 3), 1);
}

TEST(Redraw, AChangedStateOrWindowIsDrawnWithoutAnEvent)
{
    RedrawGate gate;
    redraw_gate_init(&gate);
    redraw_frame_due(&gate, MAIN_MENU);
    // The browser pauses a game when its page is hidden, without an event of the game's.
    EXPECT_TRUE(redraw_frame_due(&gate, PAUSE_MENU));
    EXPECT_FALSE(redraw_frame_due(&gate, PAUSE_MENU));
    FrameLook wider = PAUSE_MENU;
    wider.w = 1024;
    EXPECT_TRUE(redraw_frame_due(&gate, wider));
    FrameLook taller = wider;
    taller.h = 768;
    EXPECT_TRUE(redraw_frame_due(&gate, taller));
    FrameLook full = taller;
    full.fullscreen = true;
    EXPECT_TRUE(redraw_frame_due(&gate, full));
    EXPECT_FALSE(redraw_frame_due(&gate, full));
    EXPECT_TRUE(redraw_frame_due(&gate, taller)) << "back to the window at the same size";
    // A WebGL context given back after a loss is empty: the menu must be drawn into it.
    FrameLook restored = taller;
    restored.graphics = 1;
    EXPECT_TRUE(redraw_frame_due(&gate, restored));
    EXPECT_FALSE(redraw_frame_due(&gate, restored));
    // A network game's line over the menu changes with no event of the player's: "Connecting
    // to the server..." gives way to the game's code.
    FrameLook coded = restored;
    coded.status = 7;
    EXPECT_TRUE(redraw_frame_due(&gate, coded));
    EXPECT_FALSE(redraw_frame_due(&gate, coded));
}

TEST(Redraw, APauseMenuOverANetworkGameIsDrawnEveryFrame)
{
    // The world goes on under it, so every frame shows something new.
    RedrawGate gate;
    redraw_gate_init(&gate);
    FrameLook live = PAUSE_MENU;
    live.world_moves = true;
    redraw_frame_due(&gate, live);
    EXPECT_EQ(drawn_of(&gate, live, 60), 60);
    EXPECT_EQ(drawn_of(&gate, PAUSE_MENU, 60), 0) << "the network game over, the menu rests again";
}

TEST(Redraw, LeavingPlayDrawsTheMenuOnceThenRests)
{
    RedrawGate gate;
    redraw_gate_init(&gate);
    redraw_frame_due(&gate, PAUSE_MENU);
    ASSERT_EQ(drawn_of(&gate, PLAY, 10), 10);
    // Motion in play is drawn with the frame it came in and leaves nothing due for the menu.
    SDL_Event motion = event_of(SDL_MOUSEMOTION);
    redraw_note_event(&gate, &motion);
    ASSERT_TRUE(redraw_frame_due(&gate, PLAY));
    EXPECT_TRUE(redraw_frame_due(&gate, PAUSE_MENU)) << "the pause menu's first frame";
    EXPECT_EQ(drawn_of(&gate, PAUSE_MENU, 60), 0);
    EXPECT_TRUE(redraw_frame_due(&gate, MAIN_MENU)) << "the main menu's first frame";
    EXPECT_EQ(drawn_of(&gate, MAIN_MENU, 60), 0);
}

TEST(Redraw, TheLookIsReadFromTheStateAndTheWindow)
{
    ProgramState saved_state = main_state;
    SDL_Surface* saved_screen = main_screen;
    SDL_Surface screen = {};
    screen.w = 640;
    screen.h = 480;
    screen.flags = SDL_OPENGL | SDL_FULLSCREEN;
    main_state = PS_PAUSEMENU;
    main_screen = &screen;
    FrameLook look = current_frame_look();
    EXPECT_EQ(look.state, PS_PAUSEMENU);
    EXPECT_EQ(look.w, 640);
    EXPECT_EQ(look.h, 480);
    EXPECT_TRUE(look.fullscreen);
    screen.flags = SDL_OPENGL | SDL_RESIZABLE;
    EXPECT_FALSE(current_frame_look().fullscreen);
    main_screen = nullptr;
    look = current_frame_look();
    EXPECT_EQ(look.w, 0);
    EXPECT_EQ(look.h, 0);
    main_state = saved_state;
    main_screen = saved_screen;
}

}  // namespace
