#include "voxel.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

void voxeldata_init(VoxelData* vd)
{
    vd->data = nullptr;
    area_set_xyzwhd(&vd->area, 0, 0, 0, 0, 0, 0);
}

void voxeldata_free(VoxelData* vd)
{
    std::free(vd->data);
    voxeldata_init(vd);
}

s32 voxeldata_allocate(VoxelData* vd, const Area* area)
{
    if (area->w <= 0 || area->h <= 0 || area->d <= 0)
        return -1;
    // Cell indexes are 32-bit: a box with more cells than that cannot be addressed.
    if ((long long)area->w * area->h * area->d > INT32_MAX)
        return -1;
    Voxel* data = static_cast<Voxel*>(std::malloc((size_t)area_size(area) * sizeof(Voxel)));
    if (!data)
        return -1;
    vd->data = data;
    vd->area = *area;
    return 0;
}

Voxel* voxeldata_get(VoxelData* vd, const V3i* p)
{
    if (!vd->data || !area_contains(&vd->area, p))
        return nullptr;
    return vd->data + area_index(&vd->area, p);
}

void scale_to_view_f(V3f* v)
{
    v->z = v->z * 0.5f;
}

void scale_from_view_f(V3f* v)
{
    v->z = v->z * 2.0f;
}

void scale_to_view(const V3i* from, V3f* to)
{
    to->x = (float)from->x;
    to->y = (float)from->y;
    to->z = (float)from->z * 0.5f;
}

void scale_from_view(const V3f* from, V3i* to)
{
    to->x = (s32)std::lrintf(from->x);
    to->y = (s32)std::lrintf(from->y);
    to->z = (s32)std::lrintf(from->z * 2.0f);
}
