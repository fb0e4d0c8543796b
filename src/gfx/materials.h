// The material table, the face-direction index into it, and the custom meshes of
// materials that are not drawn as cubes (the tree).
#pragma once

#include "materialtypes.h"
#include "mesh.h"
#include "types.h"

namespace material_table {

// Rectangles are 1/1024 of the voxel atlas; cell c of the top row starts 1/1024 inside it.
constexpr TxCoords atlas_cell(int c)
{
    return {(64.0f * c + 1.0f) / 1024.0f, 1.0f / 1024.0f, 62.0f / 1024.0f, 62.0f / 1024.0f};
}

// The upper half of a cell, for faces half as tall as they are wide.
constexpr TxCoords atlas_half_cell(int c)
{
    TxCoords t = atlas_cell(c);
    t.h = 30.0f / 1024.0f;
    return t;
}

constexpr MFeat feat(TxCoords top, TxCoords bottom, TxCoords side, int solidness,
                     bool uses_custom_mesh, bool shades_light)
{
    return {{top, bottom, side, side, side, side}, solidness, uses_custom_mesh, shades_light};
}

constexpr MFeat cube(TxCoords all, int solidness, bool shades_light)
{
    return feat(all, all, all, solidness, false, shades_light);
}

}  // namespace material_table

// Features per material number; numbers 9..255 are all zero (solidness 0, no faces
// against air). Read only.
inline constexpr MFeat mfeats[256] = {
    material_table::cube(material_table::atlas_cell(1), 2, false),        // none
    material_table::cube(material_table::atlas_cell(1), -1, false),       // outside
    material_table::cube(material_table::atlas_cell(1), 0, false),        // air
    material_table::cube(material_table::atlas_half_cell(2), 2, true),    // dirt
    material_table::feat(material_table::atlas_cell(3), material_table::atlas_half_cell(2),
                         material_table::atlas_half_cell(2), 2, false, true),  // grass
    material_table::cube(material_table::atlas_cell(4), 2, true),         // stone
    material_table::cube(material_table::atlas_cell(5), 2, true),         // sand
    material_table::cube(material_table::atlas_cell(6), 2, true),         // water
    material_table::feat({0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, true, true),  // tree
};

// Face index of a unit face normal: 0 +z, 1 -z, 2 +x, 3 -x, 4 +y, 5 -y; 0 for anything else.
int facedir_to_index(int x, int y, int z);
// Whether material m (0..255) darkens the faces of cells below it.
int material_shades_light(int m);
// A new piece with material m's own geometry for the cell at p0 (view space), owned by
// the caller (meshpiece_free, then delete); null for materials without one or when out of memory.
MeshPiece* get_custom_material_mesh(int m, const V3i* p0);
