// A long soak of the simulation: twenty new games on generated maps, each played for minutes of
// game time at 60 frames a second by a random player who selects units, sends them about and
// orders attacks through the same click handling as the real player. After every frame the world
// must still be sane: health finite and within (0, 1], every entity inside the map, p0 and p1 the
// same cell or neighbours, units out of the terrain and near their cell, no unit stepping into a
// cell another holds, no NaN in positions or headings, and no more projectiles in flight than the
// shooters can have fired.
//
// Every game is recorded as the game does with --record, and the recording checked afterwards
// as --check-replay does: every hash must match. The soak prints the recording's cost per frame
// against the world update's and the size of the files.
//
// QUORVALE_SOAK_SECONDS sets the game time of each game (180 s when unset); scripts/test gives
// the sanitizer build a shorter run. The soak prints the frames played and its slowest frames
// with what they were doing, which tells whether route planning makes the game hitch.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "battle_fixture.h"
#include "camera.h"
#include "checkreplay.h"
#include "recording.h"
#include "worldhash.h"
#include "selection.h"
#include "shell.h"
#include "thread_clock.h"
#include "sound_internal.h"

namespace {

constexpr int GAMES = 20;
constexpr float FRAME_DTIME = 1.0f / 60;
constexpr double DEFAULT_GAME_SECONDS = 180;

// Game time of each game from QUORVALE_SOAK_SECONDS; 0 when the variable holds no positive number.
double soak_game_seconds()
{
    const char* s = std::getenv("QUORVALE_SOAK_SECONDS");
    if (!s || !*s)
        return DEFAULT_GAME_SECONDS;
    char* end;
    double v = std::strtod(s, &end);
    return *end == '\0' && v > 0 && v < 1e6 ? v : 0;
}

// The player's own generator, apart from the game's, so that the game's draws stay those of
// the game itself.
struct PlayerRandom {
    unsigned long long state;
    unsigned next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return (unsigned)(state >> 32);
    }
    int below(int n) { return (int)(next() % (unsigned)n); }
    bool chance(int percent) { return below(100) < percent; }
};

bool is_free(GameEnv* env, const V3i& p)
{
    return voxeldata_get_material(&env->voxeldata, &p) <= MATERIAL_AIR;
}

bool neighbour_or_same(const V3i& a, const V3i& b)
{
    int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y), dz = std::abs(a.z - b.z);
    return dx <= 1 && dy <= 1 && dz <= 1 && !(dx && dy && dz);
}

bool finite3(const V3f& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// An entity that can fire at all: a turret, or a body that aims its missiles.
bool can_shoot(const Entity* e)
{
    return e->peripheral == PT_TURRET || e->shoot_requires_body_aim;
}

// The random entity of the list that passes `want`, or null when none does.
template <typename Want>
Entity* pick_entity(GameEnv* env, PlayerRandom* rnd, Want want)
{
    int n = 0;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        n += want(e);
    if (n == 0)
        return nullptr;
    int k = rnd->below(n);
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (want(e) && k-- == 0)
            return e;
    return nullptr;
}

// What the player does between frames. Like the real player, it aims in one frame (the frame's
// pointing) and the click arrives with the next frame's events, after a world update that may
// have removed what was aimed at.
struct Player {
    enum Click { NONE, LEFT, RIGHT, SELECT_ALL };
    PlayerRandom rnd;
    Click pending = NONE;
    int next_aim_frame = 0;
    int clicks = 0;
    int travel_orders = 0;  // clicks on the ground with something selected
    int attack_orders = 0;  // clicks on an entity that ordered an attack

    // A free cell a ray from the camera could end in: mostly just above the ground of a column,
    // sometimes any free cell of the map (in front of a cliff, under an overhang, in the air).
    V3i aim_cell(GameEnv* env)
    {
        const Area& a = env->voxeldata.area;
        for (;;) {
            V3i p = {a.x + rnd.below(a.w), a.y + rnd.below(a.h), a.z + rnd.below(a.d)};
            if (rnd.chance(85)) {
                u8 m;
                p.z = battle::column_ground(&env->voxeldata, p.x, p.y, &m) + 1;
                if (p.z >= a.z + a.d)
                    continue;
            }
            if (is_free(env, p))
                return p;
        }
    }

    void point_at_entity(Entity* e)
    {
        pointedthing_init(&main_pointed_thing);
        main_pointed_thing.type = PTT_ENTITY;
        main_pointed_thing.pos = e->p1;
        main_pointed_thing.entity.entity = e;
        main_pointed_thing.entity.uid = e->uid;
    }

    // Chooses the next gesture and sets this frame's pointing for it, as the camera would.
    void aim(GameEnv* env, int frame)
    {
        main_key_states[SDLK_LSHIFT] = false;
        main_key_states[SDLK_LCTRL] = false;
        pointedthing_init(&main_pointed_thing);
        int selected_party = get_selected_party();
        if (frame >= next_aim_frame) {
            next_aim_frame = frame + 20 + rnd.below(100);  // a gesture every 1/3 s to 2 s
            int r = rnd.below(100);
            Entity* e = nullptr;
            if (r < 25) {
                int party = rnd.below(2);
                e = pick_entity(env, &rnd,
                                [party](Entity* o) { return o->type == ET_UNIT && o->party == party; });
                main_key_states[SDLK_LSHIFT] = rnd.chance(40);
                pending = LEFT;
            } else if (r < 33) {
                pending = SELECT_ALL;
            } else if (r < 38) {
                pending = RIGHT;  // a click without a drag: deselect all
            } else if (r < 78) {
                // The ground is pointed at only while something is selected.
                if (count_selected_entities() > 0) {
                    main_pointed_thing.type = PTT_VOXEL;
                    main_pointed_thing.voxel.adjacent = aim_cell(env);
                    main_pointed_thing.voxel.adjacent_found = true;
                    main_pointed_thing.voxel.pointed_found = true;
                    main_pointed_thing.voxel.pointed = main_pointed_thing.voxel.adjacent;
                    main_pointed_thing.voxel.pointed.z -= 1;
                }
                pending = LEFT;
            } else {
                // At an enemy of the selection (wrecks and buildings included); with Ctrl at a friend.
                bool ctrl = rnd.chance(20);
                main_key_states[SDLK_LCTRL] = ctrl;
                e = pick_entity(env, &rnd, [selected_party, ctrl](Entity* o) {
                    return selected_party == -1 || (o->party == selected_party) == ctrl;
                });
                pending = LEFT;
            }
            if (e)
                point_at_entity(e);
        }
        // The rest of the frame's pointing, by the selection rules of the frame loop (the real
        // pointing needs the camera's ray to find the entity first).
        main_friendly_party = selected_party;
        if (main_pointed_thing.type == PTT_ENTITY) {
            const Entity* pointed = main_pointed_thing.entity.entity;
            bool any_can_attack = false;
            for (Entity* o = env->entities.lh_first; o; o = o->entries.le_next)
                any_can_attack |= o->selected && o->can_attack;
            main_select_is_attack =
                any_can_attack && (pointed->party != main_friendly_party || main_key_states[SDLK_LCTRL]);
        }
    }

    // The click aimed in the previous frame, handled the way the event handler does.
    void click()
    {
        Click c = pending;
        pending = NONE;
        if (c == NONE)
            return;
        clicks++;
        if (c == SELECT_ALL) {
            select_all_units();
        } else if (c == RIGHT) {
            main_rdown_pan_active = false;
            camera_rbutton_release();
        } else {
            if (main_pointed_thing.type == PTT_VOXEL && count_selected_entities() > 0)
                travel_orders++;
            if (main_pointed_thing.type == PTT_ENTITY && main_select_is_attack &&
                pointedthing_entity(&main_pointed_thing))
                attack_orders++;
            play_left_click();
        }
    }
};

// The first broken rule of the world after a frame, or an empty string.
std::string check_world(GameEnv* env, int projectile_bound)
{
    char msg[256];
    const Area& a = env->voxeldata.area;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        const char* broken = nullptr;
        if (!std::isfinite(e->health) || e->health <= 0 || e->health > 1)
            broken = "health not finite in (0, 1]";
        else if (!finite3(e->pf) || !std::isfinite(e->yaw) || !std::isfinite(e->peripheral_yaw) ||
                 !std::isfinite(e->peripheral_wanted_yaw))
            broken = "position or heading not finite";
        else if (!area_contains(&a, &e->p0) || !area_contains(&a, &e->p1) || e->pf.x < a.x ||
                 e->pf.y < a.y || e->pf.z < a.z || e->pf.x > a.x + a.w - 1 ||
                 e->pf.y > a.y + a.h - 1 || e->pf.z > a.z + a.d - 1)
            broken = "outside the map";
        else if (!neighbour_or_same(e->p0, e->p1))
            broken = "p0 and p1 neither the same cell nor neighbours";
        else if (e->type == ET_UNIT && (!is_free(env, e->p0) || !is_free(env, e->p1)))
            broken = "unit inside the terrain";
        else if (e->type == ET_UNIT && e->base_graphflags != 0) {
            // pf walks straight towards p1 and snaps onto a cell within 0.05 of it, so it never
            // strays farther than a diagonal step and the snap.
            V3f c = {(float)e->p1.x, (float)e->p1.y, (float)e->p1.z};
            if (v3f_distance(&e->pf, &c) > 1.5f)
                broken = "exact position far from its cell";
        }
        if (broken) {
            std::snprintf(msg, sizeof msg,
                          "uid %u: %s (health %g, pf (%g,%g,%g), p0 (%d,%d,%d), p1 (%d,%d,%d), yaw %g, "
                          "turret %g wanted %g)",
                          e->uid, broken, e->health, e->pf.x, e->pf.y, e->pf.z, e->p0.x, e->p0.y,
                          e->p0.z, e->p1.x, e->p1.y, e->p1.z, e->yaw, e->peripheral_yaw,
                          e->peripheral_wanted_yaw);
            return msg;
        }
    }
    int n = 0;
    for (Projectile* pr = env->projectiles.lh_first; pr; pr = pr->entries.le_next) {
        n++;
        if (!finite3(pr->pos) || !finite3(pr->dest) || !std::isfinite(pr->speed)) {
            std::snprintf(msg, sizeof msg, "projectile not finite: pos (%g,%g,%g) dest (%g,%g,%g)",
                          pr->pos.x, pr->pos.y, pr->pos.z, pr->dest.x, pr->dest.y, pr->dest.z);
            return msg;
        }
    }
    if (n > projectile_bound) {
        std::snprintf(msg, sizeof msg, "%d projectiles in flight, at most %d expected", n, projectile_bound);
        return msg;
    }
    return "";
}

// The entity other than `self` that holds cell p: a unit standing in or stepping into it, or a
// building over it.
const Entity* holder_of(GameEnv* env, const Entity* self, const V3i& p)
{
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
        if (e == self)
            continue;
        if (e->type == ET_BUILDING) {
            Area box = {e->p1.x, e->p1.y, e->p1.z, e->building_size.x, e->building_size.y,
                        e->building_size.z};
            if (area_contains(&box, &p))
                return e;
        } else if (v3i_eq(&e->p1, &p)) {
            return e;
        }
    }
    return nullptr;
}

// True when the entity's travel plans a route in this frame: a traveller (or one about to take
// a travel from its queue) that stands in its cell with its route used up.
bool plans_route(const Entity* e)
{
    const EntityTask* t = &e->task;
    if (t->type == ETT_NONE && e->task_queue_len > 0)
        t = &e->task_queue[e->task_queue_len - 1];
    return t->type == ETT_TRAVEL && v3i_eq(&e->p0, &e->p1) && t->travel.finish_animate == -1 &&
           t->travel.path.next_i >= t->travel.path.length;
}

// One frame's cost and what the world was doing in it.
struct FrameCost {
    double micros = 0;       // processor time of the world update
    double wall_micros = 0;  // wall-clock time of the same
    int seed = 0;
    int frame = 0;
    int route_plans = 0;     // routes planned in the frame
    int routes_missed = 0;   // of those, the ones that found no route at all
    int route_cells = 0;     // cells of the routes it planned
    int travellers = 0;    // entities with a travel task
    int entities = 0;
    int projectiles = 0;
};

void print_cost(const char* what, const FrameCost& c)
{
    std::printf("soak: %s %.0f us (wall %.0f us), game %d frame %d: %d route plans (%d found none, "
                "%d cells planned), %d travelling, %d entities, %d projectiles\n",
                what, c.micros, c.wall_micros, c.seed, c.frame, c.route_plans, c.routes_missed,
                c.route_cells, c.travellers, c.entities, c.projectiles);
}

// One silent sound for every collection the game plays, so that the game draws its random
// numbers for sounds as it does with its real bank, without a message for every shot.
void give_game_sounds()
{
    sound_reset();
    s16* buf = (s16*)std::calloc(4, sizeof(s16));
    ASSERT_GE(sound_bank_append("quiet", buf, 2), 0);
    for (const char* c : {"ok", "shoot", "shoot_missile", "hit", "explode", "explode_large"})
        ASSERT_EQ(sound_collection_add(c, "quiet"), 0);
}

struct SoakTotals {
    long frames = 0;
    long travel_orders = 0;
    long attack_orders = 0;
    long shots = 0;
    long steps = 0;  // cells entered by units
    long destroyed = 0;
    double micros = 0;
    double wall_micros = 0;
    double recording_micros = 0;  // processor time of the recording's calls
    long replay_bytes = 0;        // the recordings' sizes together
    std::vector<FrameCost> slowest;  // the five slowest frames, slowest first
    FrameCost slowest_without_plans;
    FrameCost slowest_with_one_plan;
};

void note_cost(SoakTotals* totals, const FrameCost& c)
{
    totals->micros += c.micros;
    totals->wall_micros += c.wall_micros;
    if (c.route_plans == 0 && c.micros > totals->slowest_without_plans.micros)
        totals->slowest_without_plans = c;
    if (c.route_plans == 1 && c.micros > totals->slowest_with_one_plan.micros)
        totals->slowest_with_one_plan = c;
    auto& s = totals->slowest;
    if (s.size() == 5 && c.micros <= s.back().micros)
        return;
    if (s.size() == 5)
        s.pop_back();
    s.insert(std::upper_bound(s.begin(), s.end(), c,
                              [](const FrameCost& x, const FrameCost& y) { return x.micros > y.micros; }),
             c);
}

// Plays one game of `frames` frames; a broken rule is reported and ends the game.
// What the new-game set-up notes of a game, for the battle the soak plays on the map of `seed`.
void note_battle_start(int seed, u32 first_uid)
{
    GameStart* st = &main_game_start;
    *st = GameStart{};
    st->second = seed;
    st->generator = (u32)seed;
    st->uid_counter = first_uid;
    st->terrain = terrain_hash(&main_gameenv.voxeldata);
    st->map_w = (u16)main_gameenv.voxeldata.area.w;
    st->map_h = (u16)main_gameenv.voxeldata.area.h;
    st->map_d = (u16)main_gameenv.voxeldata.area.d;
    st->controllers[0] = st->controllers[1] = CONTROLLER_LOCAL;
    st->sounds = 0x3f;
}

void play_game(int seed, int frames, SoakTotals* totals)
{
    u32 first_uid = (u32)next_entity_uid;
    GameEnv* env = battle::make_battle(seed);
    note_battle_start(seed, first_uid);
    recording_game_created();
    std::memset(main_key_states, 0, sizeof main_key_states);
    main_select_is_attack = false;
    main_rdown_pan_active = false;
    pointedthing_init(&main_pointed_thing);

    int shooters = 0;
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        shooters += can_shoot(e);
    // A shooter has at most two shots in flight: a missile pair comes 0.2 s apart and the next
    // shot a reload (2.6 s) later, while no shot flies for a second (bullets cross their range
    // in a third of a second; missiles start slowly but speed up fivefold every 0.3 s).
    int projectile_bound = 2 * shooters;

    Player player;
    player.rnd.state = 0x9e3779b97f4a7c15ull * (unsigned)(seed + 1);
    struct Before {
        Entity* e;
        V3i p1;
        int party;
        bool plans_route;
    };
    std::vector<Before> before;  // every entity before the frame, in list order
    int played = 0, shots = 0, steps = 0, destroyed = 0, most_projectiles = 0;
    for (int frame = 0; frame < frames; frame++) {
        player.click();
        player.aim(env, frame);

        FrameCost cost;
        cost.seed = seed;
        cost.frame = frame;
        before.clear();
        for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
            bool plans = plans_route(e);
            cost.route_plans += plans;
            before.push_back({e, e->p1, e->party, plans});
        }
        double rec_start = thread_cpu_seconds();
        recording_before_update();
        auto start = std::chrono::steady_clock::now();
        double cpu_start = thread_cpu_seconds();
        gameenv_run(env, FRAME_DTIME);
        cost.micros = (thread_cpu_seconds() - cpu_start) * 1e6;
        auto end = std::chrono::steady_clock::now();
        double rec_after = thread_cpu_seconds();
        recording_after_update(FRAME_DTIME);
        recording_frame((u32)(frame * 1000.0 * FRAME_DTIME));
        totals->recording_micros += (cpu_start - rec_start + thread_cpu_seconds() - rec_after) * 1e6;
        cost.wall_micros = std::chrono::duration<double, std::micro>(end - start).count();
        played++;

        // The list only ever loses entities, so the survivors are found in the same order as
        // before the frame.
        std::string broken;
        size_t i = 0;
        for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next) {
            while (i < before.size() && before[i].e != e)
                i++;
            if (i == before.size())
                break;
            cost.entities++;
            cost.travellers += e->task.type == ETT_TRAVEL;
            if (before[i].plans_route && e->task.type == ETT_TRAVEL) {
                cost.route_cells += e->task.travel.path.length;
                cost.routes_missed += e->task.travel.path.length == 0;
            }
            if (e->type == ET_UNIT && !v3i_eq(&e->p1, &before[i].p1)) {
                steps++;
                // A unit sets out only into a cell nobody holds (units that the set-up put in
                // one cell are checked only once they move).
                const Entity* holder = holder_of(env, e, e->p1);
                if (holder && broken.empty()) {
                    char msg[200];
                    std::snprintf(msg, sizeof msg,
                                  "uid %u (task %d) stepped from (%d,%d,%d) into (%d,%d,%d), which "
                                  "uid %u (task %d) holds",
                                  e->uid, e->task.type, before[i].p1.x, before[i].p1.y,
                                  before[i].p1.z, e->p1.x, e->p1.y, e->p1.z, holder->uid,
                                  holder->task.type);
                    broken = msg;
                }
            }
            destroyed += e->party == -1 && before[i].party != -1;
            shots += e->reload_timer == 0;
        }
        for (Projectile* pr = env->projectiles.lh_first; pr; pr = pr->entries.le_next)
            cost.projectiles++;
        most_projectiles = std::max(most_projectiles, cost.projectiles);
        note_cost(totals, cost);

        if (broken.empty())
            broken = check_world(env, projectile_bound);
        if (!broken.empty()) {
            ADD_FAILURE() << "game " << seed << ", frame " << frame << ": " << broken;
            break;
        }
    }
    std::printf("soak: game %d: %d frames, %d clicks (%d travel, %d attack orders), %d shots "
                "(at most %d in flight of %d allowed), %d cells entered, %d destroyed\n",
                seed, played, player.clicks, player.travel_orders, player.attack_orders, shots,
                most_projectiles, projectile_bound, steps, destroyed);
    totals->frames += played;
    totals->travel_orders += player.travel_orders;
    totals->attack_orders += player.attack_orders;
    totals->shots += shots;
    totals->steps += steps;
    totals->destroyed += destroyed;
    recording_game_over();
    gameenv_free(env);

    // The game again from its file, every hash checked, as --check-replay does.
    std::string path = recording_path();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << path;
    std::fseek(f, 0, SEEK_END);
    totals->replay_bytes += std::ftell(f);
    std::fclose(f);
    EXPECT_EQ(check_replay(path.c_str()), 0) << "game " << seed << " played again differs";
    std::remove(path.c_str());
}

TEST(Soak, RandomOrdersKeepTheWorldSaneOverTwentyGames)
{
    double seconds = soak_game_seconds();
    ASSERT_GT(seconds, 0) << "QUORVALE_SOAK_SECONDS must be a positive number of seconds";
    int frames = (int)std::lround(seconds / FRAME_DTIME);
    give_game_sounds();
    char dir[] = "/tmp/quorvale_soak_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_TRUE(recording_set_folder(dir));
    SoakTotals totals;
    for (int game = 1; game <= GAMES && !::testing::Test::HasFailure(); game++)
        play_game(game, frames, &totals);
    sound_reset();
    main_pointed_thing.type = PTT_NOTHING;

    long n = std::max(1L, totals.frames);
    std::printf("soak: %ld frames in %d games; world updates took %.1f s of processor time (mean "
                "%.1f us a frame), %.1f s of wall-clock time (mean %.1f us)\n",
                totals.frames, GAMES, totals.micros / 1e6, totals.micros / n, totals.wall_micros / 1e6,
                totals.wall_micros / n);
    std::printf("soak: recording took %.2f us a frame, %.1f %% of the world update's time; the %d "
                "recordings of %.0f s each took %ld bytes (%.0f bytes a game minute)\n",
                totals.recording_micros / n, 100 * totals.recording_micros / std::max(1.0, totals.micros),
                GAMES, seconds, totals.replay_bytes, totals.replay_bytes / (GAMES * seconds / 60));
    rmdir(dir);
    for (const FrameCost& c : totals.slowest)
        print_cost("slow frame", c);
    print_cost("slowest frame without route plans", totals.slowest_without_plans);
    print_cost("slowest frame with one route plan", totals.slowest_with_one_plan);
    // The player did play: orders went out, units walked, shots were fired.
    EXPECT_GT(totals.travel_orders, 0);
    EXPECT_GT(totals.attack_orders, 0);
    EXPECT_GT(totals.shots, 0);
    EXPECT_GT(totals.steps, 0);
    EXPECT_GT(totals.destroyed, 0);
}

}  // namespace
