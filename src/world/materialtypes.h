// Material numbers stored in each voxel and the record of what a material looks
// like and how it behaves when the terrain is meshed.
#pragma once

#include "types.h"

// Materials 0..2 are empty for occupation and pointing; every greater number fills its cell.
enum {
    MATERIAL_NONE = 0,     // what a lookup outside the voxel data yields; never stored
    MATERIAL_OUTSIDE = 1,  // filler beyond the voxel data while meshing; never stored
    MATERIAL_AIR = 2,
    MATERIAL_DIRT = 3,     // in the table, not placed by the map generator
    MATERIAL_GRASS = 4,    // the top voxel of a land column
    MATERIAL_STONE = 5,    // ground below the top voxel
    MATERIAL_SAND = 6,     // ground at and just above the water level
    MATERIAL_WATER = 7,
    MATERIAL_TREE = 8,     // stands on grass, drawn with its own crossed quads
};

// Number of face directions of a voxel, and so of texture rectangles per material.
constexpr int MFEAT_FACE_COUNT = 6;

struct MFeat {
    TxCoords txcoords[MFEAT_FACE_COUNT];  // rectangle in the voxel texture per face index
    int solidness;          // faces go between cells of different solidness, on the more
                            // solid one; -1: no face next to this cell nor for it
    bool uses_custom_mesh;  // the mesher also asks get_custom_material_mesh for geometry
    bool shades_light;      // darkens the faces of cells below it
};
