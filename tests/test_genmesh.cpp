#include "genmesh.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genmap.h"
#include "genmesh_reference.h"
#include "glmisc.h"
#include "materials.h"
#include "random.h"

namespace {

// A world of air (16 x 16 x 16 unless given) to place voxels in, and its mesh.
struct World {
    explicit World(int w = 16, int h = 16, int d = 16)
    {
        voxeldata_init(&vd);
        Area a = {0, 0, 0, w, h, d};
        EXPECT_EQ(voxeldata_allocate(&vd, &a), 0);
        for (int i = 0; i < area_size(&a); i++)
            vd.data[i].material = MATERIAL_AIR;
        mesh_init(&mesh);
    }
    ~World()
    {
        mesh_free(&mesh);
        voxeldata_free(&vd);
    }
    void set(int x, int y, int z, int m)
    {
        V3i p = {x, y, z};
        voxeldata_get(&vd, &p)->material = (u8)m;
    }
    int mesh_all() { return genmesh(&vd, &vd.area, &mesh); }
    const GLfloat* pos(int i) const { return mesh.vertex_list + i * 3; }
    float brightness(int i) const { return mesh.color_list[i * 3]; }
    float t(int i) const { return mesh.txcoord_list[i * 2 + 1]; }

    // The cube face starting at vertex `first`: its cell and outward axis, read from its corners.
    void face_at(int first, V3i* cell, V3i* normal) const
    {
        const GLfloat *a = pos(first), *b = pos(first + 1), *c = pos(first + 2);
        V3f e1 = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2 = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        v3f_cross(&e1, &e2);
        auto sign = [](float v) { return v > 1e-6f ? 1 : v < -1e-6f ? -1 : 0; };
        v3i_set_xyz(normal, sign(e1.x), sign(e1.y), sign(e1.z));
        // Corners 0 and 2 are opposite; the centre's view z is doubled back to voxel space.
        V3f centre = {(a[0] + c[0]) / 2, (a[1] + c[1]) / 2, a[2] + c[2]};
        cell->x = (s32)std::lround(centre.x - 0.5f * normal->x);
        cell->y = (s32)std::lround(centre.y - 0.5f * normal->y);
        cell->z = (s32)std::lround(centre.z - 0.5f * normal->z);
    }
    // First vertex of the face of cell (x, y, z) along (nx, ny, nz) among the cube faces
    // from vertex `from` on, or -1.
    int face(int x, int y, int z, int nx, int ny, int nz, int from = 0) const
    {
        for (int i = from; i + 6 <= mesh.vertex_count; i += 6) {
            V3i cell, n;
            face_at(i, &cell, &n);
            if (v3i_eq_xyz(&cell, x, y, z) && v3i_eq_xyz(&n, nx, ny, nz))
                return i;
        }
        return -1;
    }
    // The face's one brightness (faces are flat-shaded).
    float face_brightness(int first) const
    {
        for (int i = 1; i < 6; i++)
            EXPECT_EQ(brightness(first + i), brightness(first));
        return brightness(first);
    }

    VoxelData vd;
    Mesh mesh;
};

const int kAxes[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, -1, 0}, {-1, 0, 0}, {0, 0, -1}};

TEST(Genmesh, AllAirGivesAnEmptyMesh)
{
    World w;
    ASSERT_EQ(w.mesh_all(), 0);
    EXPECT_EQ(w.mesh.vertex_count, 0);
    EXPECT_EQ(w.mesh.texture_handle, 0u);
}

TEST(Genmesh, LoneStoneFacesInReverseOrderOfCreation)
{
    World w;
    w.set(5, 5, 3, MATERIAL_STONE);
    ASSERT_EQ(w.mesh_all(), 0);
    ASSERT_EQ(w.mesh.vertex_count, 36);
    // Made bottom, -x, -y (on the neighbours' turns), then top, +y, +x; read back reversed.
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(w.face(5, 5, 3, kAxes[i][0], kAxes[i][1], kAxes[i][2]), i * 6) << "face " << i;
    // The +x face: its corners 0, 1, 2, 2, 3, 0, z halved, and the picture upright.
    const float corner[4][3] = {{5.5f, 4.5f, 1.25f}, {5.5f, 5.5f, 1.25f}, {5.5f, 5.5f, 1.75f}, {5.5f, 4.5f, 1.75f}};
    const TxCoords& tx = mfeats[MATERIAL_STONE].txcoords[2];
    const float corner_tx[4][2] = {{tx.x, tx.y + tx.h}, {tx.x + tx.w, tx.y + tx.h}, {tx.x + tx.w, tx.y}, {tx.x, tx.y}};
    const int order[6] = {0, 1, 2, 2, 3, 0};
    for (int i = 0; i < 6; i++) {
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(w.pos(i)[k], corner[order[i]][k]) << "vertex " << i;
        EXPECT_EQ(w.mesh.txcoord_list[i * 2], corner_tx[order[i]][0]) << "vertex " << i;
        EXPECT_EQ(w.t(i), corner_tx[order[i]][1]) << "vertex " << i;
    }
    const float unshaded[6] = {0.745f, 0.667f, 0.824f, 0.667f, 0.745f, 0.824f};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(w.face_brightness(i * 6), unshaded[i]);
}

TEST(Genmesh, WorldEdgesSuppressFacesButTheTopIsOpen)
{
    struct Case {
        int x, y, z, vertices;
        V3i missing;  // the face that is not generated
    } cases[] = {
        {5, 5, 0, 30, {0, 0, -1}},  {0, 5, 3, 30, {-1, 0, 0}}, {15, 5, 3, 30, {1, 0, 0}},
        {5, 0, 3, 30, {0, -1, 0}},  {5, 15, 3, 30, {0, 1, 0}},
        {5, 5, 15, 36, {0, 0, 0}},  // the layer above the world counts as air
    };
    for (const Case& c : cases) {
        World w;
        w.set(c.x, c.y, c.z, MATERIAL_STONE);
        ASSERT_EQ(w.mesh_all(), 0);
        EXPECT_EQ(w.mesh.vertex_count, c.vertices) << c.x << "," << c.y << "," << c.z;
        EXPECT_EQ(w.face(c.x, c.y, c.z, c.missing.x, c.missing.y, c.missing.z), -1);
        EXPECT_GE(w.face(c.x, c.y, c.z, 0, 0, 1), 0);
    }
}

TEST(Genmesh, EquallySolidNeighboursShareNoFace)
{
    World w;
    w.set(5, 5, 3, MATERIAL_STONE);
    w.set(6, 5, 3, MATERIAL_GRASS);
    w.set(5, 5, 4, MATERIAL_WATER);  // water on ground
    ASSERT_EQ(w.mesh_all(), 0);
    EXPECT_EQ(w.mesh.vertex_count, 14 * 6);
    EXPECT_EQ(w.face(5, 5, 3, 1, 0, 0), -1);
    EXPECT_EQ(w.face(5, 5, 3, 0, 0, 1), -1);
    int top = w.face(5, 5, 4, 0, 0, 1);
    ASSERT_GE(top, 0);
    EXPECT_EQ(w.mesh.txcoord_list[top * 2], mfeats[MATERIAL_WATER].txcoords[0].x);
}

TEST(Genmesh, TreeOnGrassKeepsItsOwnMeshAndShadesTheGrass)
{
    World w;
    w.set(5, 5, 3, MATERIAL_GRASS);
    w.set(5, 5, 4, MATERIAL_TREE);
    ASSERT_EQ(w.mesh_all(), 0);
    ASSERT_EQ(w.mesh.vertex_count, 12 + 36);
    // The tree was made last (on the highest layer), so it comes first, as its own mesh gives it.
    V3i p = {5, 5, 4};
    MeshPiece* tree = get_custom_material_mesh(MATERIAL_TREE, &p);
    ASSERT_NE(tree, nullptr);
    for (int i = 0; i < 12 * 3; i++)
        EXPECT_EQ(w.mesh.vertex_list[i], tree->vertex_list[i]);
    for (int i = 0; i < 12; i++) {
        EXPECT_EQ(w.brightness(i), 0.588f);
        EXPECT_EQ(w.t(i), tree->txcoord_list[i * 2 + 1]);
    }
    meshpiece_free(tree);
    delete tree;
    // Every grass face is one step darker for the tree above it.
    const float shaded[6] = {0.627f, 0.549f, 0.706f, 0.549f, 0.627f, 0.706f};
    for (int i = 0; i < 6; i++) {
        int f = w.face(5, 5, 3, kAxes[i][0], kAxes[i][1], kAxes[i][2], 12);
        ASSERT_GE(f, 0) << "face " << i;
        EXPECT_NEAR(w.face_brightness(f), shaded[i], 1e-6) << "face " << i;
    }
}

TEST(Genmesh, ShadingCountsUpToTwoOfTheThreeCellsAbove)
{
    struct Case {
        std::vector<V3i> above;  // sand placed above the stone at (5, 5, 3)
        float darker;            // how much darker its +x face gets
    } cases[] = {
        {{}, 0},
        {{{6, 5, 4}, {5, 4, 4}, {4, 4, 4}}, 0},  // up toward +x or -y does not count
        {{{4, 5, 4}}, 0.118f},
        {{{5, 6, 4}}, 0.118f},
        {{{5, 5, 4}, {4, 5, 4}}, 0.236f},
        {{{4, 5, 4}, {5, 6, 4}, {5, 5, 4}}, 0.236f},  // a third counts like a second
    };
    for (const Case& c : cases) {
        World w;
        w.set(5, 5, 3, MATERIAL_STONE);
        for (const V3i& a : c.above)
            w.set(a.x, a.y, a.z, MATERIAL_SAND);
        ASSERT_EQ(w.mesh_all(), 0);
        int f = w.face(5, 5, 3, 1, 0, 0);
        ASSERT_GE(f, 0);
        EXPECT_NEAR(w.face_brightness(f), 0.745f - c.darker, 1e-6) << c.above.size() << " above";
    }
}

TEST(Genmesh, PictureOnTheMinusYSideIsTurned)
{
    World w;
    w.set(5, 5, 3, MATERIAL_GRASS);
    ASSERT_EQ(w.mesh_all(), 0);
    const TxCoords& side = mfeats[MATERIAL_GRASS].txcoords[5];
    for (int a = 0; a < 6; a++) {
        if (kAxes[a][2] != 0)
            continue;
        bool minus_y = kAxes[a][1] == -1;
        int f = w.face(5, 5, 3, kAxes[a][0], kAxes[a][1], kAxes[a][2]);
        ASSERT_GE(f, 0);
        for (int i = f; i < f + 6; i++) {
            bool top_edge = w.pos(i)[2] == 1.75f;
            EXPECT_EQ(w.t(i), top_edge != minus_y ? side.y : side.y + side.h) << "face " << a;
        }
    }
}

TEST(Genmesh, AreaBeyondTheDataFailsAndLeavesTheMeshAlone)
{
    World w;
    w.set(5, 5, 3, MATERIAL_STONE);
    ASSERT_EQ(w.mesh_all(), 0);
    GLfloat* before = w.mesh.vertex_list;
    const Area bad[] = {{0, 0, 0, 17, 16, 16}, {0, 0, 0, 16, 17, 16}, {0, 0, 0, 16, 16, 17},
                        {-1, 0, 0, 16, 16, 16}, {0, -1, 0, 2, 2, 2},  {0, 0, -1, 16, 16, 16},
                        {4, 4, 4, 0, 3, 3}};
    for (const Area& a : bad) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(genmesh(&w.vd, &a, &w.mesh), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: genmesh: data area too small\n");
        EXPECT_EQ(w.mesh.vertex_list, before);
        EXPECT_EQ(w.mesh.vertex_count, 36);
    }
}

TEST(Genmesh, PartialAreaMeshesItsBorderAndReadsShadingBeyondItAsAir)
{
    // The area is (5, 5, 1..2); its border layers z 0 and 3 own faces toward it. The sand
    // at z 4 lies beyond the border, so it does not shade the stone at (5, 5, 3).
    World w;
    w.set(5, 5, 0, MATERIAL_STONE);
    w.set(5, 5, 3, MATERIAL_STONE);
    for (int x = 3; x <= 7; x++)
        for (int y = 3; y <= 7; y++)
            w.set(x, y, 4, MATERIAL_SAND);
    Area part = {5, 5, 1, 1, 1, 2};
    ASSERT_EQ(genmesh(&w.vd, &part, &w.mesh), 0);
    // The loops run over the lower border, so the stone at z 0 also gets its side faces.
    ASSERT_EQ(w.mesh.vertex_count, 36);
    EXPECT_EQ(w.face(5, 5, 3, 0, 0, -1), 0);
    EXPECT_EQ(w.face(5, 5, 0, 0, 0, 1), 18);
    EXPECT_EQ(w.face_brightness(0), 0.824f);
    // Meshed with the whole world the same face is darkened.
    ASSERT_EQ(w.mesh_all(), 0);
    int f = w.face(5, 5, 3, 0, 0, -1);
    ASSERT_GE(f, 0);
    EXPECT_EQ(w.face_brightness(f), 0.824f - 0.236f);
}

// Vertices counted straight from the rule: a face wherever a cell is more solid than its
// neighbour, nothing toward the sides and bottom of the world, air above it; 12 per tree.
int expected_vertices(const VoxelData& vd)
{
    const Area& a = vd.area;
    int count = 0;
    for (int x = 0; x < a.w; x++)
        for (int y = 0; y < a.h; y++)
            for (int z = 0; z < a.d; z++) {
                V3i p = {x, y, z};
                int m = voxeldata_get_material(&vd, &p);
                count += m == MATERIAL_TREE ? 12 : 0;
                for (const auto& d : kAxes) {
                    V3i n = {x + d[0], y + d[1], z + d[2]};
                    if (!area_contains(&a, &n) && n.z != a.d)
                        continue;
                    int mn = area_contains(&a, &n) ? voxeldata_get_material(&vd, &n) : (int)MATERIAL_AIR;
                    count += mfeats[mn].solidness < mfeats[m].solidness ? 6 : 0;
                }
            }
    return count;
}

TEST(Genmesh, GeneratedWorldsGiveEveryBoundaryFaceOnce)
{
    for (int seed : {1, 77, 1765155600}) {
        World w(64, 64, 16);
        genmap(&w.vd, seed);
        ASSERT_EQ(w.mesh_all(), 0);
        EXPECT_EQ(w.mesh.vertex_count, expected_vertices(w.vd)) << "seed " << seed;
        for (int i = 0; i < w.mesh.vertex_count; i++) {
            const GLfloat* v = w.pos(i);
            ASSERT_TRUE(v[0] >= -0.5f && v[0] <= 63.5f && v[1] >= -0.5f && v[1] <= 63.5f &&
                        v[2] >= -0.25f && v[2] <= 8.25f)
                << "vertex " << i;
        }
    }
}

int deleted_buffers = 0;
void APIENTRY count_deletes(GLsizei n, const GLuint*)
{
    deleted_buffers += n;
}

TEST(Genmesh, ReplacesThePreviousMeshAndItsBuffers)
{
    World w;
    w.set(5, 5, 3, MATERIAL_STONE);
    ASSERT_EQ(w.mesh_all(), 0);
    w.mesh.texture_handle = 3;
    w.mesh.vertex_vbo = 10;
    w.mesh.color_vbo = 11;
    w.mesh.txcoord_vbo = 12;
    w.set(8, 8, 8, MATERIAL_SAND);
    glproc::glDeleteBuffersARB = count_deletes;  // counted only: no context in this test
    ASSERT_EQ(w.mesh_all(), 0);
    glproc::glDeleteBuffersARB = nullptr;
    EXPECT_EQ(deleted_buffers, 3);
    EXPECT_EQ(w.mesh.vertex_count, 72);
    EXPECT_EQ(w.mesh.texture_handle, 0u);
    EXPECT_TRUE(w.mesh.vertex_vbo == MESH_NO_HANDLE && w.mesh.color_vbo == MESH_NO_HANDLE &&
                w.mesh.txcoord_vbo == MESH_NO_HANDLE);
}

// Meshes `area` of w's voxels with the game's mesher and with the first form, and expects the
// same vertices, colours and texture coordinates in the same order, bit for bit.
void expect_same_mesh_as_first_form(World& w, const Area& area, const std::string& what)
{
    Mesh first;
    mesh_init(&first);
    ASSERT_EQ(genmesh_reference::genmesh_pieces(&w.vd, &area, &first), 0) << what;
    ASSERT_EQ(genmesh(&w.vd, &area, &w.mesh), 0) << what;
    ASSERT_EQ(w.mesh.vertex_count, first.vertex_count) << what;
    size_t n = (size_t)first.vertex_count;
    EXPECT_EQ(std::memcmp(w.mesh.vertex_list, first.vertex_list, n * 3 * sizeof(GLfloat)), 0) << what;
    EXPECT_EQ(std::memcmp(w.mesh.color_list, first.color_list, n * 3 * sizeof(GLfloat)), 0) << what;
    EXPECT_EQ(std::memcmp(w.mesh.txcoord_list, first.txcoord_list, n * 2 * sizeof(GLfloat)), 0) << what;
    mesh_free(&first);
}

// A random box inside the world, from a single cell to the whole world, often on its edges.
Area random_area(const Area& world)
{
    auto span = [](int size, int* start, int* len) {
        *start = myrand() % 3 == 0 ? 0 : myrand() % size;
        *len = 1 + myrand() % (size - *start);
        if (myrand() % 3 == 0)
            *len = size - *start;
    };
    Area a;
    span(world.w, &a.x, &a.w);
    span(world.h, &a.y, &a.h);
    span(world.d, &a.z, &a.d);
    return a;
}

TEST(Genmesh, SameOutputAsTheFirstFormOnGeneratedWorldsAndPartialAreas)
{
    for (int seed : {1, 77, 1765155600, -123456, 4242}) {
        World w(64, 64, 16);
        genmap(&w.vd, seed);
        expect_same_mesh_as_first_form(w, w.vd.area, "seed " + std::to_string(seed));
        EXPECT_GT(w.mesh.vertex_count, 30000);
        mysrand((unsigned)seed);
        for (int i = 0; i < 6; i++) {
            Area a = random_area(w.vd.area);
            expect_same_mesh_as_first_form(w, a, "seed " + std::to_string(seed) + " part " + std::to_string(i));
        }
    }
}

// Every pairing of materials, including ones the map generator never places (nothing,
// outside, dirt, numbers past the table), in a world that is not at the origin.
TEST(Genmesh, SameOutputAsTheFirstFormOnRandomMaterials)
{
    mysrand(99);
    for (int round = 0; round < 4; round++) {
        World w(12, 9, 7);
        for (int i = 0; i < area_size(&w.vd.area); i++) {
            int r = myrand() % 14;
            w.vd.data[i].material = (u8)(r < 10 ? r : r == 10 ? 200 : MATERIAL_AIR);
        }
        w.vd.area.x = -5 + round;
        w.vd.area.y = 3 * round;
        w.vd.area.z = -round;
        expect_same_mesh_as_first_form(w, w.vd.area, "round " + std::to_string(round));
        for (int i = 0; i < 4; i++) {
            Area a = random_area(w.vd.area);
            a.x += w.vd.area.x;
            a.y += w.vd.area.y;
            a.z += w.vd.area.z;
            expect_same_mesh_as_first_form(w, a, "round " + std::to_string(round) + " part " + std::to_string(i));
        }
    }
}

}  // namespace
