// Drawable triangle meshes (client arrays, uploaded to buffer objects on first draw
// when the driver has them) and the mesh pieces they are assembled from.
#pragma once

#include <GL/gl.h>

#include "list.h"
#include "types.h"

// Marks both "no texture" and "no buffer object"; 0 is a valid name here.
constexpr GLuint MESH_NO_HANDLE = 2000000000;

// Independent triangles; lists are std::malloc'ed and owned by the mesh, any may be null.
struct Mesh {
    GLuint texture_handle;  // texture bound while drawing, or MESH_NO_HANDLE
    GLsizei vertex_count;   // a multiple of 3
    GLfloat* vertex_list;   // x, y, z per vertex, view space
    GLfloat* color_list;    // r, g, b per vertex, 0..1
    GLfloat* txcoord_list;  // s, t per vertex
    GLuint vertex_vbo;      // buffer holding vertex_list, or MESH_NO_HANDLE
    GLuint color_vbo;       // buffer holding color_list, or MESH_NO_HANDLE
    GLuint txcoord_vbo;     // buffer holding txcoord_list, or MESH_NO_HANDLE
};

// A building block of a mesh while it is generated. Records are allocated with
// new (std::nothrow) and released with delete after meshpiece_free.
struct MeshPiece {
    ListEntry<MeshPiece> entries;  // membership in a MeshPieceList
    GLuint vertex_count;
    GLfloat* vertex_list;   // 3 floats per vertex; owned (std::malloc)
    GLfloat* color_list;    // 3 floats per vertex; owned
    GLfloat* txcoord_list;  // 2 floats per vertex; owned
};

typedef ListHead<MeshPiece> MeshPieceList;

// An empty mesh: no lists, no texture, no buffers.
void mesh_init(Mesh* mesh);
// Releases the lists and buffers; the texture becomes 0. The mesh can be filled again.
void mesh_free(Mesh* mesh);
// Prints "creating mesh vbo", drops old buffers and uploads each list into a new buffer
// when the driver has buffer objects; the lists are kept.
void mesh_create_vbo(Mesh* mesh);
// Prints "deleting mesh vbo" and drops the buffers, keeping the lists.
void mesh_delete_vbo(Mesh* mesh);
// Points the (already enabled) client arrays at the mesh and draws it, uploading on first use.
void draw_mesh_core(Mesh* mesh);
// Enables the arrays and texture the mesh has, draws it and restores the state.
void draw_mesh_full(Mesh* mesh);

// An empty piece: no vertices, no lists; its list links are left alone.
void meshpiece_init(MeshPiece* p);
// Allocates uninitialised lists for vertex_count vertices: 0, or -1 with the piece empty.
s32 meshpiece_allocate(MeshPiece* p, GLuint vertex_count);
// Releases the lists (not the record, and without unlinking it).
void meshpiece_free(MeshPiece* p);
