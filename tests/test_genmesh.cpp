#include "genmesh.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genmap.h"
#include "glmisc.h"
#include "materials.h"

namespace {

constexpr float kTexel = 1 / 1024.0f;

// A small world of air to place single voxels in.
class World {
public:
    explicit World(int w = 16, int h = 16, int d = 16)
    {
        voxeldata_init(&vd);
        Area a;
        area_set_xyzwhd(&a, 0, 0, 0, w, h, d);
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

    VoxelData vd;
    Mesh mesh;
};

// One vertex of a generated mesh, read back from its three lists.
struct Vertex {
    float x, y, z;  // view space
    float brightness;
    float s, t;
};

Vertex vertex(const Mesh& m, int i)
{
    return {m.vertex_list[i * 3],     m.vertex_list[i * 3 + 1], m.vertex_list[i * 3 + 2],
            m.color_list[i * 3],      m.txcoord_list[i * 2],    m.txcoord_list[i * 2 + 1]};
}

// A face of six vertices starting at `first`, with its outward axis.
struct Face {
    int first;
    V3i normal;
};

Face face_at(const Mesh& m, int first)
{
    Vertex a = vertex(m, first), b = vertex(m, first + 1), c = vertex(m, first + 2);
    V3f e1 = {b.x - a.x, b.y - a.y, b.z - a.z}, e2 = {c.x - a.x, c.y - a.y, c.z - a.z};
    v3f_cross(&e1, &e2);
    auto sign = [](float v) { return v > 1e-6f ? 1 : v < -1e-6f ? -1 : 0; };
    return {first, {sign(e1.x), sign(e1.y), sign(e1.z)}};
}

// All faces of a mesh made of cube faces only (no custom meshes).
std::vector<Face> faces(const Mesh& m)
{
    std::vector<Face> out;
    for (int i = 0; i + 6 <= m.vertex_count; i += 6)
        out.push_back(face_at(m, i));
    return out;
}

const Face* find_face(const std::vector<Face>& fs, int x, int y, int z)
{
    for (const Face& f : fs)
        if (v3i_eq_xyz(&f.normal, x, y, z))
            return &f;
    return nullptr;
}

float face_brightness(const Mesh& m, const Face& f)
{
    float b = vertex(m, f.first).brightness;
    for (int i = 1; i < 6; i++)
        EXPECT_EQ(vertex(m, f.first + i).brightness, b) << "a face is flat-shaded";
    return b;
}

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
    // Created bottom, -x, -y (from the neighbours' turns), then top, +y, +x; read back reversed.
    std::vector<Face> fs = faces(w.mesh);
    const int order[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, -1, 0}, {-1, 0, 0}, {0, 0, -1}};
    for (int i = 0; i < 6; i++)
        EXPECT_TRUE(v3i_eq_xyz(&fs[i].normal, order[i][0], order[i][1], order[i][2])) << "face " << i;
    // The +x face: corners (0, 1, 2, 2, 3, 0) of its corner table, z in view space.
    const float expect[6][3] = {{5.5f, 4.5f, 1.25f}, {5.5f, 5.5f, 1.25f}, {5.5f, 5.5f, 1.75f},
                                {5.5f, 5.5f, 1.75f}, {5.5f, 4.5f, 1.75f}, {5.5f, 4.5f, 1.25f}};
    const TxCoords& t = mfeats[MATERIAL_STONE].txcoords[2];
    const float tx[6][2] = {{t.x, t.y + t.h}, {t.x + t.w, t.y + t.h}, {t.x + t.w, t.y},
                            {t.x + t.w, t.y}, {t.x, t.y},             {t.x, t.y + t.h}};
    for (int i = 0; i < 6; i++) {
        Vertex v = vertex(w.mesh, i);
        EXPECT_FLOAT_EQ(v.x, expect[i][0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v.y, expect[i][1]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v.z, expect[i][2]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v.s, tx[i][0]) << "vertex " << i;
        EXPECT_FLOAT_EQ(v.t, tx[i][1]) << "vertex " << i;
    }
    // Unshaded brightness per orientation.
    EXPECT_FLOAT_EQ(face_brightness(w.mesh, fs[0]), 0.745f);
    EXPECT_FLOAT_EQ(face_brightness(w.mesh, fs[1]), 0.667f);
    EXPECT_FLOAT_EQ(face_brightness(w.mesh, fs[2]), 0.824f);
    EXPECT_FLOAT_EQ(face_brightness(w.mesh, fs[5]), 0.824f);
}

TEST(Genmesh, WorldEdgesSuppressFacesButTheTopIsOpen)
{
    struct Case {
        int x, y, z;
        int vertices;
        V3i missing;  // the face that must not be there, or (0, 0, 0)
    };
    const Case cases[] = {
        {5, 5, 0, 30, {0, 0, -1}},   // on the bottom: nothing below the world
        {0, 5, 3, 30, {-1, 0, 0}},   // on the low x edge
        {15, 5, 3, 30, {1, 0, 0}},   // on the high x edge
        {5, 15, 3, 30, {0, 1, 0}},   // on the high y edge
        {5, 5, 15, 36, {0, 0, 0}},   // in the top layer: the layer above counts as air
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stone at " << c.x << "," << c.y << "," << c.z);
        World w;
        w.set(c.x, c.y, c.z, MATERIAL_STONE);
        ASSERT_EQ(w.mesh_all(), 0);
        EXPECT_EQ(w.mesh.vertex_count, c.vertices);
        std::vector<Face> fs = faces(w.mesh);
        if (c.vertices == 30)
            EXPECT_EQ(find_face(fs, c.missing.x, c.missing.y, c.missing.z), nullptr);
        else
            EXPECT_NE(find_face(fs, 0, 0, 1), nullptr);
    }
}

TEST(Genmesh, EquallySolidNeighboursShareNoFace)
{
    World ground;
    ground.set(5, 5, 3, MATERIAL_STONE);
    ground.set(6, 5, 3, MATERIAL_GRASS);
    ASSERT_EQ(ground.mesh_all(), 0);
    EXPECT_EQ(ground.mesh.vertex_count, 60);

    // Water meets ground without a face; against air it has faces with the water picture.
    World water;
    water.set(5, 5, 3, MATERIAL_WATER);
    water.set(5, 5, 2, MATERIAL_STONE);
    water.set(6, 5, 3, MATERIAL_STONE);
    ASSERT_EQ(water.mesh_all(), 0);
    EXPECT_EQ(water.mesh.vertex_count, 14 * 6);
    int water_tops = 0;
    for (const Face& f : faces(water.mesh)) {
        Vertex v = vertex(water.mesh, f.first);
        if (v3i_eq_xyz(&f.normal, 0, 0, 1) && v.z == 1.75f && v.x == 4.5f) {
            water_tops++;
            EXPECT_FLOAT_EQ(v.s, 385 * kTexel);  // corner 0 shows the rectangle's left edge
        }
    }
    EXPECT_EQ(water_tops, 1);
}

TEST(Genmesh, TreeOnGrassKeepsItsOwnMeshAndShadesTheGrass)
{
    World w;
    w.set(5, 5, 3, MATERIAL_GRASS);
    w.set(5, 5, 4, MATERIAL_TREE);
    ASSERT_EQ(w.mesh_all(), 0);
    ASSERT_EQ(w.mesh.vertex_count, 12 + 36);
    // The tree was made last (highest layer), so it comes first, exactly as its own mesh.
    V3i p = {5, 5, 4};
    MeshPiece* tree = get_custom_material_mesh(MATERIAL_TREE, &p);
    ASSERT_NE(tree, nullptr);
    for (int i = 0; i < 12 * 3; i++) {
        EXPECT_EQ(w.mesh.vertex_list[i], tree->vertex_list[i]);
        EXPECT_EQ(w.mesh.color_list[i], 0.588f);
    }
    for (int i = 0; i < 12 * 2; i++)
        EXPECT_EQ(w.mesh.txcoord_list[i], tree->txcoord_list[i]);
    meshpiece_free(tree);
    delete tree;

    // Every grass face is darkened one step by the tree above the grass cell.
    std::vector<Face> fs;
    for (int i = 12; i < w.mesh.vertex_count; i += 6)
        fs.push_back(face_at(w.mesh, i));
    ASSERT_EQ(fs.size(), 6u);
    const struct {
        V3i n;
        float brightness;
    } expect[] = {{{0, 0, 1}, 0.706f},  {{0, 0, -1}, 0.706f}, {{1, 0, 0}, 0.627f},
                  {{-1, 0, 0}, 0.627f}, {{0, 1, 0}, 0.549f},  {{0, -1, 0}, 0.549f}};
    for (const auto& e : expect) {
        const Face* f = find_face(fs, e.n.x, e.n.y, e.n.z);
        ASSERT_NE(f, nullptr);
        EXPECT_NEAR(face_brightness(w.mesh, *f), e.brightness, 1e-6);
    }
}

TEST(Genmesh, ShadingCountsUpToTwoOfTheThreeCellsAbove)
{
    // Which cells stand above the stone at (5, 5, 3), and the brightness of its +x face.
    struct Case {
        std::vector<V3i> above;
        float x_face;
    };
    const Case cases[] = {
        {{}, 0.745f},
        {{{6, 5, 4}}, 0.745f},  // up toward +x does not count
        {{{5, 4, 4}}, 0.745f},  // nor up toward -y
        {{{4, 5, 4}}, 0.745f - 0.118f},
        {{{5, 6, 4}}, 0.745f - 0.118f},
        {{{4, 5, 4}, {5, 6, 4}}, 0.745f - 0.236f},
        {{{4, 5, 4}, {5, 6, 4}, {5, 5, 4}}, 0.745f - 0.236f},  // a third counts like a second
    };
    for (const Case& c : cases) {
        World w;
        w.set(5, 5, 3, MATERIAL_STONE);
        for (const V3i& a : c.above)
            w.set(a.x, a.y, a.z, MATERIAL_SAND);
        ASSERT_EQ(w.mesh_all(), 0);
        std::vector<Face> fs = faces(w.mesh);
        bool found = false;
        for (const Face& f : fs) {
            Vertex v = vertex(w.mesh, f.first);
            if (v3i_eq_xyz(&f.normal, 1, 0, 0) && v.x == 5.5f && v.y == 4.5f && v.z == 1.25f) {
                EXPECT_NEAR(face_brightness(w.mesh, f), c.x_face, 1e-6) << c.above.size() << " above";
                found = true;
            }
        }
        EXPECT_TRUE(found);
    }
}

TEST(Genmesh, PictureOnTheMinusYSideIsTurned)
{
    World w;
    w.set(5, 5, 3, MATERIAL_GRASS);
    ASSERT_EQ(w.mesh_all(), 0);
    const TxCoords& side = mfeats[MATERIAL_GRASS].txcoords[5];
    for (const Face& f : faces(w.mesh)) {
        if (f.normal.z != 0)
            continue;
        bool minus_y = v3i_eq_xyz(&f.normal, 0, -1, 0);
        for (int i = 0; i < 6; i++) {
            Vertex v = vertex(w.mesh, f.first + i);
            bool top_edge = v.z == 1.75f;
            float expected = top_edge != minus_y ? side.y : side.y + side.h;
            EXPECT_FLOAT_EQ(v.t, expected) << "normal " << f.normal.x << "," << f.normal.y;
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
                        {-1, -1, -1, 18, 18, 18}, {4, 4, 4, 0, 3, 3}};
    for (const Area& a : bad) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(genmesh(&w.vd, &a, &w.mesh), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: genmesh: data area too small\n");
        EXPECT_EQ(w.mesh.vertex_list, before);
        EXPECT_EQ(w.mesh.vertex_count, 36);
    }
}

TEST(Genmesh, PartialAreaReadsShadingBeyondItsBorderAsAir)
{
    // The stone at (5, 5, 3) lies in the top border layer of the area (5, 5, 0)-(5, 5, 2): its
    // bottom face is generated, and the sand above it lies beyond the border, so it does not shade.
    World w;
    w.set(5, 5, 3, MATERIAL_STONE);
    for (int x = 3; x <= 7; x++)
        for (int y = 3; y <= 7; y++)
            w.set(x, y, 4, MATERIAL_SAND);
    Area part = {5, 5, 0, 1, 1, 3};
    ASSERT_EQ(genmesh(&w.vd, &part, &w.mesh), 0);
    ASSERT_EQ(w.mesh.vertex_count, 6);
    Face f = face_at(w.mesh, 0);
    EXPECT_TRUE(v3i_eq_xyz(&f.normal, 0, 0, -1));
    EXPECT_FLOAT_EQ(face_brightness(w.mesh, f), 0.824f);

    // Meshed as part of the whole world the same face is darkened.
    ASSERT_EQ(w.mesh_all(), 0);
    bool found = false;
    for (const Face& g : faces(w.mesh)) {
        Vertex v = vertex(w.mesh, g.first);
        if (v3i_eq_xyz(&g.normal, 0, 0, -1) && v.z == 1.25f && v.x >= 4.5f && v.x <= 5.5f &&
            v.y >= 4.5f && v.y <= 5.5f) {
            EXPECT_FLOAT_EQ(face_brightness(w.mesh, g), 0.824f - 0.236f);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

// Faces of cell c toward each of its six neighbours, counted straight from the rule:
// the more solid side owns the face; nothing beside or below the world, air above it.
int expected_vertices(const VoxelData& vd)
{
    const Area& a = vd.area;
    int count = 0;
    const int dirs[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int x = a.x; x < a.x + a.w; x++)
        for (int y = a.y; y < a.y + a.h; y++)
            for (int z = a.z; z < a.z + a.d; z++) {
                V3i p = {x, y, z};
                int m = voxeldata_get_material(&vd, &p);
                if (m == MATERIAL_TREE)
                    count += 12;
                for (const auto& d : dirs) {
                    V3i n = {x + d[0], y + d[1], z + d[2]};
                    int mn;
                    if (area_contains(&a, &n))
                        mn = voxeldata_get_material(&vd, &n);
                    else if (n.z == a.z + a.d)
                        mn = MATERIAL_AIR;
                    else
                        continue;
                    if (mfeats[mn].solidness < mfeats[m].solidness)
                        count += 6;
                }
            }
    return count;
}

TEST(Genmesh, GeneratedWorldsGiveEveryBoundaryFaceOnce)
{
    for (int seed : {1, 77, 1765155600}) {
        VoxelData vd;
        voxeldata_init(&vd);
        Area a = {0, 0, 0, 64, 64, 16};
        ASSERT_EQ(voxeldata_allocate(&vd, &a), 0);
        genmap(&vd, seed);
        Mesh mesh;
        mesh_init(&mesh);
        ASSERT_EQ(genmesh(&vd, &a, &mesh), 0);
        EXPECT_EQ(mesh.vertex_count, expected_vertices(vd)) << "seed " << seed;
        for (int i = 0; i < mesh.vertex_count; i++) {
            Vertex v = vertex(mesh, i);
            ASSERT_TRUE(v.x >= -0.5f && v.x <= 63.5f && v.y >= -0.5f && v.y <= 63.5f && v.z >= -0.25f &&
                        v.z <= 8.25f)
                << "vertex " << i;
        }
        mesh_free(&mesh);
        voxeldata_free(&vd);
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
    w.set(5, 5, 3, MATERIAL_AIR);
    w.set(8, 8, 8, MATERIAL_SAND);
    w.set(8, 8, 9, MATERIAL_SAND);
    glproc::glDeleteBuffersARB = count_deletes;  // only counted: no context in this test
    ASSERT_EQ(w.mesh_all(), 0);
    glproc::glDeleteBuffersARB = nullptr;
    EXPECT_EQ(deleted_buffers, 3);
    EXPECT_EQ(w.mesh.vertex_count, 60);
    EXPECT_EQ(w.mesh.texture_handle, 0u);
    EXPECT_EQ(w.mesh.vertex_vbo, MESH_NO_HANDLE);
    EXPECT_EQ(w.mesh.txcoord_vbo, MESH_NO_HANDLE);
}

}  // namespace
