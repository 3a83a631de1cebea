// In a real offscreen GL context: projecting scene points to window pixels,
// the terrain textures as GL holds them, and the overlay put over the scene.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "render/image_loader.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "render/projection.h"
#include "tests/support/gl_context.h"
#include "world/world_arrays.h"

namespace {

class GlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(open_test_gl_context()) << "no offscreen GL context";
        ASSERT_TRUE(alloc_world());
        ASSERT_TRUE(alloc_image_table());
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override {
        glDeleteTextures(texture_name_count, texture_names);
        std::memset(texture_names, 0, sizeof texture_names);
        free_world();
    }

    const float* projected() { return mesh_vertices[max_vertices - 1].screen; }

    void set_picture(int slot, int width, int height) {
        clear_image_slot(slot);
        Image& image = image_table[slot];
        image.pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * height * 3));
        for (int i = 0; i < width * height * 3; ++i) image.pixels[i] = static_cast<uint8_t>(i * 37 + slot);
        image.width = width;
        image.height = height;
        image.bytes_per_pixel = 3;
    }

    // The whole state the game sets before its first frame, as far as the
    // overlay depends on it.
    void set_scene_state() {
        glEnable(GL_TEXTURE_2D);
        glClearColor(0.0f, 0.0f, 1.0f, 0.5f);
        glClearDepth(1.0);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glColor3f(1.0f, 1.0f, 1.0f);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.1f);
        glEnable(GL_COLOR_MATERIAL);
    }
};

void expect_pixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
    ScreenPixel pixel = read_screen_pixel(x, y);
    EXPECT_EQ(pixel.red, red) << "at " << x << "," << y;
    EXPECT_EQ(pixel.green, green) << "at " << x << "," << y;
    EXPECT_EQ(pixel.blue, blue) << "at " << x << "," << y;
}

}  // namespace

TEST_F(GlTest, ProjectionUsesTheMatricesAndViewportOfTheMoment) {
    MeshVertex& scratch = mesh_vertices[max_vertices - 1];
    scratch.pos[0] = 7, scratch.pos[1] = 8, scratch.pos[2] = 9;

    // Flat projection, origin moved to (0.5, -0.25): window (480, 180), depth 0.5.
    glTranslatef(0.5f, -0.25f, 0.0f);
    project_point(0, 0, 0);
    EXPECT_FLOAT_EQ(projected()[0], 480.0f);
    EXPECT_FLOAT_EQ(projected()[1], 180.0f);
    EXPECT_FLOAT_EQ(projected()[2], 0.5f);
    // Only the result field of the scratch slot is written.
    EXPECT_EQ(scratch.pos[0], 7.0f);
    EXPECT_EQ(scratch.pos[2], 9.0f);

    // A smaller viewport at the moment of the call moves the result with it.
    glViewport(0, 0, 320, 240);
    project_point(0, 0, 0);
    EXPECT_FLOAT_EQ(projected()[0], 240.0f);
    EXPECT_FLOAT_EQ(projected()[1], 90.0f);
    glViewport(0, 0, 640, 480);
}

TEST_F(GlTest, ProjectingTheUnitOriginMatchesItsPositionInTheScene) {
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 4.0f / 3.0f, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0.0f, 0.0f, -10.0f);
    project_point(0, 0, 0);
    EXPECT_NEAR(projected()[0], 320.0f, 1e-3);
    EXPECT_NEAR(projected()[1], 240.0f, 1e-3);
    const float centre_depth = projected()[2];
    EXPECT_GT(centre_depth, 0.0f);
    EXPECT_LT(centre_depth, 1.0f);

    glRotatef(-30.0f, 1.0f, 0.0f, 0.0f);
    project_point(2.0f, 3.0f, 0.5f);
    const float scene[3] = {projected()[0], projected()[1], projected()[2]};
    glPushMatrix();
    glTranslatef(2.0f, 3.0f, 0.5f);
    project_point(0, 0, 0);
    glPopMatrix();
    EXPECT_NEAR(projected()[0], scene[0], 1e-2);
    EXPECT_NEAR(projected()[1], scene[1], 1e-2);
    EXPECT_NEAR(projected()[2], scene[2], 1e-5);
    EXPECT_GT(scene[0], 320.0f);

    // Behind the camera the perspective division mirrors the point.
    glLoadIdentity();
    project_point(1.0f, 0.0f, -5.0f);
    EXPECT_GT(projected()[0], 320.0f);
    project_point(1.0f, 0.0f, 5.0f);
    EXPECT_LT(projected()[0], 320.0f);
}

TEST_F(GlTest, UnprojectablePointStoresZeros) {
    float* screen = mesh_vertices[max_vertices - 1].screen;
    screen[0] = screen[1] = screen[2] = 5.0f;
    const GLdouble no_w[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(no_w);
    glMatrixMode(GL_MODELVIEW);
    project_point(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(screen[0], 0.0f);
    EXPECT_EQ(screen[1], 0.0f);
    EXPECT_EQ(screen[2], 0.0f);
}

TEST_F(GlTest, TerrainTexturesHoldTheirPictures) {
    set_picture(0, 4, 4);
    set_picture(1, 2, 2);  // rows of 6 bytes: packed, not padded to 8
    create_textures();

    std::set<uint32_t> names(texture_names, texture_names + texture_name_count);
    EXPECT_EQ(names.size(), static_cast<size_t>(texture_name_count));
    EXPECT_EQ(names.count(0u), 0u);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<uint32_t>(bound), texture_names[1]);

    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int entry = 0; entry < 2; ++entry) {
        SCOPED_TRACE(::testing::Message() << "texture " << entry);
        const Image& image = image_table[entry];
        glBindTexture(GL_TEXTURE_2D, texture_names[entry]);
        GLint width = 0, height = 0, min_filter = 0, mag_filter = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
        EXPECT_EQ(width, image.width);
        EXPECT_EQ(height, image.width);
        EXPECT_EQ(min_filter, GL_NEAREST);
        EXPECT_EQ(mag_filter, GL_NEAREST);
        std::vector<uint8_t> read_back(static_cast<size_t>(image.width) * image.width * 3, 0);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, read_back.data());
        EXPECT_EQ(std::memcmp(read_back.data(), image.pixels, read_back.size()), 0);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlTest, TexturesOfEmptyOrShortPicturesStayWithinWhatExists) {
    // Slot 0 empty: the name has no image. Slot 1 wider than tall: only its
    // own rows are uploaded.
    set_picture(1, 4, 2);
    create_textures();
    GLint width = -1, height = -1;
    glBindTexture(GL_TEXTURE_2D, texture_names[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 0);
    glBindTexture(GL_TEXTURE_2D, texture_names[1]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlTest, OverlayCoversTheSceneWhereWrittenAndLeavesItElsewhere) {
    set_scene_state();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // A green quad close to the camera over the left half of the window.
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.0f, 1.0f, 0.0f);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, -0.9f);
    glVertex3f(0.0f, -1.0f, -0.9f);
    glVertex3f(0.0f, 1.0f, -0.9f);
    glVertex3f(-1.0f, 1.0f, -0.9f);
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    expect_pixel(10, 20, 0, 255, 0);
    expect_pixel(600, 400, 0, 0, 255);

    // Whatever the scene's matrices, the overlay starts at the window's corner.
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 4.0f / 3.0f, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3.0f, 2.0f, -10.0f);

    clear_overlay();
    put_pixel(10, 20, 255, 0, 0);     // over the quad
    put_pixel(600, 400, 255, 255, 0); // over the cleared background
    put_pixel(0, 0, 255, 255, 255);
    put_pixel(639, 479, 255, 0, 255);
    present_overlay();

    expect_pixel(10, 20, 255, 0, 0);
    expect_pixel(11, 20, 0, 255, 0);
    expect_pixel(10, 21, 0, 255, 0);
    expect_pixel(600, 400, 255, 255, 0);
    expect_pixel(601, 400, 0, 0, 255);
    expect_pixel(0, 0, 255, 255, 255);
    expect_pixel(639, 479, 255, 0, 255);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlTest, EmptyOverlayShowsTheSceneAlone) {
    set_scene_state();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1.0f, 0.5f, 0.0f);
    glBegin(GL_TRIANGLES);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
    glEnable(GL_TEXTURE_2D);
    std::vector<uint8_t> before(640 * 480 * 4), after(640 * 480 * 4);
    read_screen(before.data());

    clear_overlay();
    begin_overlay_present();
    finish_overlay_present();
    read_screen(after.data());
    EXPECT_EQ(before, after);
}
