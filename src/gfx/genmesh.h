// The terrain mesher: turns voxels into one textured, flat-shaded triangle mesh.
#pragma once

#include "mesh.h"
#include "types.h"
#include "voxel.h"

// Replaces `mesh` with the faces of gen_area (which must lie inside vd's area) and the
// custom meshes of its cells: 0, or -1 on failure (an error line for a bad area or when
// the cell copy cannot be allocated). On success the buffers are gone and the texture is 0.
int genmesh(VoxelData* vd, const Area* gen_area, Mesh* mesh);
// The four corner offsets (+-0.5 around the cell centre, counter-clockwise seen from
// outside) of the face pointing along the unit axis `dir`; other directions are left unset.
void get_face_corner_offsets(const V3i* dir, V3f* vertex_dirs);
