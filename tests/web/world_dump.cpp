// Digests of the worlds new games build and of what happens in them: the noise easing every
// map is made with, then per seed the voxel bytes, the terrain mesh's vertex, colour and
// texture-coordinate lists (the floats' bit patterns), route searches on the map with the
// armies placed, and the frames of the recorded 3000-frame battle. The native game and the
// browser build both run it; their outputs must agree byte for byte, which is what
// scripts/web-check compares.
//
//   world_dump                      everything, for every seed of the list below
//   world_dump --frames SEED        that seed's battle, one line per frame, to find the first
//                                   frame that differs
//   world_dump --state SEED FRAME   the battle's entities and projectiles after that frame,
//                                   floats in hexadecimal, to find the value that differs
//   world_dump --columns SEED       that seed's map, one line per column
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "../battle_fixture.h"
#include "genmesh.h"
#include "pathfind.h"
#include "random.h"

namespace {

// 0 and 1, the recorded battle's 1234, negative seeds and clock values of this decade up to
// the largest a seed can be: a new game takes the calendar second.
const int kSeeds[] = {0,        1,          77,         1234,       -123456,
                      99999999, 1765000000, 1765155600, 2000000000, 2147483647};
constexpr int kBattleFrames = 3000;
constexpr float kFrameSeconds = 0.02f;

struct Digest {
    unsigned long long h = 14695981039346656037ull;
    void bytes(const void* p, size_t n)
    {
        const unsigned char* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; i++)
            h = (h ^ b[i]) * 1099511628211ull;
    }
    void value(long long v) { bytes(&v, sizeof v); }
};

// The noise's easing is the one place the map generator calls the C library's maths (pow).
// Its argument depends on the column and the noise scale alone, never on the seed: these are
// all the values that maps of up to 192 x 192 cells ask for (the generator's scales 1/20, 1/24
// and 1/7, two octaves each), so if they agree, the maps of every seed do. (Elsewhere in 0..1
// pow is not the same everywhere: glibc's own versions for processors with and without fused
// multiply-add differ on about one point in 500, and emscripten's equals the latter.)
void dump_ease()
{
    Digest d;
    for (double scale : {20.0, 24.0, 7.0})
        for (double f : {1.0, 2.0})
            for (int c = -64; c < 192; c++) {
                double v = c / scale * f;
                int cell = v > 0 ? (int)v : (int)v - 1;  // as the noise picks its lattice cell
                double e = easeCurve(v - cell);
                d.bytes(&e, sizeof e);
            }
    std::printf("ease %016llx\n", d.h);
}

void dump_map(int seed, VoxelData* vd)
{
    Digest d;
    d.bytes(vd->data, (size_t)area_size(&vd->area) * sizeof(Voxel));
    std::printf("seed %d map %016llx\n", seed, d.h);
}

void dump_mesh(int seed, VoxelData* vd)
{
    Mesh mesh;
    mesh_init(&mesh);
    if (genmesh(vd, &vd->area, &mesh) != 0) {
        std::printf("seed %d mesh failed\n", seed);
        return;
    }
    // Floats go in as their bytes: a difference in the last bit is a difference.
    Digest v, c, t;
    size_t n = (size_t)mesh.vertex_count;
    v.bytes(mesh.vertex_list, n * 3 * sizeof(GLfloat));
    c.bytes(mesh.color_list, n * 3 * sizeof(GLfloat));
    t.bytes(mesh.txcoord_list, n * 2 * sizeof(GLfloat));
    std::printf("seed %d mesh %zu vertices %016llx colours %016llx texcoords %016llx\n", seed, n,
                v.h, c.h, t.h);
    mesh_free(&mesh);
}

// A standing cell of column (x, y) (above ground that is not water or a tree), or z = -1.
V3i standing_cell(GameEnv* env, int x, int y)
{
    const Area& a = env->voxeldata.area;
    u8 m;
    int z = battle::column_ground(&env->voxeldata, x, y, &m);
    if (m == MATERIAL_TREE || m == MATERIAL_WATER || z + 1 >= a.z + a.d)
        return {x, y, -1};
    return {x, y, z + 1};
}

// Searches between standing cells drawn from a generator of its own (the game's stays as the
// battle needs it), with the flags and budgets units use: walking units blocked by the armies,
// missile units that float, a unit pushed aside with a tight budget, and a goal wanted within
// a distance, as a travelling group asks.
void dump_routes(int seed, GameEnv* env)
{
    unsigned state = (unsigned)seed * 2654435761u + 1;
    auto next = [&](int n) {
        state = state * 1103515245u + 12345u;
        return (int)((state >> 16) % (unsigned)n);
    };
    const int flags[] = {GF_WALK | GF_ENTITIES_BLOCK, GF_WALK | GF_ON_WATER | GF_ENTITIES_BLOCK,
                         GF_WALK, GF_WALK | GF_ON_WATER};
    const int budgets[] = {1000, 1000, 200, 50};
    const float wanted[] = {0, 0, 0, 2.5f};
    const Area& a = env->voxeldata.area;
    Digest d;
    int outcomes[3] = {0, 0, 0}, queries = 0;
    while (queries < 48) {
        // One draw per statement: the order of a call's arguments is the compiler's choice.
        int x0 = next(a.w);
        int y0 = next(a.h);
        int x1 = next(a.w);
        int y1 = next(a.h);
        V3i from = standing_cell(env, x0, y0);
        V3i to = standing_cell(env, x1, y1);
        if (from.z < 0 || to.z < 0)
            continue;
        int k = queries % 4;
        Path path;
        path_init(&path);
        int r = pathfind_astar(&path, &from, &to, env, flags[k], budgets[k], nullptr, 0, wanted[k]);
        d.value(r);
        d.value(path.length);
        d.bytes(path.coords, (size_t)path.length * sizeof(V3i));
        path_free(&path);
        if (r >= 0 && r <= 2)
            outcomes[r]++;
        queries++;
    }
    std::printf("seed %d routes %d reached %d partial %d none %d %016llx\n", seed, queries,
                outcomes[1], outcomes[2], outcomes[0], d.h);
}

void print_state(GameEnv* env, u32 first_uid)
{
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        std::printf("entity %u party %d task %d cell %d %d %d pf %a %a %a health %a yaw %a "
                    "turret %a wanted %a reload %a\n",
                    e->uid - first_uid, e->party, (int)e->task.type, e->p1.x, e->p1.y, e->p1.z,
                    e->pf.x, e->pf.y, e->pf.z, e->health, e->yaw, e->peripheral_yaw,
                    e->peripheral_wanted_yaw, e->reload_timer);
    for (Projectile* p = env->projectiles.lh_first; p; p = p->entries.le_next)
        std::printf("projectile %d target %d pos %a %a %a dest %a %a %a speed %a\n", (int)p->type,
                    p->target_uid, p->pos.x, p->pos.y, p->pos.z, p->dest.x, p->dest.y, p->dest.z,
                    p->speed);
}

// The recorded battle of the seed; each frame's record goes to `frame` when given, and the
// whole state after frame `state_frame` is printed.
void dump_battle(int seed, void (*frame)(int, unsigned long long), int state_frame = -1)
{
    GameEnv* env = battle::make_battle(seed);
    u32 first_uid = env->entities.lh_first->uid;
    unsigned long long all = 14695981039346656037ull;
    for (int f = 0; f < kBattleFrames; f++) {
        battle::recorded_orders(env, f, kBattleFrames);
        gameenv_run(env, kFrameSeconds);
        unsigned long long h = battle::frame_hash(env, first_uid);
        if (frame)
            frame(f, h);
        if (f == state_frame)
            print_state(env, first_uid);
        all = battle::mix(all, h);
    }
    int left[2] = {0, 0};
    for (Entity* e = env->entities.lh_first; e; e = e->entries.le_next)
        if (e->party == 0 || e->party == 1)
            left[e->party]++;
    if (!frame)
        std::printf("seed %d battle %d frames, left %d and %d, %016llx\n", seed, kBattleFrames,
                    left[0], left[1], all);
    gameenv_free(env);
}

void dump_seed(int seed)
{
    GameEnv* env = battle::make_battle(seed);
    dump_map(seed, &env->voxeldata);
    dump_mesh(seed, &env->voxeldata);
    dump_routes(seed, env);
    gameenv_free(env);
    dump_battle(seed, nullptr);
}

void dump_columns(int seed)
{
    GameEnv* env = battle::make_world(seed, 64, 64);
    VoxelData* vd = &env->voxeldata;
    for (int x = 0; x < vd->area.w; x++)
        for (int y = 0; y < vd->area.h; y++) {
            std::printf("%d %d ", x, y);
            for (int z = 0; z < vd->area.d; z++) {
                V3i p = {x, y, z};
                std::printf("%d", voxeldata_get_material(vd, &p));
            }
            std::printf("\n");
        }
    gameenv_free(env);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--frames") == 0) {
        dump_battle(std::atoi(argv[2]), [](int f, unsigned long long h) {
            std::printf("frame %d %016llx\n", f, h);
        });
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--state") == 0) {
        dump_battle(std::atoi(argv[2]), [](int, unsigned long long) {}, std::atoi(argv[3]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--columns") == 0) {
        dump_columns(std::atoi(argv[2]));
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr,
                     "usage: world_dump [--frames SEED | --state SEED FRAME | --columns SEED]\n");
        return 2;
    }
    dump_ease();
    for (int seed : kSeeds)
        dump_seed(seed);
    return 0;
}
