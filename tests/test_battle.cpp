// A headless battle on a generated map: the world stays consistent every frame, the armies
// fight, wrecks clear away, and the same seed replays frame for frame.
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "battle_fixture.h"
#include "materialtypes.h"

namespace {

struct BattleLog {
    std::vector<unsigned long long> frame_hashes;
    int shots = 0;
    int destroyed = 0;
};

unsigned long long mix(unsigned long long h, unsigned long long v)
{
    return (h ^ v) * 1099511628211ull;
}

unsigned long long bits(float f)
{
    unsigned u;
    std::memcpy(&u, &f, sizeof(u));
    return u;
}

bool neighbour_or_same(const V3i& a, const V3i& b)
{
    int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y), dz = std::abs(a.z - b.z);
    return dx <= 1 && dy <= 1 && dz <= 1 && !(dx && dy && dz);
}

bool cell_empty(GameEnv* env, const V3i& p)
{
    return voxeldata_get_material(&env->voxeldata, &p) <= MATERIAL_AIR;
}

BattleLog run_battle(int seed, int frames)
{
    GameEnv& env = *battle::make_battle(seed);
    BattleLog log;
    u32 first_uid = env.entities.lh_first->uid;  // uids keep counting across battles
    std::map<u32, int> wreck_since;  // uid -> frame it became a wreck
    const float dtime = 0.02f;
    for (int frame = 0; frame < frames; frame++) {
        if (frame == 0)
            battle::order_travel(&env, 0, battle::party_centre(&env, 1));
        if (frame == frames / 2)
            battle::order_travel(&env, 1, battle::party_centre(&env, 0));
        gameenv_run(&env, dtime);

        std::set<u32> uids;
        unsigned long long h = 14695981039346656037ull;
        for (Entity* e = env.entities.lh_first; e; e = e->entries.le_next) {
            EXPECT_TRUE(uids.insert(e->uid).second) << "duplicate uid " << e->uid;
            EXPECT_TRUE(neighbour_or_same(e->p0, e->p1)) << "uid " << e->uid << " frame " << frame;
            if (e->type == ET_UNIT) {
                EXPECT_TRUE(cell_empty(&env, e->p0)) << "uid " << e->uid << " frame " << frame;
                EXPECT_TRUE(cell_empty(&env, e->p1)) << "uid " << e->uid << " frame " << frame;
            }
            if (e->reload_timer == 0)
                log.shots++;
            if (e->party == -1 && !wreck_since.count(e->uid)) {
                wreck_since[e->uid] = frame;
                log.destroyed++;
            }
            h = mix(h, e->uid - first_uid);
            h = mix(h, bits(e->pf.x));
            h = mix(h, bits(e->pf.y));
            h = mix(h, bits(e->pf.z));
            h = mix(h, bits(e->health));
            h = mix(h, e->task.type);
        }
        for (Projectile* pr = env.projectiles.lh_first; pr; pr = pr->entries.le_next) {
            h = mix(h, bits(pr->pos.x));
            h = mix(h, bits(pr->pos.z));
        }
        log.frame_hashes.push_back(h);
        // A wreck explodes for a little over a second and is gone.
        for (auto it = wreck_since.begin(); it != wreck_since.end();) {
            if (!uids.count(it->first)) {
                double lived = (frame - it->second) * dtime;
                EXPECT_GE(lived, 1.0) << "wreck " << it->first;
                EXPECT_LE(lived, 1.2) << "wreck " << it->first;
                it = wreck_since.erase(it);
            } else {
                EXPECT_LE((frame - it->second) * dtime, 1.2) << "wreck " << it->first;
                ++it;
            }
        }
        if (::testing::Test::HasFailure())
            break;
    }
    gameenv_free(&env);
    return log;
}

TEST(Battle, StaysConsistentFightsAndReplaysExactly)
{
    BattleLog first = run_battle(1234, 3000);
    ASSERT_FALSE(::testing::Test::HasFailure());
    EXPECT_GT(first.shots, 10);
    EXPECT_GT(first.destroyed, 2);
    std::printf("battle: %d shots, %d destroyed\n", first.shots, first.destroyed);
    BattleLog again = run_battle(1234, 3000);
    ASSERT_EQ(first.frame_hashes.size(), again.frame_hashes.size());
    for (size_t i = 0; i < first.frame_hashes.size(); i++)
        ASSERT_EQ(first.frame_hashes[i], again.frame_hashes[i]) << "frames differ from " << i;
    EXPECT_EQ(first.shots, again.shots);
    EXPECT_EQ(first.destroyed, again.destroyed);
}

// Whether `other` stands in or is stepping into cell p (a building covers its whole box).
bool holds(const Entity* other, const V3i& p)
{
    if (other->type != ET_BUILDING)
        return other->p1.x == p.x && other->p1.y == p.y && other->p1.z == p.z;
    const V3i& c = other->p1;
    const V3i& s = other->building_size;
    return p.x >= c.x && p.x < c.x + s.x && p.y >= c.y && p.y < c.y + s.y && p.z >= c.z &&
           p.z < c.z + s.z;
}

struct CrowdLog {
    int steps = 0;         // cells entered
    int pushed_steps = 0;  // of those, steps of units pushed aside
    int stacked = 0;       // of those, steps into a cell another entity held
    std::string first_stacked;
};

// Both parties get random travel orders every `order_every` frames and the frame time varies as
// in play; every cell a unit sets out into must be held by nobody else. Units that share a cell
// from the set-up may stay so; they are only checked when they move.
CrowdLog run_crowded_battle(int seed, int frames, int order_every)
{
    GameEnv& env = *battle::make_battle(seed);
    std::mt19937 orders((unsigned)seed);
    auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(orders);
    };
    CrowdLog log;
    std::map<u32, V3i> was;
    for (int frame = 0; frame < frames; frame++) {
        if (frame % order_every == 0) {
            int party = uniform(0, 1);
            V3i c = battle::party_centre(&env, uniform(0, 1));
            c.x += uniform(-3, 3);
            c.y += uniform(-3, 3);
            u8 m;
            c.z = battle::column_ground(&env.voxeldata, c.x, c.y, &m) + 1;
            Target t;
            t.type = TARGET_COORDS;
            t.p = c;
            std::vector<Entity*> group;
            for (Entity* e = env.entities.lh_first; e; e = e->entries.le_next)
                if (e->party == party && e->type == ET_UNIT && uniform(0, 2) != 0)
                    group.push_back(e);
            for (Entity* e : group)
                entity_start_travel(e, &t, (int)group.size());
        }
        was.clear();
        for (Entity* e = env.entities.lh_first; e; e = e->entries.le_next)
            was[e->uid] = e->p1;
        gameenv_run(&env, uniform(10, 40) / 1000.0f);
        for (Entity* e = env.entities.lh_first; e; e = e->entries.le_next) {
            const V3i& before = was[e->uid];
            if (before.x == e->p1.x && before.y == e->p1.y && before.z == e->p1.z)
                continue;
            log.steps++;
            log.pushed_steps += e->task.type == ETT_STEPTRAVEL;
            for (Entity* o = env.entities.lh_first; o; o = o->entries.le_next) {
                if (o == e || !holds(o, e->p1))
                    continue;
                if (log.stacked++ == 0)
                    log.first_stacked = "frame " + std::to_string(frame) + ", uid " +
                                        std::to_string(e->uid) + " into the cell of uid " +
                                        std::to_string(o->uid);
                break;
            }
        }
    }
    gameenv_free(&env);
    return log;
}

TEST(Battle, NoStepEverEntersACellAnotherUnitHolds)
{
    int pushed = 0;
    for (int seed : {3, 8}) {
        CrowdLog log = run_crowded_battle(seed, 1000, 50);
        EXPECT_EQ(log.stacked, 0) << "seed " << seed << ", first at " << log.first_stacked;
        EXPECT_GT(log.steps, 200) << "seed " << seed;
        pushed += log.pushed_steps;
    }
    EXPECT_GT(pushed, 20);  // the crowd really was pushed about
}

TEST(Battle, DifferentSeedsGiveDifferentBattles)
{
    BattleLog a = run_battle(1234, 300);
    BattleLog b = run_battle(99, 300);
    EXPECT_NE(a.frame_hashes.back(), b.frame_hashes.back());
}

}  // namespace
