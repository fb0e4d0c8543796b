#include "render.h"

#include <array>
#include <cmath>
#include <cstring>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "camera.h"
#include "game.h"
#include "gl_context.h"
#include "mesh.h"
#include "shell.h"

namespace {

constexpr float PI_F = 3.1415927f;

class SpritePosTest : public ::testing::Test {
protected:
    void SetUp() override { v3f_set_xyz(&main_cam_pos, 0, 0, 0); }
};

TEST_F(SpritePosTest, SideViewQuadFacesTheCameraUprightAndCloser)
{
    V3f at = {10, 0, 0};
    V3f ps[4], cpdir, horiz, vert;
    float cam_yaw;
    bool side;
    get_sprite_pos(&at, 1.0f, 0, ps, &cpdir, &horiz, &vert, &cam_yaw, &side);
    EXPECT_TRUE(side);
    EXPECT_NEAR(cam_yaw, 0, 1e-6);
    EXPECT_NEAR(cpdir.x, 1, 1e-6);
    EXPECT_NEAR(horiz.y, 1, 1e-6) << "screen left";
    EXPECT_NEAR(vert.z, -1, 1e-6) << "screen down";
    float closer = 1 / 1.75f;
    float scale = 0.5f * (10 - closer) / 10;
    // Lower-left, lower-right, upper-right, upper-left as the camera sees them.
    const float expect[4][2] = {{scale, -scale}, {-scale, -scale}, {-scale, scale}, {scale, scale}};
    for (int i = 0; i < 4; i++) {
        EXPECT_NEAR(ps[i].x, 10 - closer, 1e-5) << i;
        EXPECT_NEAR(ps[i].y, expect[i][0], 1e-5) << i;
        EXPECT_NEAR(ps[i].z, expect[i][1], 1e-5) << i;
    }
    // Its apparent size is that of a unit square at the object itself.
    float edge = v3f_distance(&ps[0], &ps[1]);
    EXPECT_NEAR(edge / (10 - closer), 1.0f / 10, 1e-6);

    get_sprite_pos(&at, 1.0f, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(SpritePosTest, SteepViewUsesTheAboveRowAndDrawsLower)
{
    v3f_set_xyz(&main_cam_pos, 0, 0, 10);
    V3f at = {1, 0, 0};  // voxel units; view z 0
    V3f ps[4], cpdir;
    bool side = true;
    get_sprite_pos(&at, 1.0f, 0.1f, ps, &cpdir, nullptr, nullptr, nullptr, &side);
    EXPECT_FALSE(side);
    V3f centre = {0, 0, 0};
    for (const V3f& p : ps)
        v3f_add(&centre, &p);
    v3f_mul(&centre, 0.25f);
    float closer = 1 / 1.75f + 0.1f;
    EXPECT_NEAR(centre.x, 1 - closer * cpdir.x, 1e-5);
    EXPECT_NEAR(centre.z, -0.175f - closer * cpdir.z, 1e-5);

    // Just above the -0.45 slope the side row applies.
    v3f_set_xyz(&main_cam_pos, 0, 0, 0.4f);
    get_sprite_pos(&at, 1.0f, 0, nullptr, &cpdir, nullptr, nullptr, nullptr, &side);
    EXPECT_GT(cpdir.z, -0.45f);
    EXPECT_TRUE(side);
}

TEST(SpriteSectorTest, HalfOpenColumnsAroundEachEighthTurn)
{
    EXPECT_EQ(sprite_sector(0, 0), 0);
    EXPECT_EQ(sprite_sector(PI_F / 8, 0), 1);
    EXPECT_EQ(sprite_sector(std::nextafter(PI_F / 8, 0.0f), 0), 0);
    EXPECT_EQ(sprite_sector(-PI_F / 8, 0), 0);
    EXPECT_EQ(sprite_sector(std::nextafter(-PI_F / 8, -1.0f), 0), 7);
    EXPECT_EQ(sprite_sector(PI_F / 2, 0), 2);
    EXPECT_EQ(sprite_sector(PI_F, 0), 4);
    EXPECT_EQ(sprite_sector(-PI_F, 0), 4);
    EXPECT_EQ(sprite_sector(-7 * (PI_F / 8), 0), 5);
    EXPECT_EQ(sprite_sector(-PI_F / 2, 0), 6);
    // Relative to the ray, and wrapped.
    EXPECT_EQ(sprite_sector(1.0f, 1.0f), 0);
    EXPECT_EQ(sprite_sector(3 * PI_F / 2, 0), 6);
    EXPECT_EQ(sprite_sector(-3.0f, 0.5f), 4);
}

TEST(SceneTest, WideWindowsGetANarrowerVerticalAngle)
{
    EXPECT_EQ(scene_field_of_view(800, 600), 60.0);
    EXPECT_EQ(scene_field_of_view(600, 800), 60.0);
    EXPECT_NEAR(scene_field_of_view(1600, 900), 51.96, 0.01);
}

class DrawGameTest : public GlContextTest {
protected:
    void SetUp() override
    {
        GlContextTest::SetUp();
        main_screen = SDL_GetVideoSurface();
        ASSERT_NE(main_screen, nullptr);
        glViewport(0, 0, main_screen->w, main_screen->h);
        glGenTextures(2, main_entity_textures);
        solid_texture(main_entity_textures[0], 255, 0, 0);
        solid_texture(main_entity_textures[1], 0, 0, 255);
        glGenTextures(1, &main_misc_texture);
        solid_texture(main_misc_texture, 255, 255, 255);
        mesh_init(&main_voxel_mesh);
        std::memset(&main_gameenv, 0, sizeof main_gameenv);
        v3f_set_xyz(&main_cam_pos, 0, 0, 1);
        main_cam_pitch = 0;
        main_cam_yaw = 0;
        pointedthing_init(&main_pointed_thing);
        std::memset(&unit, 0, sizeof unit);
        entity_init(&unit);
        v3f_set_xyz(&unit.pf, 5, 0, 2);  // view (5, 0, 1): straight ahead
        gameenv_add_entity(&main_gameenv, &unit);

        glDisable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glAlphaFunc(GL_GREATER, 0.5f);
        glEnable(GL_ALPHA_TEST);
    }
    void TearDown() override
    {
        list_init(&main_gameenv.entities);
        occupancy_free(&main_gameenv.occupancy);
        glDeleteTextures(2, main_entity_textures);
        glDeleteTextures(1, &main_misc_texture);
        main_screen = nullptr;
    }
    static void solid_texture(GLuint name, GLubyte r, GLubyte g, GLubyte b)
    {
        GLubyte pixels[4 * 4 * 4];
        for (int i = 0; i < 16; i++) {
            pixels[i * 4] = r;
            pixels[i * 4 + 1] = g;
            pixels[i * 4 + 2] = b;
            pixels[i * 4 + 3] = 255;
        }
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    }
    std::array<GLubyte, 4> centre_pixel()
    {
        std::array<GLubyte, 4> px{};
        glReadPixels(main_screen->w / 2, main_screen->h / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    }
    Entity unit;
};

TEST_F(DrawGameTest, UnitsAreTintedSpritesInTheirPartyColoursWrecksInTheFirst)
{
    draw_game();
    auto px = centre_pixel();
    EXPECT_NEAR(px[0], 200, 3) << "party 0's red texture under the 0.784 tint";
    EXPECT_EQ(px[2], 0);

    unit.party = 1;
    draw_game();
    px = centre_pixel();
    EXPECT_EQ(px[0], 0);
    EXPECT_NEAR(px[2], 200, 3);

    unit.party = -1;
    draw_game();
    px = centre_pixel();
    EXPECT_NEAR(px[0], 200, 3);

    unit.party = 2;  // belongs to no pass
    draw_game();
    px = centre_pixel();
    EXPECT_NEAR(px[0], 26, 2) << "only the clear colour";

    GLfloat width;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
}

TEST_F(DrawGameTest, SelectionMarkerIsWhiteAndThePointedMarkerGreenOrRed)
{
    unit.selected = true;
    draw_game();
    auto px = centre_pixel();
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 255);

    unit.selected = false;
    main_pointed_thing.type = PTT_ENTITY;
    main_pointed_thing.entity.entity = &unit;
    main_pointed_thing.entity.uid = unit.uid;
    main_select_is_attack = false;
    draw_game();
    px = centre_pixel();
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);

    main_select_is_attack = true;
    draw_game();
    px = centre_pixel();
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
    main_select_is_attack = false;

    // A pointed entity the world has removed is neither drawn nor dereferenced.
    gameenv_remove_entity(&main_gameenv, &unit);
    draw_game();
    EXPECT_EQ(main_pointed_thing.type, PTT_NOTHING);
    gameenv_add_entity(&main_gameenv, &unit);
}

}  // namespace
