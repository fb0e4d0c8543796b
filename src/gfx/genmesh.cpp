#include "genmesh.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "materials.h"

namespace {

constexpr int FACE_VERTICES = 6;
// Two triangles per face: corners (0, 1, 2) and (2, 3, 0).
constexpr int face_corners[FACE_VERTICES] = {0, 1, 2, 2, 3, 0};

// The cells being meshed plus a border of one cell, as material numbers.
struct CellGrid {
    u8* data;   // one material per cell of `area`, x slowest and z fastest; owned
    Area area;  // the generation area grown by one cell on every side
    int step_x, step_y;  // index differences of one step along x and y (z is 1)
};

int grid_material(const CellGrid* g, int x, int y, int z)
{
    return g->data[area_index_xyz(&g->area, x, y, z)];
}

// Shading samples may fall just outside the grid for a partial generation area; they read as air.
bool grid_shades(const CellGrid* g, int x, int y, int z)
{
    if (!area_contains_xyz(&g->area, x, y, z))
        return false;
    return mfeats[grid_material(g, x, y, z)].shades_light;
}

// Cells inside the voxel data copy their material; the rest are outside, except the top layer,
// which is air so that the top of the world gets its faces.
void fill_grid(CellGrid* g, const VoxelData* vd)
{
    const Area& a = g->area;
    const Area& v = vd->area;
    int top = a.z + a.d - 1;
    // The z range of a column that lies inside the voxel data (the same for every column).
    int z0 = a.z > v.z ? a.z : v.z;
    int z1 = a.z + a.d < v.z + v.d ? a.z + a.d : v.z + v.d;
    u8* out = g->data;
    for (int x = a.x; x < a.x + a.w; x++)
        for (int y = a.y; y < a.y + a.h; y++) {
            bool column_inside = x >= v.x && x < v.x + v.w && y >= v.y && y < v.y + v.h;
            for (int z = a.z; z < a.z + a.d; z++) {
                if (column_inside && z == z0 && z0 < z1) {
                    const Voxel* in = &vd->data[area_index_xyz(&v, x, y, z0)];
                    for (; z < z1; z++)
                        *out++ = (in++)->material;
                    z--;
                } else {
                    *out++ = z == top ? MATERIAL_AIR : MATERIAL_OUTSIDE;
                }
            }
        }
}

// Face directions: the three a cell looks along for its boundaries (+z, +y, +x), then their
// opposites, each three after its own.
constexpr int DIR_COUNT = 6;
constexpr int dir_axis[DIR_COUNT][3] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}, {0, -1, 0}, {-1, 0, 0}};

float base_brightness(int fx, int fy, int fz)
{
    if (fx == 0 && fy == 0 && (fz == 1 || fz == -1))
        return 0.824f;
    if ((fx == 1 || fx == -1) && fy == 0 && fz == 0)
        return 0.745f;
    if (fx == 0 && (fy == 1 || fy == -1) && fz == 0)
        return 0.667f;
    return 0.0f;
}

// What a face needs of its direction, worked out once per mesh.
struct FaceDir {
    V3f offsets[4];       // corner offsets around the cell centre
    int tx_index;         // into MFeat::txcoords
    float brightness[3];  // by the number (0..2) of shading cells above the owner
};

void make_face_dirs(FaceDir dirs[DIR_COUNT])
{
    for (int d = 0; d < DIR_COUNT; d++) {
        int fx = dir_axis[d][0], fy = dir_axis[d][1], fz = dir_axis[d][2];
        V3i dir = {fx, fy, fz};
        get_face_corner_offsets(&dir, dirs[d].offsets);
        dirs[d].tx_index = facedir_to_index(fx, fy, fz);
        for (int count = 0; count < 3; count++)
            dirs[d].brightness[count] = base_brightness(fx, fy, fz) - 0.118f * count;
    }
}

// Faces are darkened by the cells above their owner: straight up, up toward +y and up toward -x.
float face_brightness(const CellGrid* g, const FaceDir* f, int px, int py, int pz)
{
    int count = grid_shades(g, px, py, pz + 1) + grid_shades(g, px, py + 1, pz + 1) +
                grid_shades(g, px - 1, py, pz + 1);
    if (count > 2)
        count = 2;
    return f->brightness[count];
}

// One piece of the mesh as it is made: a face of material m on the cell (x, y, z) pointing along
// direction dir, or (dir PIECE_CUSTOM) the custom geometry pieces[x].
struct FaceRecord {
    s32 x, y, z;
    u8 dir;
    u8 m;
};
constexpr u8 PIECE_CUSTOM = 255;

// The pieces in the order they are made, and the custom geometry (trees) they refer to.
struct FaceRecords {
    FaceRecord* faces;  // owned
    int count, capacity;
    MeshPiece** pieces;  // owned, and so are the pieces
    int piece_count, piece_capacity;
    size_t vertex_count;  // of all pieces
};

void free_records(FaceRecords* r)
{
    for (int i = 0; i < r->piece_count; i++) {
        meshpiece_free(r->pieces[i]);
        delete r->pieces[i];
    }
    std::free(r->pieces);
    std::free(r->faces);
}

// Room for `more` records past the count: false when out of memory.
bool reserve_faces(FaceRecords* r, int more)
{
    if (r->count + more <= r->capacity)
        return true;
    int capacity = r->capacity ? 2 * r->capacity : 4096;
    FaceRecord* faces = (FaceRecord*)std::realloc(r->faces, sizeof(FaceRecord) * capacity);
    if (!faces)
        return false;
    r->faces = faces;
    r->capacity = capacity;
    return true;
}

bool append_piece(FaceRecords* r, MeshPiece* p)
{
    if (r->piece_count == r->piece_capacity) {
        int capacity = r->piece_capacity ? 2 * r->piece_capacity : 16;
        MeshPiece** pieces = (MeshPiece**)std::realloc(r->pieces, sizeof(MeshPiece*) * capacity);
        if (!pieces)
            return false;
        r->pieces = pieces;
        r->piece_capacity = capacity;
    }
    r->pieces[r->piece_count++] = p;
    return true;
}

// Records the pieces in the order they are made: by layer from the bottom, then x, then y; in
// a cell its own geometry, then the boundaries toward +z, +y and +x. The boundary between cell
// a and its neighbour b has a face on the more solid of the two, pointing toward the other;
// none if they are equally solid or b lies outside. 0, or -1 when out of memory.
int record_faces(FaceRecords* r, const CellGrid* g, const Area* gen)
{
    signed char solidness[256];
    bool custom[256];
    for (int m = 0; m < 256; m++) {
        solidness[m] = (signed char)mfeats[m].solidness;
        custom[m] = mfeats[m].uses_custom_mesh;
    }
    const int steps[3] = {1, g->step_y, g->step_x};  // toward +z, +y, +x
    int faces = 0;
    for (int z = gen->z - 1; z <= gen->z + gen->d - 1; z++)
        for (int x = gen->x - 1; x <= gen->x + gen->w - 1; x++) {
            int y0 = gen->y - 1;
            const u8* cell = &g->data[area_index_xyz(&g->area, x, y0, z)];
            for (int y = y0; y <= gen->y + gen->h - 1; y++, cell += g->step_y) {
                int ma = *cell;
                int sa = solidness[ma];
                if (sa == -1)
                    continue;
                // Most of the world is inside the ground or up in the air: nothing to make.
                if (!custom[ma] && solidness[cell[steps[0]]] == sa &&
                    solidness[cell[steps[1]]] == sa && solidness[cell[steps[2]]] == sa)
                    continue;
                if (!reserve_faces(r, 4))
                    return -1;
                if (custom[ma]) {
                    V3i p = {x, y, z};
                    MeshPiece* piece = get_custom_material_mesh(ma, &p);
                    if (!piece)
                        return -1;
                    if (!append_piece(r, piece)) {
                        meshpiece_free(piece);
                        delete piece;
                        return -1;
                    }
                    r->vertex_count += piece->vertex_count;
                    r->faces[r->count++] = {r->piece_count - 1, 0, 0, PIECE_CUSTOM, 0};
                }
                // Written whether or not there is a face, and kept only if there is: the
                // outcome is too mixed for branches to guess.
                for (int d = 0; d < 3; d++) {
                    int mb = cell[steps[d]];
                    int sb = solidness[mb];
                    bool toward_b = sb < sa;
                    FaceRecord& f = r->faces[r->count];
                    f.x = x + (toward_b ? 0 : dir_axis[d][0]);
                    f.y = y + (toward_b ? 0 : dir_axis[d][1]);
                    f.z = z + (toward_b ? 0 : dir_axis[d][2]);
                    f.dir = (u8)(toward_b ? d : d + 3);
                    f.m = (u8)(toward_b ? ma : mb);
                    int face = (sb != -1) & (sb != sa);
                    r->count += face;
                    faces += face;
                }
            }
        }
    r->vertex_count += (size_t)faces * FACE_VERTICES;
    return 0;
}

// Writes the face of material m of cell (px, py, pz) along direction d at out's vertex i.
void put_face(const Mesh* out, size_t i, const CellGrid* g, const FaceDir* dirs, int m, int px,
              int py, int pz, int d)
{
    const FaceDir& f = dirs[d];
    const TxCoords& t = mfeats[m].txcoords[f.tx_index];
    const float corner_tx[4][2] = {{t.x, t.y + t.h}, {t.x + t.w, t.y + t.h}, {t.x + t.w, t.y}, {t.x, t.y}};
    float brightness = face_brightness(g, &f, px, py, pz);
    GLfloat* v = out->vertex_list + i * 3;
    GLfloat* c = out->color_list + i * 3;
    GLfloat* tx = out->txcoord_list + i * 2;
    for (int j = 0; j < FACE_VERTICES; j++) {
        int k = face_corners[j];
        v[j * 3 + 0] = (float)px + f.offsets[k].x;
        v[j * 3 + 1] = (float)py + f.offsets[k].y;
        v[j * 3 + 2] = ((float)pz + f.offsets[k].z) * 0.5f;
        c[j * 3 + 0] = brightness;
        c[j * 3 + 1] = brightness;
        c[j * 3 + 2] = brightness;
        tx[j * 2 + 0] = corner_tx[k][0];
        tx[j * 2 + 1] = corner_tx[k][1];
    }
}

void put_piece(const Mesh* out, size_t i, const MeshPiece* p)
{
    size_t n = p->vertex_count;
    std::memcpy(out->vertex_list + i * 3, p->vertex_list, n * 3 * sizeof(GLfloat));
    std::memcpy(out->color_list + i * 3, p->color_list, n * 3 * sizeof(GLfloat));
    std::memcpy(out->txcoord_list + i * 2, p->txcoord_list, n * 2 * sizeof(GLfloat));
}

// An empty or inverted generation area counts as not inside: it names no cells to mesh.
bool area_inside(const Area* inner, const Area* outer)
{
    if (inner->w <= 0 || inner->h <= 0 || inner->d <= 0)
        return false;
    return area_bounds_within(inner, outer);
}

// Records the pieces, then fills the emptied mesh with them, the last made first: 0, or -1 (the
// mesh is left alone when the records or a custom piece cannot be made, and empty when the
// lists cannot be allocated).
int build_mesh(Mesh* mesh, const CellGrid* g, const Area* gen)
{
    FaceRecords r = {};
    int result = record_faces(&r, g, gen);
    if (result == 0) {
        mesh_free(mesh);
        MeshPiece all;  // only its lists are used; they pass to the mesh
        if (meshpiece_allocate(&all, (GLuint)r.vertex_count) != 0) {
            result = -1;
        } else {
            mesh->vertex_count = (GLsizei)r.vertex_count;
            mesh->vertex_list = all.vertex_list;
            mesh->color_list = all.color_list;
            mesh->txcoord_list = all.txcoord_list;
            FaceDir dirs[DIR_COUNT];
            make_face_dirs(dirs);
            size_t i = 0;
            for (int k = r.count - 1; k >= 0; k--) {
                const FaceRecord& f = r.faces[k];
                if (f.dir == PIECE_CUSTOM) {
                    put_piece(mesh, i, r.pieces[f.x]);
                    i += r.pieces[f.x]->vertex_count;
                } else {
                    put_face(mesh, i, g, dirs, f.m, f.x, f.y, f.z, f.dir);
                    i += FACE_VERTICES;
                }
            }
        }
    }
    free_records(&r);
    return result;
}

}  // namespace

void get_face_corner_offsets(const V3i* dir, V3f* vertex_dirs)
{
    struct FaceCorners {
        V3i dir;
        V3f corners[4];
    };
    static constexpr FaceCorners table[6] = {
        {{0, 0, 1}, {{-0.5f, -0.5f, 0.5f}, {0.5f, -0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {-0.5f, 0.5f, 0.5f}}},
        {{0, 0, -1}, {{0.5f, -0.5f, -0.5f}, {-0.5f, -0.5f, -0.5f}, {-0.5f, 0.5f, -0.5f}, {0.5f, 0.5f, -0.5f}}},
        {{1, 0, 0}, {{0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, {0.5f, -0.5f, 0.5f}}},
        {{-1, 0, 0}, {{-0.5f, 0.5f, -0.5f}, {-0.5f, -0.5f, -0.5f}, {-0.5f, -0.5f, 0.5f}, {-0.5f, 0.5f, 0.5f}}},
        {{0, 1, 0}, {{0.5f, 0.5f, -0.5f}, {-0.5f, 0.5f, -0.5f}, {-0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}}},
        {{0, -1, 0}, {{0.5f, -0.5f, 0.5f}, {-0.5f, -0.5f, 0.5f}, {-0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}}},
    };
    for (const FaceCorners& f : table) {
        if (v3i_eq(&f.dir, dir)) {
            for (int i = 0; i < 4; i++)
                vertex_dirs[i] = f.corners[i];
            return;
        }
    }
}

int genmesh(VoxelData* vd, const Area* gen_area, Mesh* mesh)
{
    if (!area_inside(gen_area, &vd->area)) {
        std::fprintf(stderr, "ERROR: genmesh: data area too small\n");
        return -1;
    }
    CellGrid grid;
    area_set_xyzwhd(&grid.area, gen_area->x - 1, gen_area->y - 1, gen_area->z - 1, gen_area->w + 2,
                    gen_area->h + 2, gen_area->d + 2);
    grid.step_y = grid.area.d;
    grid.step_x = grid.area.h * grid.area.d;
    grid.data = static_cast<u8*>(std::malloc((size_t)area_size(&grid.area)));
    if (!grid.data) {
        std::fprintf(stderr, "ERROR: genmesh: out of memory\n");
        return -1;
    }
    fill_grid(&grid, vd);
    int result = build_mesh(mesh, &grid, gen_area);
    std::free(grid.data);
    return result;
}
