#include "mesh.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "gl_context.h"
#include "glmisc.h"

namespace {

// Counting stand-ins for the buffer-object entry points; they forward to the driver's
// functions when those were found.
struct BufferCalls {
    int gen = 0, bind = 0, data = 0, del = 0;
    PFNGLGENBUFFERSARBPROC real_gen = nullptr;
    PFNGLBINDBUFFERARBPROC real_bind = nullptr;
    PFNGLBUFFERDATAARBPROC real_data = nullptr;
    PFNGLDELETEBUFFERSARBPROC real_del = nullptr;
};
BufferCalls calls;

void APIENTRY counting_gen(GLsizei n, GLuint* names)
{
    calls.gen++;
    if (calls.real_gen)
        calls.real_gen(n, names);
}
void APIENTRY counting_bind(GLenum target, GLuint name)
{
    calls.bind++;
    if (calls.real_bind)
        calls.real_bind(target, name);
}
void APIENTRY counting_data(GLenum target, GLsizeiptrARB size, const void* data, GLenum usage)
{
    calls.data++;
    if (calls.real_data)
        calls.real_data(target, size, data, usage);
}
void APIENTRY counting_delete(GLsizei n, const GLuint* names)
{
    calls.del++;
    if (calls.real_del)
        calls.real_del(n, names);
}

// Puts the counting wrappers in front of whatever entry points are set now.
void install_counters()
{
    calls = BufferCalls{};
    calls.real_gen = glproc::glGenBuffersARB;
    calls.real_bind = glproc::glBindBufferARB;
    calls.real_data = glproc::glBufferDataARB;
    calls.real_del = glproc::glDeleteBuffersARB;
    glproc::glGenBuffersARB = counting_gen;
    glproc::glBindBufferARB = counting_bind;
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

// One triangle that covers the whole viewport in the default projection, in one colour.
void fill_screen_triangle(Mesh* mesh, float r, float g, float b)
{
    static const GLfloat corners[9] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};
    mesh->vertex_count = 3;
    mesh->vertex_list = static_cast<GLfloat*>(std::malloc(sizeof corners));
    mesh->color_list = static_cast<GLfloat*>(std::malloc(9 * sizeof(GLfloat)));
    mesh->txcoord_list = static_cast<GLfloat*>(std::calloc(6, sizeof(GLfloat)));
    std::memcpy(mesh->vertex_list, corners, sizeof corners);
    for (int i = 0; i < 3; i++) {
        mesh->color_list[i * 3] = r;
        mesh->color_list[i * 3 + 1] = g;
        mesh->color_list[i * 3 + 2] = b;
    }
}

TEST(Mesh, PiecesAllocateThreeListsAndFreeToEmpty)
{
    MeshPiece p;
    p.entries.le_next = &p;  // links must survive init and allocation untouched
    meshpiece_init(&p);
    EXPECT_EQ(p.entries.le_next, &p);
    ASSERT_EQ(meshpiece_allocate(&p, 6), 0);
    EXPECT_EQ(p.vertex_count, 6u);
    ASSERT_TRUE(p.vertex_list && p.color_list && p.txcoord_list);
    // Sized 18, 18 and 12 floats: the sanitizer build catches a short list.
    for (int i = 0; i < 18; i++)
        p.vertex_list[i] = p.color_list[i] = (float)i;
    for (int i = 0; i < 12; i++)
        p.txcoord_list[i] = (float)i;
    meshpiece_free(&p);
    EXPECT_EQ(p.vertex_count, 0u);
    EXPECT_EQ(p.vertex_list, nullptr);
    EXPECT_EQ(p.color_list, nullptr);
    EXPECT_EQ(p.txcoord_list, nullptr);
    EXPECT_EQ(p.entries.le_next, &p);
}

TEST(Mesh, FreeOnANeverDrawnMeshDeletesNoBuffer)
{
    install_counters();
    calls.real_del = nullptr;  // no context here: count only
    Mesh mesh;
    mesh_init(&mesh);
    EXPECT_EQ(mesh.texture_handle, MESH_NO_HANDLE);
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
    fill_screen_triangle(&mesh, 1, 0, 0);
    mesh_free(&mesh);
    EXPECT_EQ(calls.del, 0);
    EXPECT_EQ(mesh.texture_handle, 0u);
    EXPECT_EQ(mesh.vertex_list, nullptr);
    EXPECT_EQ(mesh.color_list, nullptr);
    EXPECT_EQ(mesh.txcoord_list, nullptr);
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
    clear_entry_points();
}

TEST(Mesh, WithoutDeleteEntryPointBufferFieldsAreLeftAlone)
{
    clear_entry_points();
    Mesh mesh;
    mesh_init(&mesh);
    mesh.vertex_vbo = 5;
    testing::internal::CaptureStdout();
    mesh_delete_vbo(&mesh);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "deleting mesh vbo\n");
    EXPECT_EQ(mesh.vertex_vbo, 5u);
    install_counters();
    calls.real_del = nullptr;
    mesh_free(&mesh);
    EXPECT_EQ(calls.del, 1);
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
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
    }

    // The colour at the centre of the frame just drawn, 0..255 per channel.
    static void centre_pixel(unsigned char rgb[3])
    {
        glFinish();
        glReadPixels(kWidth / 2, kHeight / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    }

    Mesh mesh;
};

TEST_F(MeshGl, DriverOffersBufferObjects)
{
    EXPECT_NE(glproc::glGenBuffersARB, nullptr);
    EXPECT_NE(glproc::glBindBufferARB, nullptr);
    EXPECT_NE(glproc::glBufferDataARB, nullptr);
    EXPECT_NE(glproc::glDeleteBuffersARB, nullptr);
    // The entry points are ours, not the library's symbols of the same name.
    EXPECT_NE((void*)&glproc::glGenBuffersARB, (void*)glproc::glGenBuffersARB);
    EXPECT_TRUE(opengl_has_extension("GL_ARB_vertex_buffer_object"));
    EXPECT_TRUE(opengl_has_extension(std::string("GL_ARB_vertex_buffer_object").substr(0, 20).c_str()));
    EXPECT_FALSE(opengl_has_extension("GL_QUORVALE_no_such_extension"));
}

TEST_F(MeshGl, FirstDrawUploadsOnceAndLaterDrawsReuseTheBuffers)
{
    ASSERT_NE(glproc::glGenBuffersARB, nullptr);
    install_counters();
    fill_screen_triangle(&mesh, 1, 0, 0);
    testing::internal::CaptureStdout();
    draw_mesh_full(&mesh);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "creating mesh vbo\n");
    EXPECT_EQ(calls.gen, 3);
    EXPECT_EQ(calls.data, 3);
    EXPECT_NE(mesh.vertex_vbo, MESH_NO_HANDLE);
    EXPECT_NE(mesh.color_vbo, MESH_NO_HANDLE);
    EXPECT_NE(mesh.txcoord_vbo, MESH_NO_HANDLE);
    unsigned char rgb[3];
    centre_pixel(rgb);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);

    // The buffers, not the client lists, are drawn from now on: a changed list is not seen.
    for (int i = 0; i < 3; i++)
        mesh.color_list[i * 3 + 1] = 1;
    testing::internal::CaptureStdout();
    draw_mesh_full(&mesh);
    draw_mesh_full(&mesh);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(calls.gen, 3);
    EXPECT_EQ(calls.data, 3);
    centre_pixel(rgb);
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);

    // After mesh_free the three buffers are gone and a refilled mesh uploads afresh.
    mesh_free(&mesh);
    EXPECT_EQ(calls.del, 3);
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
    fill_screen_triangle(&mesh, 0, 0, 1);
    testing::internal::CaptureStdout();
    draw_mesh_full(&mesh);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "creating mesh vbo\n");
    centre_pixel(rgb);
    EXPECT_EQ(rgb[2], 255);
}

TEST_F(MeshGl, WithoutEntryPointsEveryFrameDrawsFromClientMemory)
{
    clear_entry_points();
    fill_screen_triangle(&mesh, 1, 0, 0);
    testing::internal::CaptureStdout();
    unsigned char rgb[3];
    for (int frame = 0; frame < 3; frame++) {
        float g = frame / 2.0f;
        for (int i = 0; i < 3; i++)
            mesh.color_list[i * 3 + 1] = g;
        draw_mesh_full(&mesh);
        centre_pixel(rgb);
        EXPECT_EQ(rgb[0], 255);
        EXPECT_NEAR(rgb[1], g * 255, 1) << "frame " << frame;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(mesh.vertex_vbo, MESH_NO_HANDLE);
    EXPECT_EQ(mesh.color_vbo, MESH_NO_HANDLE);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(MeshGl, EmptyMeshDrawsNothingAndTriesToUploadEachTime)
{
    testing::internal::CaptureStdout();
    draw_mesh_full(&mesh);
    draw_mesh_full(&mesh);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "creating mesh vbo\ncreating mesh vbo\n");
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    unsigned char rgb[3];
    centre_pixel(rgb);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(MeshGl, TexturedDrawUsesNearestFilteringAndRestoresState)
{
    GLuint texture;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const unsigned char white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glBindTexture(GL_TEXTURE_2D, 0);
    fill_screen_triangle(&mesh, 0, 1, 0);
    mesh.texture_handle = texture;
    testing::internal::CaptureStdout();
    draw_mesh_full(&mesh);
    testing::internal::GetCapturedStdout();
    unsigned char rgb[3];
    centre_pixel(rgb);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    GLint min_filter = 0, mag_filter = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
    EXPECT_EQ(min_filter, GL_NEAREST);
    EXPECT_EQ(mag_filter, GL_NEAREST);
    glDeleteTextures(1, &texture);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
