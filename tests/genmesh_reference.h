// The terrain mesher as it was written first: one heap piece per face, linked at the head of a
// list and concatenated at the end. The game's mesher must give exactly this output, vertex for
// vertex; tests and benchmarks compare against it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "genmesh.h"
#include "materials.h"

namespace genmesh_reference {


inline constexpr int FACE_VERTICES = 6;
// Two triangles per face: corners (0, 1, 2) and (2, 3, 0).
inline constexpr int face_corners[FACE_VERTICES] = {0, 1, 2, 2, 3, 0};

// The cells being meshed plus a border of one cell, as material numbers.
struct CellGrid {
    int* data;  // one material per cell of `area`, x slowest and z fastest; owned
    Area area;  // the generation area grown by one cell on every side
};

inline int grid_material(const CellGrid* g, int x, int y, int z)
{
    return g->data[area_index_xyz(&g->area, x, y, z)];
}

// Shading samples may fall just outside the grid for a partial generation area; they read as air.
inline bool grid_shades(const CellGrid* g, int x, int y, int z)
{
    if (!area_contains_xyz(&g->area, x, y, z))
        return false;
    return material_shades_light(grid_material(g, x, y, z));
}

inline void fill_grid(CellGrid* g, const VoxelData* vd)
{
    const Area& a = g->area;
    int top = a.z + a.d - 1;
    int i = 0;
    for (int x = a.x; x < a.x + a.w; x++)
        for (int y = a.y; y < a.y + a.h; y++)
            for (int z = a.z; z < a.z + a.d; z++) {
                V3i p = {x, y, z};
                if (area_contains(&vd->area, &p))
                    g->data[i++] = vd->data[area_index(&vd->area, &p)].material;
                else
                    g->data[i++] = z == top ? MATERIAL_AIR : MATERIAL_OUTSIDE;
            }
}

inline float base_brightness(int fx, int fy, int fz)
{
    if (fx == 0 && fy == 0 && (fz == 1 || fz == -1))
        return 0.824f;
    if ((fx == 1 || fx == -1) && fy == 0 && fz == 0)
        return 0.745f;
    if (fx == 0 && (fy == 1 || fy == -1) && fz == 0)
        return 0.667f;
    return 0.0f;
}

// Faces are darkened by the cells above their owner: straight up, up toward +y and up toward -x.
inline float face_brightness(const CellGrid* g, int px, int py, int pz, int fx, int fy, int fz)
{
    int count = grid_shades(g, px, py, pz + 1) + grid_shades(g, px, py + 1, pz + 1) +
                grid_shades(g, px - 1, py, pz + 1);
    if (count > 2)
        count = 2;
    return base_brightness(fx, fy, fz) - 0.118f * count;
}

inline void free_piece(MeshPiece* p)
{
    meshpiece_free(p);
    delete p;
}

inline void free_pieces(MeshPieceList* list)
{
    while (!list_empty(list)) {
        MeshPiece* p = list->lh_first;
        list_remove(p);
        free_piece(p);
    }
}

// The face of material m of cell (px, py, pz) pointing along (fx, fy, fz), at the list's head.
inline int add_face(MeshPieceList* list, int m, int px, int py, int pz, int fx, int fy, int fz,
             const CellGrid* g)
{
    MeshPiece* p = new (std::nothrow) MeshPiece;
    if (!p)
        return -1;
    meshpiece_init(p);
    if (meshpiece_allocate(p, FACE_VERTICES) != 0) {
        delete p;
        return -1;
    }
    const TxCoords& t = mfeats[m].txcoords[facedir_to_index(fx, fy, fz)];
    const float corner_tx[4][2] = {{t.x, t.y + t.h}, {t.x + t.w, t.y + t.h}, {t.x + t.w, t.y}, {t.x, t.y}};
    V3i dir = {fx, fy, fz};
    V3f offsets[4];
    get_face_corner_offsets(&dir, offsets);
    float brightness = face_brightness(g, px, py, pz, fx, fy, fz);
    for (int i = 0; i < FACE_VERTICES; i++) {
        int c = face_corners[i];
        p->vertex_list[i * 3 + 0] = (float)px + offsets[c].x;
        p->vertex_list[i * 3 + 1] = (float)py + offsets[c].y;
        p->vertex_list[i * 3 + 2] = ((float)pz + offsets[c].z) * 0.5f;
        p->color_list[i * 3 + 0] = brightness;
        p->color_list[i * 3 + 1] = brightness;
        p->color_list[i * 3 + 2] = brightness;
        p->txcoord_list[i * 2 + 0] = corner_tx[c][0];
        p->txcoord_list[i * 2 + 1] = corner_tx[c][1];
    }
    list_insert_head(list, p);
    return 0;
}

// The face between cell a (material ma, solidness sa) and its neighbour b one step along
// (dx, dy, dz): on the more solid of the two, pointing toward the other; none if equal.
inline int add_boundary(MeshPieceList* list, const CellGrid* g, int x, int y, int z, int ma, int dx,
                 int dy, int dz)
{
    int mb = grid_material(g, x + dx, y + dy, z + dz);
    int sa = mfeats[ma].solidness, sb = mfeats[mb].solidness;
    if (sb == -1)
        return 0;
    if (sb < sa)
        return add_face(list, ma, x, y, z, dx, dy, dz, g);
    if (sa < sb)
        return add_face(list, mb, x + dx, y + dy, z + dz, -dx, -dy, -dz, g);
    return 0;
}

inline int extract_faces(MeshPieceList* list, const CellGrid* g, const Area* gen)
{
    for (int z = gen->z - 1; z <= gen->z + gen->d - 1; z++)
        for (int x = gen->x - 1; x <= gen->x + gen->w - 1; x++)
            for (int y = gen->y - 1; y <= gen->y + gen->h - 1; y++) {
                int m = grid_material(g, x, y, z);
                if (mfeats[m].solidness == -1)
                    continue;
                if (mfeats[m].uses_custom_mesh) {
                    V3i p = {x, y, z};
                    MeshPiece* piece = get_custom_material_mesh(m, &p);
                    if (!piece)
                        return -1;
                    list_insert_head(list, piece);
                }
                if (add_boundary(list, g, x, y, z, m, 0, 0, 1) != 0 ||
                    add_boundary(list, g, x, y, z, m, 0, 1, 0) != 0 ||
                    add_boundary(list, g, x, y, z, m, 1, 0, 0) != 0)
                    return -1;
            }
    return 0;
}

// An empty or inverted generation area counts as not inside: it names no cells to mesh.
inline bool area_inside(const Area* inner, const Area* outer)
{
    if (inner->w <= 0 || inner->h <= 0 || inner->d <= 0)
        return false;
    return inner->x >= outer->x && inner->y >= outer->y && inner->z >= outer->z &&
           inner->x + inner->w <= outer->x + outer->w && inner->y + inner->h <= outer->y + outer->h &&
           inner->z + inner->d <= outer->z + outer->d;
}

// Concatenates the pieces, head first, into the emptied mesh: 0, or -1 with the mesh left empty.
inline int build_mesh(Mesh* mesh, const MeshPieceList* list)
{
    GLuint count = 0;
    for (const MeshPiece* p = list->lh_first; p; p = p->entries.le_next)
        count += p->vertex_count;
    MeshPiece all;  // only its lists are used; they pass to the mesh
    if (meshpiece_allocate(&all, count) != 0)
        return -1;
    size_t v = 0;
    for (const MeshPiece* p = list->lh_first; p; p = p->entries.le_next) {
        size_t n = p->vertex_count;
        std::memcpy(all.vertex_list + v * 3, p->vertex_list, n * 3 * sizeof(GLfloat));
        std::memcpy(all.color_list + v * 3, p->color_list, n * 3 * sizeof(GLfloat));
        std::memcpy(all.txcoord_list + v * 2, p->txcoord_list, n * 2 * sizeof(GLfloat));
        v += n;
    }
    mesh->vertex_count = (GLsizei)count;
    mesh->vertex_list = all.vertex_list;
    mesh->color_list = all.color_list;
    mesh->txcoord_list = all.txcoord_list;
    return 0;
}


inline int genmesh_pieces(VoxelData* vd, const Area* gen_area, Mesh* mesh)
{
    if (!area_inside(gen_area, &vd->area)) {
        std::fprintf(stderr, "ERROR: genmesh: data area too small\n");
        return -1;
    }
    CellGrid grid;
    area_set_xyzwhd(&grid.area, gen_area->x - 1, gen_area->y - 1, gen_area->z - 1, gen_area->w + 2,
                    gen_area->h + 2, gen_area->d + 2);
    grid.data = static_cast<int*>(std::malloc((size_t)area_size(&grid.area) * sizeof(int)));
    if (!grid.data) {
        std::fprintf(stderr, "ERROR: genmesh: out of memory\n");
        return -1;
    }
    fill_grid(&grid, vd);

    MeshPieceList pieces;
    list_init(&pieces);
    int result = extract_faces(&pieces, &grid, gen_area);
    if (result == 0) {
        mesh_free(mesh);
        result = build_mesh(mesh, &pieces);
    }
    free_pieces(&pieces);
    std::free(grid.data);
    return result;
}

}  // namespace genmesh_reference
