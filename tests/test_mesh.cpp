#include "mesh.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "gl_context.h"
#include "glmisc.h"

namespace {

// Counting stand-ins for the buffer-object entry points, forwarding to the driver's when set.
struct BufferCalls {
    int gen, data, del;
    PFNGLGENBUFFERSARBPROC gen_fn;
    PFNGLBUFFERDATAARBPROC data_fn;
    PFNGLDELETEBUFFERSARBPROC del_fn;
} calls;

void APIENTRY counting_gen(GLsizei n, GLuint* names)
{
    calls.gen++;
    if (calls.gen_fn)
        calls.gen_fn(n, names);
}
void APIENTRY counting_data(GLenum target, GLsizeiptrARB size, const void* data, GLenum usage)
{
    calls.data++;
    if (calls.data_fn)
        calls.data_fn(target, size, data, usage);
}
void APIENTRY counting_delete(GLsizei n, const GLuint* names)
{
    calls.del += n;
    if (calls.del_fn)
        calls.del_fn(n, names);
}

void install_counters()
{
    calls = {0, 0, 0, glproc::glGenBuffersARB, glproc::glBufferDataARB, glproc::glDeleteBuffersARB};
    glproc::glGenBuffersARB = counting_gen;
    glproc::glBufferDataARB = counting_data;
    glproc::glDeleteBuffersARB = counting_delete;
}

void clear_entry_points()
{
    glproc::glGenBuffersARB = nullptr;
    glproc::glBindBufferARB = nullptr;
    glproc::glBufferDataARB = nullptr;
    glproc::glDeleteBuffersARB = nullptr;
}

// One triangle covering the whole viewport in the default projection, in one colour.
void fill_screen_triangle(Mesh* mesh, float r, float g, float b)
{
    const GLfloat corners[9] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};
    mesh->vertex_count = 3;
    mesh->vertex_list = static_cast<GLfloat*>(std::malloc(sizeof corners));
    mesh->color_list = static_cast<GLfloat*>(std::malloc(sizeof corners));
    mesh->txcoord_list = static_cast<GLfloat*>(std::calloc(6, sizeof(GLfloat)));
    for (int i = 0; i < 9; i++) {
        mesh->vertex_list[i] = corners[i];
        mesh->color_list[i] = i % 3 == 0 ? r : i % 3 == 1 ? g : b;
    }
}

TEST(Mesh, PiecesAllocateThreeListsAndFreeToEmpty)
{
    MeshPiece p;
    p.entries.le_next = &p;  // the list links are not the piece's to touch
    meshpiece_init(&p);
    ASSERT_EQ(meshpiece_allocate(&p, 6), 0);
    EXPECT_EQ(p.vertex_count, 6u);
    // 18, 18 and 12 floats: the sanitizer build catches a short list.
    for (int i = 0; i < 18; i++)
        p.vertex_list[i] = p.color_list[i] = p.txcoord_list[i % 12] = (float)i;
    meshpiece_free(&p);
    EXPECT_EQ(p.vertex_count, 0u);
    EXPECT_TRUE(!p.vertex_list && !p.color_list && !p.txcoord_list);
    EXPECT_EQ(p.entries.le_next, &p);
}

TEST(Mesh, FreeDeletesOnlyTheBuffersThatExist)
{
    clear_entry_points();
    install_counters();  // no context here: the stand-ins only count
    Mesh mesh;
    mesh_init(&mesh);
    EXPECT_EQ(mesh.texture_handle, MESH_NO_HANDLE);
    fill_screen_triangle(&mesh, 1, 0, 0);
    mesh_free(&mesh);
    EXPECT_EQ(calls.del, 0);
    EXPECT_EQ(mesh.texture_handle, 0u);
    EXPECT_TRUE(!mesh.vertex_list && !mesh.color_list && !mesh.txcoord_list);
    mesh.color_vbo = 7;
    mesh_free(&mesh);
    EXPECT_EQ(calls.del, 1);
    EXPECT_EQ(mesh.color_vbo, MESH_NO_HANDLE);
    // Without the delete entry point the buffer fields are left as they are.
    glproc::glDeleteBuffersARB = nullptr;
    mesh.vertex_vbo = 5;
    testing::internal::CaptureStdout();
    mesh_delete_vbo(&mesh);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "deleting mesh vbo\n");
    EXPECT_EQ(mesh.vertex_vbo, 5u);
    clear_entry_points();
}

class MeshGl : public GlContextTest {
protected:
    void SetUp() override
    {
        GlContextTest::SetUp();
        gl_load_extensions();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        mesh_init(&mesh);
    }
    void TearDown() override
    {
        mesh_free(&mesh);
        clear_entry_points();
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    }
    // Draws the mesh `frames` times and returns what was printed meanwhile.
    std::string draw(int frames = 1)
    {
        testing::internal::CaptureStdout();
        for (int i = 0; i < frames; i++)
            draw_mesh_full(&mesh);
        return testing::internal::GetCapturedStdout();
    }
    // The colour at the centre of the frame just drawn, 0..255 per channel.
    struct Rgb {
        unsigned char r, g, b;
    };
    static Rgb centre_pixel()
    {
        Rgb c;
        glFinish();
        glReadPixels(kWidth / 2, kHeight / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, &c);
        return c;
    }

    Mesh mesh;
};

TEST_F(MeshGl, FirstDrawUploadsOnceAndLaterDrawsReuseTheBuffers)
{
    ASSERT_TRUE(glproc::glGenBuffersARB && glproc::glBindBufferARB && glproc::glBufferDataARB &&
                glproc::glDeleteBuffersARB);
    // Looked up for us, not bound to the library's symbols of the same name.
    EXPECT_NE((void*)&glproc::glGenBuffersARB, (void*)glproc::glGenBuffersARB);
    EXPECT_TRUE(opengl_has_extension(std::string("GL_ARB_vertex_buffer_object").substr(0, 20).c_str()));
    EXPECT_FALSE(opengl_has_extension("GL_QUORVALE_no_such_extension"));

    install_counters();
    fill_screen_triangle(&mesh, 1, 0, 0);
    EXPECT_EQ(draw(), "creating mesh vbo\n");
    EXPECT_EQ(calls.gen, 3);
    EXPECT_EQ(calls.data, 3);
    EXPECT_TRUE(mesh.vertex_vbo != MESH_NO_HANDLE && mesh.color_vbo != MESH_NO_HANDLE &&
                mesh.txcoord_vbo != MESH_NO_HANDLE);
    EXPECT_EQ(centre_pixel().r, 255);

    // From now on the buffers are drawn, not the lists: a changed list is not seen.
    for (int i = 0; i < 3; i++)
        mesh.color_list[i * 3 + 1] = 1;
    EXPECT_EQ(draw(2), "");
    EXPECT_EQ(calls.gen, 3);
    EXPECT_EQ(calls.data, 3);
    EXPECT_EQ(centre_pixel().g, 0);

    // mesh_free drops the three buffers; a refilled mesh uploads afresh.
    mesh_free(&mesh);
    EXPECT_EQ(calls.del, 3);
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
    fill_screen_triangle(&mesh, 0, 0, 1);
    EXPECT_EQ(draw(), "creating mesh vbo\n");
    EXPECT_EQ(centre_pixel().b, 255);
}

TEST_F(MeshGl, WithoutEntryPointsEveryFrameDrawsFromClientMemory)
{
    clear_entry_points();
    fill_screen_triangle(&mesh, 1, 0, 0);
    for (int frame = 0; frame < 3; frame++) {
        float g = frame / 2.0f;
        for (int i = 0; i < 3; i++)
            mesh.color_list[i * 3 + 1] = g;
        EXPECT_EQ(draw(), "");
        Rgb c = centre_pixel();
        EXPECT_EQ(c.r, 255);
        EXPECT_NEAR(c.g, g * 255, 1) << "frame " << frame;
    }
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
}

TEST_F(MeshGl, EmptyMeshDrawsNothingAndTriesToUploadEachTime)
{
    EXPECT_EQ(draw(2), "creating mesh vbo\ncreating mesh vbo\n");
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
    Rgb c = centre_pixel();
    EXPECT_EQ(c.r + c.g + c.b, 0);
}

TEST_F(MeshGl, TexturedDrawFiltersNearestAndRestoresState)
{
    GLuint texture;
    const unsigned char white[4] = {255, 255, 255, 255};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glBindTexture(GL_TEXTURE_2D, 0);
    fill_screen_triangle(&mesh, 0, 1, 0);
    mesh.texture_handle = texture;
    draw();
    EXPECT_EQ(centre_pixel().g, 255);
    for (GLenum cap : {GL_TEXTURE_2D, GL_VERTEX_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
    GLint min_filter = 0, mag_filter = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
    EXPECT_EQ(min_filter, GL_NEAREST);
    EXPECT_EQ(mag_filter, GL_NEAREST);
    glDeleteTextures(1, &texture);
}

}  // namespace
