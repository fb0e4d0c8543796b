// A headless battle on a generated map: the world stays consistent every frame, the armies
// fight, wrecks clear away, the same seed replays frame for frame, and the frames are the ones
// the game has always produced for that seed.
#include <cstdlib>
#include <cstdio>
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

bool neighbour_or_same(const V3i& a, const V3i& b)
{
    int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y), dz = std::abs(a.z - b.z);
    return dx <= 1 && dy <= 1 && dz <= 1 && !(dx && dy && dz);
}

bool cell_empty(GameEnv* env, const V3i& p)
{
    return voxeldata_get_material(&env->voxeldata, &p) <= MATERIAL_AIR;
}

// scan: content checks walk the entity list instead of asking the occupancy index.
BattleLog run_battle(int seed, int frames, bool scan = false)
{
    GameEnv& env = *battle::make_battle(seed);
    env.scan_for_content = scan;
    BattleLog log;
    u32 first_uid = env.entities.lh_first->uid;  // uids keep counting across battles
    std::map<u32, int> wreck_since;  // uid -> frame it became a wreck
    const float dtime = 0.02f;
    for (int frame = 0; frame < frames; frame++) {
        battle::recorded_orders(&env, frame, frames);
        gameenv_run(&env, dtime);
        EXPECT_TRUE(occupancy_consistent(&env)) << "frame " << frame;

        std::set<u32> uids;
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
        }
        log.frame_hashes.push_back(battle::frame_hash(&env, first_uid));
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
        EXPECT_TRUE(occupancy_consistent(&env)) << "seed " << seed << " frame " << frame;
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

// Every hundredth frame's hash and a hash of all the frames' hashes: the compact record of a
// battle that the recorded one below is compared with.
std::vector<unsigned long long> battle_record(const BattleLog& log)
{
    std::vector<unsigned long long> r;
    unsigned long long all = 14695981039346656037ull;
    for (size_t i = 0; i < log.frame_hashes.size(); i++) {
        if (i % 100 == 99)
            r.push_back(log.frame_hashes[i]);
        all = battle::mix(all, log.frame_hashes[i]);
    }
    r.push_back(all);
    return r;
}

std::string record_literal(const std::vector<unsigned long long>& r)
{
    std::string s;
    char buf[32];
    for (unsigned long long v : r) {
        std::snprintf(buf, sizeof buf, "0x%016llxull,\n", v);
        s += buf;
    }
    return s;
}

// Seed 1234 for 3000 frames of 20 ms: party 0 marches on party 1 and, halfway, party 1 answers.
// Recorded from the game before content checks were answered from the occupancy index.
const unsigned long long recorded_battle[] = {
    0x3ac8834c5b701b88ull, 0x66e5996b319a3387ull, 0x3f4cc10d9562fb1aull,
    0x845fbfe4fd4434e2ull, 0x628fefe4b2428a7aull, 0x9703207f2e3f608eull,
    0x8bdb98020622c51eull, 0x5392905838f16506ull, 0x7303105c5aa861bbull,
    0x8c37ec6cc1978599ull, 0x467120a6023a1411ull, 0xf70da7ad980501c5ull,
    0x0ef70aad07720c29ull, 0x039352d767c5a502ull, 0xe5b9afa4e451a0e7ull,
    0x907ecc7a280dce76ull, 0x214be44c661b5d44ull, 0x25fbab080c41de62ull,
    0xfcf715642b12c0b8ull, 0xc79471c46e0cc2d5ull, 0x9bd03c13376cdae6ull,
    0xb52df6eecbb51869ull, 0xbc7cdec95282cbcdull, 0x86bafecd76d30017ull,
    0x8483ada07667b689ull, 0x71d1ac45790646d0ull, 0xeda6bf43d7e05e5dull,
    0xa0813193792cef09ull, 0xb18f7c0a85a34b61ull, 0x11c1c265d9bab48aull,
    0x180ef026766a6f1aull,
};

TEST(Battle, FramesAreTheRecordedOnesWithTheIndexAndWithTheListWalk)
{
    BattleLog indexed = run_battle(1234, 3000);
    ASSERT_FALSE(::testing::Test::HasFailure());
    BattleLog walked = run_battle(1234, 3000, true);
    ASSERT_FALSE(::testing::Test::HasFailure());
    ASSERT_EQ(indexed.frame_hashes.size(), walked.frame_hashes.size());
    for (size_t i = 0; i < indexed.frame_hashes.size(); i++)
        ASSERT_EQ(indexed.frame_hashes[i], walked.frame_hashes[i]) << "frames differ from " << i;
    std::vector<unsigned long long> expected(std::begin(recorded_battle), std::end(recorded_battle));
    EXPECT_EQ(battle_record(indexed), expected) << record_literal(battle_record(indexed));
}

}  // namespace
