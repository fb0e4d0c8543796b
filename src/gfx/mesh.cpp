#include "mesh.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "glmisc.h"

namespace {

bool have_buffer_creation()
{
    return glproc::glGenBuffersARB && glproc::glBindBufferARB && glproc::glBufferDataARB;
}

// Deletes each set buffer of the mesh; without the delete entry point the fields stay as they are.
void delete_vbo(Mesh* mesh)
{
    if (!glproc::glDeleteBuffersARB)
        return;
    GLuint* fields[] = {&mesh->vertex_vbo, &mesh->color_vbo, &mesh->txcoord_vbo};
    for (GLuint* field : fields) {
        if (*field != MESH_NO_HANDLE)
            glproc::glDeleteBuffersARB(1, field);
        *field = MESH_NO_HANDLE;
    }
}

// An uninitialised list of `count` floats; never a zero-byte request, whose result may be null.
GLfloat* alloc_floats(size_t count)
{
    return static_cast<GLfloat*>(std::malloc((count ? count : 1) * sizeof(GLfloat)));
}

void upload(GLuint* vbo, const GLfloat* list, GLsizeiptrARB bytes)
{
    if (!list)
        return;
    glproc::glGenBuffersARB(1, vbo);
    glproc::glBindBufferARB(GL_ARRAY_BUFFER_ARB, *vbo);
    glproc::glBufferDataARB(GL_ARRAY_BUFFER_ARB, bytes, list, GL_STATIC_DRAW_ARB);
    glproc::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

// The pointer setter of one client array (glVertexPointer and the like).
typedef void (*ArrayPointerFn)(GLint size, GLenum type, GLsizei stride, const void* pointer);

void point_array(ArrayPointerFn set_pointer, GLint size, GLuint vbo, const GLfloat* list)
{
    if (vbo != MESH_NO_HANDLE) {
        glproc::glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
        set_pointer(size, GL_FLOAT, 0, nullptr);
        glproc::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    } else if (list) {
        set_pointer(size, GL_FLOAT, 0, list);
    }
}

void color_pointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    glColorPointer(size, type, stride, pointer);
}

void vertex_pointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    glVertexPointer(size, type, stride, pointer);
}

void txcoord_pointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    glTexCoordPointer(size, type, stride, pointer);
}

// Frees three owned lists and clears the pointers to them.
void free_lists(GLfloat** vertices, GLfloat** colors, GLfloat** txcoords)
{
    for (GLfloat** list : {vertices, colors, txcoords}) {
        std::free(*list);
        *list = nullptr;
    }
}

bool has_vertices(const Mesh* m)
{
    return m->vertex_vbo != MESH_NO_HANDLE || m->vertex_list;
}

bool has_colors(const Mesh* m)
{
    return m->color_vbo != MESH_NO_HANDLE || m->color_list;
}

bool has_txcoords(const Mesh* m)
{
    return m->txcoord_vbo != MESH_NO_HANDLE || m->txcoord_list;
}

}  // namespace

void mesh_init(Mesh* mesh)
{
    mesh->texture_handle = MESH_NO_HANDLE;
    mesh->vertex_count = 0;
    mesh->vertex_list = nullptr;
    mesh->color_list = nullptr;
    mesh->txcoord_list = nullptr;
    mesh->vertex_vbo = MESH_NO_HANDLE;
    mesh->color_vbo = MESH_NO_HANDLE;
    mesh->txcoord_vbo = MESH_NO_HANDLE;
}

void mesh_free(Mesh* mesh)
{
    mesh->texture_handle = 0;
    free_lists(&mesh->vertex_list, &mesh->color_list, &mesh->txcoord_list);
    // The count goes with the lists, so a freed mesh never draws from missing arrays.
    mesh->vertex_count = 0;
    delete_vbo(mesh);
}

void mesh_create_vbo(Mesh* mesh)
{
    std::printf("creating mesh vbo\n");
    delete_vbo(mesh);
    if (!have_buffer_creation())
        return;
    GLsizeiptrARB n = mesh->vertex_count;
    upload(&mesh->vertex_vbo, mesh->vertex_list, n * 12);
    upload(&mesh->color_vbo, mesh->color_list, n * 12);
    upload(&mesh->txcoord_vbo, mesh->txcoord_list, n * 8);
}

void mesh_delete_vbo(Mesh* mesh)
{
    std::printf("deleting mesh vbo\n");
    delete_vbo(mesh);
}

void draw_mesh_core(Mesh* mesh)
{
    if (have_buffer_creation() && mesh->vertex_vbo == MESH_NO_HANDLE &&
        mesh->color_vbo == MESH_NO_HANDLE && mesh->txcoord_vbo == MESH_NO_HANDLE)
        mesh_create_vbo(mesh);
    point_array(vertex_pointer, 3, mesh->vertex_vbo, mesh->vertex_list);
    point_array(color_pointer, 3, mesh->color_vbo, mesh->color_list);
    point_array(txcoord_pointer, 2, mesh->txcoord_vbo, mesh->txcoord_list);
    glDrawArrays(GL_TRIANGLES, 0, mesh->vertex_count);
}

void draw_mesh_full(Mesh* mesh)
{
    if (has_vertices(mesh))
        glEnableClientState(GL_VERTEX_ARRAY);
    if (has_colors(mesh))
        glEnableClientState(GL_COLOR_ARRAY);
    if (has_txcoords(mesh))
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    bool textured = mesh->texture_handle != MESH_NO_HANDLE;
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, mesh->texture_handle);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    draw_mesh_core(mesh);
    if (textured)
        glDisable(GL_TEXTURE_2D);
    if (has_vertices(mesh))
        glDisableClientState(GL_VERTEX_ARRAY);
    if (has_colors(mesh))
        glDisableClientState(GL_COLOR_ARRAY);
    if (has_txcoords(mesh))
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void meshpiece_init(MeshPiece* p)
{
    p->vertex_count = 0;
    p->vertex_list = nullptr;
    p->color_list = nullptr;
    p->txcoord_list = nullptr;
}

s32 meshpiece_allocate(MeshPiece* p, GLuint vertex_count)
{
    meshpiece_init(p);
    size_t n = vertex_count;
    p->vertex_list = alloc_floats(n * 3);
    if (p->vertex_list)
        p->color_list = alloc_floats(n * 3);
    if (p->color_list)
        p->txcoord_list = alloc_floats(n * 2);
    if (!p->txcoord_list) {
        meshpiece_free(p);
        return -1;
    }
    p->vertex_count = vertex_count;
    return 0;
}

void meshpiece_free(MeshPiece* p)
{
    p->vertex_count = 0;
    free_lists(&p->vertex_list, &p->color_list, &p->txcoord_list);
}
