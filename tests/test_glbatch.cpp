// The browser's fixed-function layer (src/gfx/web/) against Mesa: its matrices after the
// game's own call sequences, its quads split into triangles, and its lines and points widened
// into triangles, drawn here through Mesa and compared pixel by pixel with Mesa's own.
#include "glbatch.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "gl_context.h"
#include "glarrays.h"
#include "glmatrix.h"
#include "render.h"

namespace {

// Keeps what the layer hands on.
class CollectSink : public VertexSink {
public:
    BatchVertex* reserve(int n) override
    {
        vertices.resize(vertices.size() + n);
        return &vertices[vertices.size() - n];
    }
    std::vector<BatchVertex> vertices;
};

// A camera as the game keeps it, in a window of w x h pixels.
struct View {
    int w, h;
    V3f pos;
    float pitch, yaw;
};

const View VIEWS[] = {
    {800, 600, {31.5f, 14.9f, 19.2f}, -0.86393797f, 1.5707964f},  // a new game's first view
    {1280, 720, {3.0f, 60.0f, 2.0f}, 0.3f, -2.5f},                // wide window, looking up
    {640, 960, {-5.0f, -5.0f, 40.0f}, -1.5707f, 0.7f},            // tall window, straight down
    {64, 64, {10.0f, 10.0f, 3.0f}, -0.2f, 0.4f},
};

// The renderer's view set-up, as draw_game makes it, through Mesa's OpenGL and GLU.
void mesa_game_view(const View& v)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(scene_field_of_view(v.w, v.h), (double)v.w / v.h, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    V3f dir;
    get_camera_dir(v.pitch, v.yaw, &dir);
    gluLookAt(v.pos.x, v.pos.y, v.pos.z, v.pos.x + dir.x, v.pos.y + dir.y, v.pos.z + dir.z, 0, 0, 1);
}

// The same calls through the layer.
void layer_game_view(MatrixState* s, const View& v)
{
    matrices_mode(s, GL_PROJECTION);
    matrices_load_identity(s);
    matrices_perspective(s, scene_field_of_view(v.w, v.h), (double)v.w / v.h, 0.1, 1000.0);
    matrices_mode(s, GL_MODELVIEW);
    matrices_load_identity(s);
    V3f dir;
    get_camera_dir(v.pitch, v.yaw, &dir);
    matrices_look_at(s, v.pos.x, v.pos.y, v.pos.z, v.pos.x + dir.x, v.pos.y + dir.y, v.pos.z + dir.z,
                     0, 0, 1);
}

void mesa_overlay_view(int w, int h)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void layer_overlay_view(MatrixState* s, int w, int h)
{
    matrices_mode(s, GL_PROJECTION);
    matrices_load_identity(s);
    matrices_ortho(s, 0, w, 0, h, -1, 1);
    matrices_mode(s, GL_MODELVIEW);
    matrices_load_identity(s);
}

void expect_matrix_near(const Mat4& layer, GLenum which, const char* what)
{
    float mesa[16];
    glGetFloatv(which, mesa);
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(layer.m[i], mesa[i], 2e-6f * std::fmax(1.0f, std::fabs(mesa[i])))
            << what << " element " << i;
}

class GlLayerMatrices : public GlContextTest {};

TEST_F(GlLayerMatrices, TheRenderersViewMatchesMesasGluPerspectiveAndGluLookAt)
{
    for (const View& v : VIEWS) {
        SCOPED_TRACE(testing::Message() << v.w << "x" << v.h << " yaw " << v.yaw);
        mesa_game_view(v);
        MatrixState s;
        matrices_init(&s);
        layer_game_view(&s, v);
        expect_matrix_near(s.projection, GL_PROJECTION_MATRIX, "projection");
        expect_matrix_near(s.modelview, GL_MODELVIEW_MATRIX, "model-view");
        // What the shader gets is the product, in OpenGL's order.
        Mat4 mvp;
        mat4_multiply(&mvp, &s.projection, &s.modelview);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(s.mvp.m[i], mvp.m[i]);
    }
}

TEST_F(GlLayerMatrices, TheOverlaysOrthoMatchesMesasAndResetsTheModelView)
{
    const int sizes[][2] = {{800, 600}, {64, 64}, {1023, 767}};
    for (const auto& size : sizes) {
        // Drawn after the world, so the model-view matrix holds the camera first.
        mesa_game_view(VIEWS[0]);
        mesa_overlay_view(size[0], size[1]);
        MatrixState s;
        matrices_init(&s);
        layer_game_view(&s, VIEWS[0]);
        layer_overlay_view(&s, size[0], size[1]);
        expect_matrix_near(s.projection, GL_PROJECTION_MATRIX, "projection");
        expect_matrix_near(s.modelview, GL_MODELVIEW_MATRIX, "model-view");
    }
    // A degenerate box is refused and changes nothing, as in OpenGL.
    MatrixState s;
    matrices_init(&s);
    EXPECT_FALSE(matrices_ortho(&s, 0, 0, 0, 10, -1, 1));
    EXPECT_EQ(s.projection.m[0], 1.0f);
    EXPECT_FALSE(matrices_mode(&s, GL_TEXTURE));
    EXPECT_EQ(s.mode, (GLenum)GL_MODELVIEW);
}

// Immediate mode with the identity matrices and a 64 x 64 viewport.
struct Immediate {
    Immediate()
    {
        immediate_init(&state);
        matrices_init(&matrices);
    }
    void vertex(float x, float y, float z = 0)
    {
        immediate_vertex(&state, x, y, z, &matrices, &viewport, &sink);
    }
    const std::vector<BatchVertex>& out() const { return sink.vertices; }

    ImmediateState state;
    MatrixState matrices;
    Viewport viewport = {0, 0, 64, 64};
    CollectSink sink;
};

TEST(GlLayerBatch, QuadsBecomeTrianglePairsInTheOrderTheTextIsDrawn)
{
    Immediate im;
    // Two glyphs as gui_draw_text emits them, the shadow colour set before glBegin.
    immediate_color_bytes(&im.state, 0, 0, 0, 255);
    ASSERT_TRUE(immediate_begin(&im.state, GL_QUADS));
    for (int glyph = 0; glyph < 2; glyph++) {
        float x = 10.0f * glyph;
        immediate_texcoord(&im.state, 0.1f * glyph, 0.5f);
        im.vertex(x, 0);
        immediate_texcoord(&im.state, 0.1f * glyph + 0.05f, 0.5f);
        im.vertex(x + 10, 0);
        immediate_texcoord(&im.state, 0.1f * glyph + 0.05f, 0.25f);
        im.vertex(x + 10, 16);
        immediate_texcoord(&im.state, 0.1f * glyph, 0.25f);
        im.vertex(x, 16);
        // The second glyph is white: a colour change between quads holds from the next vertex.
        immediate_color_bytes(&im.state, 255, 255, 255, 255);
    }
    immediate_end(&im.state);

    ASSERT_EQ(im.out().size(), 12u);
    // Each quad (a, b, c, d) is split along b-d like Mesa does: (a, b, d) and (b, c, d).
    const int corner[6] = {0, 1, 3, 1, 2, 3};
    const float xs[4] = {0, 10, 10, 0}, ys[4] = {0, 0, 16, 16};
    for (int glyph = 0; glyph < 2; glyph++) {
        for (int i = 0; i < 6; i++) {
            const BatchVertex& v = im.out()[glyph * 6 + i];
            int c = corner[i];
            EXPECT_EQ(v.x, xs[c] + 10 * glyph) << glyph << " " << i;
            EXPECT_EQ(v.y, ys[c]) << glyph << " " << i;
            EXPECT_FLOAT_EQ(v.s, 0.1f * glyph + (c == 1 || c == 2 ? 0.05f : 0)) << glyph << " " << i;
            EXPECT_EQ(v.t, c < 2 ? 0.5f : 0.25f) << glyph << " " << i;
            EXPECT_EQ(v.rgba[0], glyph ? 1.0f : 0.0f);
            EXPECT_EQ(v.rgba[3], 1.0f);
        }
    }
}

TEST(GlLayerBatch, ColoursAreKeptAsFloatsAndIncompletePrimitivesAreDropped)
{
    Immediate im;
    // The sprite tint stays exact; bytes are scaled as OpenGL scales them; out of range clamps.
    immediate_color(&im.state, 0.784f, 2.0f, -1.0f, 1.0f);
    EXPECT_EQ(im.state.current.rgba[0], 0.784f);
    EXPECT_EQ(im.state.current.rgba[1], 1.0f);
    EXPECT_EQ(im.state.current.rgba[2], 0.0f);
    immediate_color_bytes(&im.state, 100, 100, 100, 255);
    EXPECT_EQ(im.state.current.rgba[0], 100 / 255.0f);

    immediate_begin(&im.state, GL_QUADS);
    im.vertex(0, 0);
    im.vertex(1, 0);
    im.vertex(1, 1);
    immediate_end(&im.state);
    immediate_begin(&im.state, GL_TRIANGLES);
    im.vertex(0, 0);
    im.vertex(1, 0);
    im.vertex(1, 1);
    im.vertex(5, 5);
    immediate_end(&im.state);
    // The three quad corners left over do not start the triangles; the fourth triangle vertex
    // goes with its glEnd.
    ASSERT_EQ(im.out().size(), 3u);
    EXPECT_EQ(im.out()[0].x, 0);
    EXPECT_EQ(im.out()[2].y, 1);

    EXPECT_FALSE(immediate_begin(&im.state, GL_POLYGON));
    for (int i = 0; i < 6; i++)
        im.vertex(i, i);
    immediate_end(&im.state);
    im.vertex(1, 1);  // outside glBegin/glEnd
    EXPECT_EQ(im.out().size(), 3u);
}

TEST(GlLayerBatch, EachVertexIsTransformedAsItIsGivenSoAMatrixChangeNeverSpoilsTheBatch)
{
    Immediate im;
    immediate_begin(&im.state, GL_TRIANGLES);
    matrices_translate(&im.matrices, 2, 0, 0);
    im.vertex(0, 0);
    im.vertex(1, 0);
    im.vertex(1, 1);
    // A new matrix between primitives, as the game sets one per model: the triangle before
    // keeps the matrix it was given under.
    matrices_translate(&im.matrices, 0, 5, 0);
    im.vertex(0, 0);
    im.vertex(1, 0);
    im.vertex(1, 1);
    immediate_end(&im.state);
    ASSERT_EQ(im.out().size(), 6u);
    EXPECT_EQ(im.out()[0].x, 2);
    EXPECT_EQ(im.out()[0].y, 0);
    EXPECT_EQ(im.out()[3].x, 2);
    EXPECT_EQ(im.out()[3].y, 5);
    EXPECT_EQ(im.out()[5].y, 6);
    for (const BatchVertex& v : im.out())
        EXPECT_EQ(v.w, 1);
}

TEST(GlLayerBatch, ClientArraysInMemoryDrawAsImmediateModeAndKeepTheCurrentColour)
{
    // A model as draw_model_arrays draws it: positions and texture coordinates from arrays,
    // the colour current.
    const float vertices[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 3, 0, 0, 3, 1, 0, 2, 1, 0};
    const float txcoords[] = {0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1};
    ClientArrays arrays;
    arrays_init(&arrays);
    arrays_by_cap(&arrays, GL_VERTEX_ARRAY)->enabled = true;
    arrays_by_cap(&arrays, GL_TEXTURE_COORD_ARRAY)->enabled = true;
    ASSERT_TRUE(array_point(&arrays.vertex, 3, GL_FLOAT, 0, vertices, 0));
    ASSERT_TRUE(array_point(&arrays.texcoord, 2, GL_FLOAT, 0, txcoords, 0));
    EXPECT_EQ(arrays_place(&arrays), ARRAYS_IN_MEMORY);

    Immediate from_arrays, by_hand;
    for (Immediate* im : {&from_arrays, &by_hand})
        immediate_color(&im->state, 0.784f, 0.784f, 0.784f, 1);
    arrays_draw_from_memory(&arrays, GL_QUADS, 0, 8, &from_arrays.state, &from_arrays.matrices,
                            &from_arrays.viewport, &from_arrays.sink);
    immediate_begin(&by_hand.state, GL_QUADS);
    for (int i = 0; i < 8; i++) {
        immediate_texcoord(&by_hand.state, txcoords[i * 2], txcoords[i * 2 + 1]);
        by_hand.vertex(vertices[i * 3], vertices[i * 3 + 1], vertices[i * 3 + 2]);
    }
    immediate_end(&by_hand.state);
    ASSERT_EQ(from_arrays.out().size(), 12u);
    for (size_t i = 0; i < 12; i++) {
        const BatchVertex &a = from_arrays.out()[i], &b = by_hand.out()[i];
        EXPECT_TRUE(a.x == b.x && a.y == b.y && a.s == b.s && a.t == b.t && a.rgba[0] == b.rgba[0]) << i;
    }
    // The arrays' texture coordinates do not become the current ones.
    EXPECT_EQ(from_arrays.state.current.s, 0);

    // The axis cross: byte colours, four to a vertex, on lines.
    const float axis[] = {-0.5f, 0, 0, 0.5f, 0, 0};
    const unsigned char colors[] = {255, 0, 0, 255, 0, 51, 255, 255};
    arrays_init(&arrays);
    arrays.vertex.enabled = arrays.color.enabled = true;
    array_point(&arrays.vertex, 3, GL_FLOAT, 0, axis, 0);
    array_point(&arrays.color, 4, GL_UNSIGNED_BYTE, 0, colors, 0);
    Immediate lines;
    arrays_draw_from_memory(&arrays, GL_LINES, 0, 2, &lines.state, &lines.matrices, &lines.viewport,
                            &lines.sink);
    // Each end of the widened line keeps its own colour.
    ASSERT_EQ(lines.out().size(), 6u);
    for (const BatchVertex& v : lines.out()) {
        bool left = v.x < 0;
        EXPECT_NEAR(v.rgba[0], left ? 1.0f : 0.0f, 0.01f);
        EXPECT_NEAR(v.rgba[1], left ? 0.0f : 0.2f, 0.01f);
        EXPECT_NEAR(v.rgba[2], left ? 0.0f : 1.0f, 0.01f);
    }
    EXPECT_EQ(lines.state.current.rgba[1], 1.0f);
}

TEST(GlLayerBatch, APointerKeepsTheBufferBoundWhenItWasSet)
{
    // The terrain's pointers are set with its buffers bound, which are unbound before the draw:
    // the draw must still read them from the buffers.
    ClientArrays arrays;
    arrays_init(&arrays);
    arrays.vertex.enabled = arrays.color.enabled = arrays.texcoord.enabled = true;
    array_point(&arrays.vertex, 3, GL_FLOAT, 0, nullptr, 7);
    array_point(&arrays.color, 3, GL_FLOAT, 0, nullptr, 8);
    array_point(&arrays.texcoord, 2, GL_FLOAT, 0, nullptr, 9);
    EXPECT_EQ(arrays.vertex.buffer, 7u);
    EXPECT_EQ(arrays.texcoord.buffer, 9u);
    EXPECT_EQ(arrays_place(&arrays), ARRAYS_IN_BUFFERS);
    // Disabled arrays do not count; one array in memory makes the draw mixed.
    float c[3] = {1, 1, 1};
    array_point(&arrays.color, 3, GL_FLOAT, 0, c, 0);
    EXPECT_EQ(arrays_place(&arrays), ARRAYS_MIXED);
    arrays.color.enabled = false;
    EXPECT_EQ(arrays_place(&arrays), ARRAYS_IN_BUFFERS);
    arrays.vertex.enabled = arrays.texcoord.enabled = false;
    EXPECT_EQ(arrays_place(&arrays), ARRAYS_IN_MEMORY);
    // Formats the layer cannot read leave the array as it was.
    EXPECT_FALSE(array_point(&arrays.vertex, 3, GL_DOUBLE, 0, nullptr, 3));
    EXPECT_FALSE(array_point(&arrays.vertex, 5, GL_FLOAT, 0, nullptr, 3));
    EXPECT_EQ(arrays.vertex.buffer, 7u);
    EXPECT_EQ(array_step(&arrays.vertex), 12);
    EXPECT_EQ(arrays_by_cap(&arrays, GL_NORMAL_ARRAY), nullptr);
}

// One primitive list of a raster case: a mode, the line width or point size, the vertices
// and their colours.
struct Shape {
    GLenum mode;
    float width;
    std::vector<V3f> vertices;
    std::vector<V3f> colors;  // one per vertex, or empty for white
};

// A raster case: the shapes under the overlay's ortho (view null) or the renderer's camera.
struct RasterCase {
    const char* name;
    const View* view;
    std::vector<Shape> shapes;
};

const View NEAR_CAMERA = {64, 64, {0, 0, 1}, -0.3f, 0.2f};

// A voxel outline box as draw_voxel_outline gives its lines, around (x, y, z).
std::vector<V3f> box_lines(float x, float y, float z)
{
    float x0 = x - 0.52f, y0 = y - 0.52f, z0 = z - 0.27f, x1 = x + 0.52f, y1 = y + 0.52f, z1 = z + 0.27f;
    std::vector<V3f> v;
    for (float zz : {z0, z1}) {
        v.insert(v.end(), {{x0, y0, zz}, {x1, y0, zz}, {x1, y0, zz}, {x1, y1, zz}});
        v.insert(v.end(), {{x1, y1, zz}, {x0, y1, zz}, {x0, y1, zz}, {x0, y0, zz}});
    }
    for (float xx : {x0, x1})
        for (float yy : {y0, y1})
            v.insert(v.end(), {{xx, yy, z0}, {xx, yy, z1}});
    return v;
}

const RasterCase RASTER_CASES[] = {
    {"crosshair", nullptr, {{GL_LINES, 1, {{22, 32, 0}, {42, 32, 0}, {32, 22, 0}, {32, 42, 0}}, {}}}},
    {"slanted lines",
     nullptr,
     {{GL_LINES, 1, {{5.3f, 7.8f, 0}, {58.1f, 20.2f, 0}}, {}},
      {GL_LINES, 3, {{10.5f, 50.5f, 0}, {30.2f, 10.7f, 0}}, {}},
      {GL_LINES, 2.5f, {{40, 60, 0}, {62.7f, 41.2f, 0}}, {}},
      {GL_LINES, 9, {{3, 3, 0}, {40, 40, 0}}, {}},
      {GL_LINES, 5, {{50, 2.2f, 0}, {80, 30.3f, 0}}, {}}}},
    {"outline boxes",
     &NEAR_CAMERA,
     {{GL_LINES, 25, box_lines(0.9f, 0.1f, 0.2f), {}},
      {GL_LINES, 6.25f, box_lines(4, 1.5f, 0), {}},
      {GL_LINES, 25, box_lines(0.2f, -0.3f, 0.6f), {}}}},  // around the camera: cut at the near plane
    {"missiles and the axis cross",
     &NEAR_CAMERA,
     {{GL_LINES, 3.1f, {{5, -0.5f, 0.3f}, {5.2f, -0.4f, 0.3f}}, {}},
      {GL_LINES, 1, {{2, 0, 0}, {3, 0, 0}, {2, 0, 0}, {2, 1, 0}, {2, 0, 0}, {2, 0, 1}},
       {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 1}}}}},
    {"bullets",
     nullptr,
     {{GL_POINTS, 1, {{3.5f, 3.5f, 0}, {8.2f, 3.7f, 0}}, {}},
      {GL_POINTS, 2, {{12.5f, 4, 0}, {18.3f, 4.6f, 0}}, {}},
      {GL_POINTS, 2.5f, {{25, 5, 0}, {31.6f, 5.4f, 0}}, {}},
      {GL_POINTS, 1.5f, {{55.3f, 3.3f, 0}}, {}},
      {GL_POINTS, 3.5f, {{60.2f, 10.1f, 0}}, {}},
      {GL_POINTS, 3.7f, {{40.2f, 6.1f, 0}}, {}},
      {GL_POINTS, 8, {{10.5f, 20.5f, 0}, {30.3f, 21.9f, 0}}, {}},
      {GL_POINTS, 25, {{45.5f, 40.25f, 0}, {2, 60, 0}, {70, 40, 0}}, {}}}},
    {"bullets in the world", &NEAR_CAMERA, {{GL_POINTS, 5, {{4, 0.5f, 0.2f}, {-1, 0, 1}, {3, -0.5f, 0}}, {}}}},
    {"bent and shaded quads",
     &NEAR_CAMERA,
     {{GL_QUADS, 1, {{3, -1, -0.5f}, {3, 1, -0.2f}, {3.5f, 1, 0.8f}, {3, -1, 0.5f}},
       {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}}},
      {GL_QUADS, 1, {{5, -2, -1}, {5, -1, -1}, {5, -1, 0}, {5, -2, 0}}, {{1, 1, 0}, {0, 0, 0}, {0, 1, 1}, {1, 1, 1}}}}},
};

class GlLayerRaster : public GlContextTest {
protected:
    void SetUp() override
    {
        GlContextTest::SetUp();
        glViewport(0, 0, kWidth, kHeight);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_DEPTH_TEST);
        glShadeModel(GL_SMOOTH);
    }

    static std::vector<unsigned char> read_frame()
    {
        std::vector<unsigned char> px(kWidth * kHeight * 4);
        glFinish();
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    }

    static void clear()
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    static void color(const Shape& s, size_t i)
    {
        if (s.colors.empty())
            glColor3f(1, 1, 1);
        else
            glColor3f(s.colors[i].x, s.colors[i].y, s.colors[i].z);
    }

    // Mesa draws the shapes itself.
    static std::vector<unsigned char> draw_with_mesa(const RasterCase& c)
    {
        clear();
        if (c.view)
            mesa_game_view(*c.view);
        else
            mesa_overlay_view(kWidth, kHeight);
        for (const Shape& s : c.shapes) {
            glLineWidth(s.width);
            glPointSize(s.width);
            glBegin(s.mode);
            for (size_t i = 0; i < s.vertices.size(); i++) {
                color(s, i);
                glVertex3f(s.vertices[i].x, s.vertices[i].y, s.vertices[i].z);
            }
            glEnd();
        }
        glLineWidth(1);
        glPointSize(1);
        return read_frame();
    }

    // The layer turns the shapes into triangles in clip coordinates, which Mesa then draws under
    // the identity.
    static std::vector<unsigned char> draw_with_layer(const RasterCase& c)
    {
        MatrixState matrices;
        matrices_init(&matrices);
        if (c.view)
            layer_game_view(&matrices, *c.view);
        else
            layer_overlay_view(&matrices, kWidth, kHeight);
        ImmediateState state;
        immediate_init(&state);
        Viewport viewport = {0, 0, kWidth, kHeight};
        CollectSink sink;
        for (const Shape& s : c.shapes) {
            state.line_width = state.point_size = s.width;
            immediate_begin(&state, s.mode);
            for (size_t i = 0; i < s.vertices.size(); i++) {
                V3f k = s.colors.empty() ? V3f{1, 1, 1} : s.colors[i];
                immediate_color(&state, k.x, k.y, k.z, 1);
                immediate_vertex(&state, s.vertices[i].x, s.vertices[i].y, s.vertices[i].z, &matrices,
                                 &viewport, &sink);
            }
            immediate_end(&state);
        }

        // WebGL never clamps the colours it is given; Mesa must not either.
        typedef void (*ClampColorFn)(GLenum target, GLenum clamp);
        auto clamp_color = (ClampColorFn)SDL_GL_GetProcAddress("glClampColor");
        EXPECT_TRUE(clamp_color);
        if (clamp_color)
            clamp_color(GL_CLAMP_VERTEX_COLOR, GL_FALSE);
        clear();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glBegin(GL_TRIANGLES);
        for (const BatchVertex& v : sink.vertices) {
            glColor4fv(v.rgba);
            glVertex4f(v.x, v.y, v.z, v.w);
        }
        glEnd();
        if (clamp_color)
            clamp_color(GL_CLAMP_VERTEX_COLOR, GL_TRUE);
        return read_frame();
    }
};

// The pixels where the layer's drawing of a case may differ from Mesa's. A line's ends cover
// the pixels their centres reach rather than follow OpenGL's diamond rule (which a desktop
// driver need not follow either), so each end may gain or lose a pixel. A point is a square of
// its size around its own position on screen, not on the pixel grid as Mesa places it, so it
// may come out a pixel over in either direction: a row and a column gained, and lost, each.
// Triangles must match exactly. (Measured: at most one pixel in a case of lines, 64 of the
// 436 allowed for the overlay's points, 10 of 60 for the world's.)
int allowed_differences(const RasterCase& c)
{
    int allowed = 0;
    for (const Shape& s : c.shapes) {
        if (s.mode == GL_LINES)
            allowed += (int)(s.vertices.size() / 2) * 2;
        else if (s.mode == GL_POINTS)
            allowed += (int)s.vertices.size() * 4 * std::max(1, (int)std::ceil(s.width - 0.5f));
    }
    return allowed;
}

TEST_F(GlLayerRaster, LinesPointsAndQuadsCoverThePixelsMesaDraws)
{
    for (const RasterCase& c : RASTER_CASES) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> mesa = draw_with_mesa(c), layer = draw_with_layer(c);
        int drawn = 0, differing = 0;
        std::string where;
        for (int i = 0; i < kWidth * kHeight; i++) {
            int d = 0;
            for (int k = 0; k < 3; k++)
                d = std::max(d, std::abs(mesa[i * 4 + k] - layer[i * 4 + k]));
            if (mesa[i * 4] || mesa[i * 4 + 1] || mesa[i * 4 + 2])
                drawn++;
            if (d > 2) {
                differing++;
                if (differing <= 8)
                    where += " (" + std::to_string(i % kWidth) + "," + std::to_string(i / kWidth) + ")";
            }
        }
        EXPECT_GT(drawn, 20) << "the case draws something";
        EXPECT_LE(differing, allowed_differences(c)) << "of " << drawn << " drawn pixels, at" << where;
    }
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
