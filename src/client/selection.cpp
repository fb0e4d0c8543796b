#include "selection.h"

#include <cstdio>
#include <cstdlib>

#include "camera.h"
#include "entitytask.h"
#include "game.h"
#include "netgame.h"
#include "orders.h"
#include "shell.h"
#include "sound.h"
#include "versus.h"
#include "watch.h"

namespace {

void deselect_all()
{
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
        e->selected = false;
}

bool some_selected_can_attack()
{
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
        if (e->selected && e->can_attack)
            return true;
    return false;
}

// The parties of the selected entities that `want` passes, in the order their first such
// entity comes in the list; *count of them (at most 2).
template <typename Want>
int selected_parties(int parties[2], Want want)
{
    int count = 0;
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
        if (!e->selected || !want(e) || (e->party != 0 && e->party != 1))
            continue;
        if (count == 0 || (count == 1 && parties[0] != e->party))
            parties[count++] = e->party;
    }
    return count;
}

// One record per party of the selection, since a record commands one party; the sandbox's
// player may have both selected. Every entity's task depends on its own record alone, so the
// tasks are those one pass over the selection would give.
template <typename Want>
void submit_for_selection(Order* order, Want want)
{
    int parties[2];
    int n = selected_parties(parties, want);
    for (int i = 0; i < n; i++) {
        order->party = parties[i];
        order->uid_count = 0;
        for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
            if (e->selected && e->party == parties[i] && want(e))
                order_add_uid(order, e->uid);
        submit_order(order);
    }
}

void order_travel()
{
    int n = count_selected_entities();
    if (n == 0)
        return;
    // Without a free voxel in front of the hit (the ray entered the map straight into solid
    // ground) there is no sensible destination, so the click is ignored.
    if (!main_pointed_thing.voxel.adjacent_found)
        return;
    V3i dest = main_pointed_thing.voxel.adjacent;
    std::printf("Go to (%i,%i,%i)\n", (int)dest.x, (int)dest.y, (int)dest.z);
    static Order order;
    order_init(&order, ORDER_TRAVEL, 0);
    order.cell = dest;
    // The group size counts every selected entity, buildings included.
    order.group_size = n;
    auto is_unit = [](const Entity* e) { return e->type == ET_UNIT; };
    submit_for_selection(&order, is_unit);
    // A selected wreck (nobody's, its tasks locked) takes no order but still answers, as any
    // selected unit does.
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
        if (e->selected && is_unit(e)) {
            sound_play_collection("ok", 1.0f);
            return;
        }
    }
}

void order_attack(Entity* victim)
{
    static Order order;
    order_init(&order, ORDER_ATTACK, 0);
    order.target_uid = victim->uid;
    submit_for_selection(&order, [](const Entity* e) { return e->can_attack; });
    sound_play_collection("ok", 1.0f);
}

void select_pointed(Entity* pointed)
{
    // Against the computer or in a network game the player commands their own party alone; a
    // click on anything else leaves the selection as it was.
    if (!versus_may_select(pointed->party) ||
        (netgame_party() >= 0 && pointed->party != netgame_party()))
        return;
    if (!main_key_states[SDLK_LSHIFT])
        deselect_all();
    pointed->selected = true;
    // Units answer; buildings are selected silently.
    if (pointed->type == ET_UNIT)
        sound_play_collection("ok", 1.0f);
}

}  // namespace

int count_selected_entities()
{
    int n = 0;
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
        if (e->selected)
            n++;
    return n;
}

int get_selected_party()
{
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next)
        if (e->selected)
            return e->party;
    return -1;
}

void print_point_info()
{
    switch (main_pointed_thing.type) {
    case PTT_VOXEL: {
        V3i p = main_pointed_thing.voxel.pointed;
        std::printf("Pointing voxel (%i,%i,%i)\n", (int)p.x, (int)p.y, (int)p.z);
        return;
    }
    case PTT_ENTITY: {
        Entity* e = pointedthing_entity(&main_pointed_thing);
        if (!e)
            break;
        std::printf("Pointing entity uid=%i pf=(%.2f,%.2f,%.2f) p0=(%i,%i,%i) p1=(%i,%i,%i)\n", (int)e->uid,
                    e->pf.x, e->pf.y, e->pf.z, (int)e->p0.x, (int)e->p0.y, (int)e->p0.z, (int)e->p1.x,
                    (int)e->p1.y, (int)e->p1.z);
        return;
    }
    default:
        break;
    }
    std::printf("Pointing nothing\n");
}

void update_pointing()
{
    if (!main_mouse_grabbed) {
        pointedthing_init(&main_pointed_thing);
        return;
    }
    u32 filter = POINT_ENTITIES;
    main_pointed_draw_adjacent = false;
    // With nothing selected there is nowhere to send anyone, so only entities can be pointed at.
    if (count_selected_entities() > 0) {
        main_pointed_draw_adjacent = true;
        filter |= POINT_VOXELS;
    }
    get_pointed_thing(&main_pointed_thing, filter);

    if (main_pointed_thing.type == PTT_ENTITY) {
        const Entity* pointed = main_pointed_thing.entity.entity;
        // Ctrl forces an attack on a friendly entity.
        main_select_is_attack = !watch_active() && some_selected_can_attack() &&
                                (pointed->party != main_friendly_party || main_key_states[SDLK_LCTRL]);
    }
}

void select_all_units()
{
    int party = get_selected_party();
    if (party == -1 || versus_enabled())
        party = VERSUS_PLAYER_PARTY;
    if (netgame_party() >= 0)
        party = netgame_party();
    bool marked = false;
    for (Entity* e = main_gameenv.entities.lh_first; e; e = e->entries.le_next) {
        if (e->type == ET_UNIT && e->party == party) {
            e->selected = true;
            marked = true;
        }
    }
    if (marked)
        sound_play_collection("ok", 1.0f);
}

void play_left_click()
{
    switch (main_pointed_thing.type) {
    case PTT_VOXEL:
        // A replay's units take no orders from the viewer.
        if (!watch_active())
            order_travel();
        return;
    case PTT_ENTITY: {
        // The pointing is from the previous frame; the world update may have removed the entity since.
        Entity* pointed = pointedthing_entity(&main_pointed_thing);
        if (!pointed)
            return;
        if (main_select_is_attack && !watch_active())
            order_attack(pointed);
        else
            select_pointed(pointed);
        return;
    }
    default:
        return;
    }
}
