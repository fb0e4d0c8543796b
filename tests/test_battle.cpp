// A headless battle on a generated map: the world stays consistent every frame, the armies
// fight, wrecks clear away, and the same seed replays frame for frame.
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <set>
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

TEST(Battle, DifferentSeedsGiveDifferentBattles)
{
    BattleLog a = run_battle(1234, 300);
    BattleLog b = run_battle(99, 300);
    EXPECT_NE(a.frame_hashes.back(), b.frame_hashes.back());
}

}  // namespace
