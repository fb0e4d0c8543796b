// The world's cell array and the conversions between voxel and view space.
// View space is voxel space with z halved: a voxel is 1 x 1 x 0.5 view units.
#pragma once

#include "types.h"

// One cell; material numbers are defined with the material table.
struct Voxel {
    u8 material;
};

struct VoxelData {
    Voxel* data;  // area_size(area) cells, x slowest and z fastest; owned; null when empty
    Area area;    // the box the array covers
};

// Empties the record: no array, a zero area.
void voxeldata_init(VoxelData* vd);
// Releases the array, leaving the record as voxeldata_init does.
void voxeldata_free(VoxelData* vd);
// Allocates the cells of `area` (contents undefined) into an empty record: 0, or -1 with `vd` unchanged.
s32 voxeldata_allocate(VoxelData* vd, const Area* area);
// The cell at `p`, or null outside the area.
Voxel* voxeldata_get(VoxelData* vd, const V3i* p);
// The material at `p`, or 0 (nothing) outside the area. Inline: the route search asks it for
// nearly every step it weighs.
inline u8 voxeldata_get_material(const VoxelData* vd, const V3i* p)
{
    if (!vd->data || !area_contains(&vd->area, p))
        return 0;
    return vd->data[area_index(&vd->area, p)].material;
}

// v.z halved in place.
void scale_to_view_f(V3f* v);
// v.z doubled in place.
void scale_from_view_f(V3f* v);
// A voxel point as a view point.
void scale_to_view(const V3i* from, V3f* to);
// The voxel whose centre is nearest to a view point (halfway cases go to the even cell).
void scale_from_view(const V3f* from, V3i* to);
