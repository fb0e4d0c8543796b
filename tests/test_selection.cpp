#include "selection.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "input.h"
#include "play_world.h"
#include "sound_internal.h"
#include "versus.h"

namespace {

class SelectionTest : public PlayWorldTest {
protected:
    void SetUp() override
    {
        PlayWorldTest::SetUp();
        main_state = PS_INGAME;
        fill(0, 0, 0, 63, 63, 1, MATERIAL_GRASS);  // flat ground, units stand at voxel z 2
        v3f_set_xyz(&main_cam_pos, 32, 20, 8);
        main_cam_yaw = std::atan2(1.0f, 0.0f);
        reset_sounds();
    }
    void TearDown() override
    {
        sound_reset();
        main_state = PS_NONE;
        PlayWorldTest::TearDown();
    }

    // An "ok" collection of one short silent sound, and no voice playing.
    void reset_sounds()
    {
        sound_reset();
        s16* buf = (s16*)std::calloc(4, sizeof(s16));
        ASSERT_GE(sound_bank_append("roger0", buf, 2), 0);
        ASSERT_EQ(sound_collection_add("ok", "roger0"), 0);
    }
    int voices()
    {
        PlayingSound out[8];
        return sound_voices(out);
    }

    // Aims the crosshair at the view point (x, y, z) and runs the frame's pointing.
    void aim_at(float x, float y, float z)
    {
        V3f d = {x - main_cam_pos.x, y - main_cam_pos.y, z - main_cam_pos.z};
        main_cam_yaw = std::atan2(d.y, d.x);
        main_cam_pitch = std::atan2(d.z, std::hypot(d.x, d.y));
        main_friendly_party = get_selected_party();
        update_pointing();
    }
    void aim_at_unit(const Entity* e) { aim_at(e->pf.x, e->pf.y, e->pf.z * 0.5f); }

    void send_key(int sym, bool down)
    {
        SDL_Event ev = {};
        ev.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        ev.key.keysym.sym = (SDLKey)sym;
        handle_event(&ev);
    }
    void tap_key(int sym)
    {
        send_key(sym, true);
        send_key(sym, false);
    }
    void send_button(int button, bool down)
    {
        SDL_Event ev = {};
        ev.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        ev.button.button = (Uint8)button;
        ev.button.x = 400;
        ev.button.y = 300;
        handle_event(&ev);
    }
    void click(int button = SDL_BUTTON_LEFT)
    {
        send_button(button, true);
        send_button(button, false);
    }
    std::string captured()
    {
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(SelectionTest, ClickOnAUnitSelectsItAndGroundIsNotPointedWithNothingSelected)
{
    Entity* unit = add_unit(32, 26, 2);
    aim_at(32, 30, 0.75f);  // ground only
    EXPECT_EQ(main_pointed_thing.type, PTT_NOTHING);
    EXPECT_FALSE(main_pointed_draw_adjacent);
    click();
    EXPECT_FALSE(unit->selected);
    EXPECT_EQ(voices(), 0);

    aim_at_unit(unit);
    ASSERT_EQ(main_pointed_thing.type, PTT_ENTITY);
    click();
    EXPECT_TRUE(unit->selected);
    EXPECT_EQ(voices(), 1) << "a selected unit answers";

    aim_at(32, 30, 0.75f);
    EXPECT_EQ(main_pointed_thing.type, PTT_VOXEL) << "with a selection the ground can be pointed";
    EXPECT_TRUE(main_pointed_draw_adjacent);
}

TEST_F(SelectionTest, SelectingABuildingIsSilentAndShiftAddsToTheSelection)
{
    Entity* first = add_unit(30, 26, 2);
    Entity* second = add_unit(34, 26, 2);
    Entity* building = add_unit(32, 28, 2);
    building->type = ET_BUILDING;
    occupancy_invalidate(&main_gameenv);

    aim_at_unit(first);
    click();
    aim_at_unit(second);
    click();
    EXPECT_FALSE(first->selected) << "a plain click replaces the selection";
    EXPECT_TRUE(second->selected);

    send_key(SDLK_LSHIFT, true);
    aim_at_unit(first);
    click();
    send_key(SDLK_LSHIFT, false);
    EXPECT_TRUE(first->selected);
    EXPECT_TRUE(second->selected);

    reset_sounds();
    aim_at_unit(building);
    click();
    EXPECT_TRUE(building->selected);
    EXPECT_FALSE(first->selected);
    EXPECT_EQ(voices(), 0);
}

TEST_F(SelectionTest, GroundClickSendsEverySelectedUnitWithTheWholeGroupSize)
{
    Entity* a = add_unit(30, 22, 2);
    Entity* b = add_unit(34, 22, 2);
    Entity* building = add_unit(20, 22, 2);
    building->type = ET_BUILDING;
    occupancy_invalidate(&main_gameenv);
    a->selected = b->selected = true;

    aim_at(32, 30, 0.6f);
    ASSERT_EQ(main_pointed_thing.type, PTT_VOXEL);
    V3i dest = main_pointed_thing.voxel.adjacent;
    testing::internal::CaptureStdout();
    click();
    char expected[64];
    std::snprintf(expected, sizeof expected, "Go to (%i,%i,%i)\n", (int)dest.x, (int)dest.y, (int)dest.z);
    EXPECT_EQ(captured(), expected);
    for (Entity* e : {a, b}) {
        ASSERT_EQ(e->task.type, ETT_TRAVEL);
        EXPECT_EQ(e->task.travel.group_size, 2);
        EXPECT_EQ(e->task.travel.target.type, TARGET_COORDS);
        EXPECT_TRUE(v3i_eq(&e->task.travel.target.p, &dest));
    }
    EXPECT_EQ(voices(), 1);

    // One unit and one building selected: only the unit moves, and it counts the building.
    b->selected = false;
    b->task.type = ETT_NONE;
    building->selected = true;
    aim_at(32, 30, 0.6f);
    testing::internal::CaptureStdout();
    click();
    captured();
    EXPECT_EQ(a->task.travel.group_size, 2);
    EXPECT_EQ(building->task.type, ETT_NONE);
    EXPECT_EQ(b->task.type, ETT_NONE);
}

// The sandbox's player may select units of both parties; a click sends all of them, each with
// the group size of the whole selection, and a wreck among them answers without moving.
TEST_F(SelectionTest, GroundAndAttackClicksCommandBothPartiesOfAMixedSelection)
{
    Entity* a = add_unit(30, 22, 2, 1);
    Entity* b = add_unit(34, 22, 2, 0);
    Entity* c = add_unit(36, 22, 2, 1);
    Entity* wreck = add_unit(38, 22, 2, -1);
    wreck->task_locked = true;
    occupancy_invalidate(&main_gameenv);
    a->selected = b->selected = c->selected = wreck->selected = true;

    aim_at(32, 30, 0.6f);
    ASSERT_EQ(main_pointed_thing.type, PTT_VOXEL);
    V3i dest = main_pointed_thing.voxel.adjacent;
    testing::internal::CaptureStdout();
    click();
    captured();
    for (Entity* e : {a, b, c}) {
        ASSERT_EQ(e->task.type, ETT_TRAVEL) << "uid " << e->uid;
        EXPECT_EQ(e->task.travel.group_size, 4);
        EXPECT_TRUE(v3i_eq(&e->task.travel.target.p, &dest));
    }
    EXPECT_EQ(wreck->task.type, ETT_NONE);
    EXPECT_EQ(voices(), 1);

    // Only the wreck selected: nothing moves, but it still answers as any selected unit does.
    a->selected = b->selected = c->selected = false;
    reset_sounds();
    aim_at(32, 30, 0.6f);
    testing::internal::CaptureStdout();
    click();
    EXPECT_NE(captured(), "");
    EXPECT_EQ(voices(), 1);
    EXPECT_EQ(wreck->task.type, ETT_NONE);

    // An attack with both parties selected: every unit that can fire takes it.
    Entity* victim = add_unit(32, 30, 2, 1);
    occupancy_invalidate(&main_gameenv);
    a->selected = b->selected = c->selected = true;
    wreck->selected = false;
    main_key_states[SDLK_LCTRL] = true;
    aim_at_unit(victim);
    ASSERT_EQ(main_pointed_thing.type, PTT_ENTITY);
    ASSERT_TRUE(main_select_is_attack);
    click();
    for (Entity* e : {a, b, c}) {
        ASSERT_EQ(e->task.type, ETT_ATTACK) << "uid " << e->uid;
        EXPECT_EQ(e->task.attack.target.uid, (int)victim->uid);
    }
}

TEST_F(SelectionTest, GroundClickWithoutAFreeCellInFrontIsIgnored)
{
    Entity* a = add_unit(30, 22, 2);
    a->selected = true;
    main_pointed_thing.type = PTT_VOXEL;
    main_pointed_thing.voxel.pointed_found = true;
    v3i_set_xyz(&main_pointed_thing.voxel.pointed, 0, 10, 1);
    main_pointed_thing.voxel.adjacent_found = false;
    v3i_set_xyz(&main_pointed_thing.voxel.adjacent, 0, 0, 0);
    testing::internal::CaptureStdout();
    click();
    EXPECT_EQ(captured(), "");
    EXPECT_EQ(a->task.type, ETT_NONE);
    EXPECT_EQ(voices(), 0);
}

TEST_F(SelectionTest, CtrlASelectsTheUnitsOfTheSelectedPartyOnly)
{
    Entity* own = add_unit(30, 22, 2, 0);
    Entity* own_building = add_unit(31, 22, 2, 0);
    own_building->type = ET_BUILDING;
    occupancy_invalidate(&main_gameenv);
    Entity* enemy1 = add_unit(34, 22, 2, 1);
    Entity* enemy2 = add_unit(35, 22, 2, 1);
    V3f cam = main_cam_pos;

    send_key(SDLK_LCTRL, true);
    tap_key(SDLK_a);
    EXPECT_TRUE(own->selected) << "nothing selected: party 0";
    EXPECT_FALSE(own_building->selected);
    EXPECT_FALSE(enemy1->selected);
    EXPECT_EQ(voices(), 1);

    own->selected = false;
    enemy1->selected = true;
    tap_key(SDLK_a);
    EXPECT_TRUE(enemy2->selected);
    EXPECT_FALSE(own->selected);
    send_key(SDLK_LCTRL, false);

    EXPECT_EQ(main_cam_pos.x, cam.x);
    EXPECT_EQ(main_state, PS_INGAME);
}

TEST_F(SelectionTest, ClickOnAnEnemyOrdersAnAttackAndCtrlForcesOneOnAFriend)
{
    Entity* attacker1 = add_unit(30, 22, 2, 0);
    Entity* attacker2 = add_unit(31, 22, 2, 0);
    Entity* friend_unit = add_unit(29, 27, 2, 0);
    Entity* enemy = add_unit(34, 27, 2, 1);
    attacker1->selected = attacker2->selected = true;

    aim_at_unit(enemy);
    ASSERT_EQ(main_pointed_thing.type, PTT_ENTITY);
    EXPECT_TRUE(main_select_is_attack);
    click();
    for (Entity* e : {attacker1, attacker2}) {
        ASSERT_EQ(e->task.type, ETT_ATTACK);
        EXPECT_EQ(e->task.attack.target.type, TARGET_ENTITY);
        EXPECT_EQ(e->task.attack.target.uid, (int)enemy->uid);
    }
    EXPECT_FALSE(enemy->selected);
    EXPECT_EQ(voices(), 1);

    aim_at_unit(friend_unit);
    EXPECT_FALSE(main_select_is_attack);
    send_key(SDLK_LCTRL, true);
    aim_at_unit(friend_unit);
    EXPECT_TRUE(main_select_is_attack);
    click();
    send_key(SDLK_LCTRL, false);
    EXPECT_EQ(attacker1->task.attack.target.uid, (int)friend_unit->uid);
    EXPECT_FALSE(friend_unit->selected);
}

// Against the computer the player commands party 0 alone: a click on a computer unit never
// selects it, with or without Shift, though with units selected it orders their attack; Ctrl+A
// takes the player's units even while a wreck (nobody's) is selected.
TEST_F(SelectionTest, AgainstTheComputerOnlyThePlayersOwnEntitiesAreSelected)
{
    struct ModeOff {
        ~ModeOff() { versus_set_enabled(false); }
    } mode_off;
    versus_set_enabled(true);
    Entity* own = add_unit(30, 22, 2, VERSUS_PLAYER_PARTY);
    Entity* computer = add_unit(34, 27, 2, VERSUS_COMPUTER_PARTY);
    Entity* computer2 = add_unit(35, 27, 2, VERSUS_COMPUTER_PARTY);

    aim_at_unit(computer);
    ASSERT_EQ(main_pointed_thing.type, PTT_ENTITY);
    click();
    EXPECT_FALSE(computer->selected);
    EXPECT_EQ(count_selected_entities(), 0);
    EXPECT_EQ(voices(), 0) << "nobody answers a refused click";

    aim_at_unit(own);
    click();
    EXPECT_TRUE(own->selected);
    send_key(SDLK_LSHIFT, true);
    aim_at_unit(computer);
    EXPECT_TRUE(main_select_is_attack);
    click();
    send_key(SDLK_LSHIFT, false);
    EXPECT_FALSE(computer->selected);
    ASSERT_EQ(own->task.type, ETT_ATTACK);
    EXPECT_EQ(own->task.attack.target.uid, (int)computer->uid);

    // A selected unit destroyed becomes nobody's wreck; Ctrl+A still means the player's units.
    own->party = -1;
    Entity* own2 = add_unit(31, 22, 2, VERSUS_PLAYER_PARTY);
    send_key(SDLK_LCTRL, true);
    tap_key(SDLK_a);
    send_key(SDLK_LCTRL, false);
    EXPECT_TRUE(own2->selected);
    EXPECT_FALSE(computer2->selected);
}

// The sandbox keeps its rule: any party's unit can be selected.
TEST_F(SelectionTest, WithoutTheComputerAnyPartysUnitIsSelected)
{
    versus_set_enabled(false);
    Entity* other = add_unit(34, 27, 2, 1);
    aim_at_unit(other);
    click();
    EXPECT_TRUE(other->selected);
}

TEST_F(SelectionTest, ClickOnAnEntityTheWorldHasRemovedDoesNothing)
{
    Entity* unit = add_unit(32, 26, 2);
    aim_at_unit(unit);
    ASSERT_EQ(main_pointed_thing.type, PTT_ENTITY);
    gameenv_remove_entity(&main_gameenv, unit);  // the world update deletes it between the pointing and the click
    std::memset(unit, 0xff, sizeof *unit);
    click();
    EXPECT_EQ(main_pointed_thing.type, PTT_NOTHING);
    EXPECT_EQ(voices(), 0);
}

TEST_F(SelectionTest, KeyIPrintsWhatIsPointed)
{
    testing::internal::CaptureStdout();
    tap_key(SDLK_i);
    EXPECT_EQ(captured(), "Pointing nothing\n");

    Entity* unit = add_unit(32, 26, 2, 0, 7);
    aim_at_unit(unit);
    testing::internal::CaptureStdout();
    tap_key(SDLK_i);
    EXPECT_EQ(captured(), "Pointing entity uid=7 pf=(32.00,26.00,2.00) p0=(32,26,2) p1=(32,26,2)\n");

    unit->selected = true;
    aim_at(32, 30, 0.6f);
    ASSERT_EQ(main_pointed_thing.type, PTT_VOXEL);
    V3i p = main_pointed_thing.voxel.pointed;
    testing::internal::CaptureStdout();
    tap_key(SDLK_i);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Pointing voxel (%i,%i,%i)\n", (int)p.x, (int)p.y, (int)p.z);
    EXPECT_EQ(captured(), expected);
}

TEST_F(SelectionTest, RightClickDeselectsAndIgnoredMotionsDoNotTurnTheCamera)
{
    Entity* unit = add_unit(32, 26, 2);
    unit->selected = true;
    aim_at(32, 30, 0.6f);
    click(SDL_BUTTON_RIGHT);
    EXPECT_FALSE(unit->selected);

    // After a resize the next two motions are dropped.
    main_ignore_next_mouse_movements = 2;
    float yaw = main_cam_yaw;
    SDL_Event ev = {};
    ev.type = SDL_MOUSEMOTION;
    ev.motion.x = 410;
    ev.motion.y = 300;
    ev.motion.xrel = 10;
    handle_event(&ev);
    handle_event(&ev);
    EXPECT_EQ(main_cam_yaw, yaw);
    handle_event(&ev);
    EXPECT_NE(main_cam_yaw, yaw);
}

}  // namespace
