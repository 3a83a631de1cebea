// In a real offscreen GL context: whole frames checked on the pixels they
// leave (text, marker, flags and bars over the scene), the pictures of one
// quad per pixel, culling, projection and the terrain textures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/input_state.h"
#include "game/frame.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "render/image_table.h"
#include "render/projection.h"
#include "render/world_drawing.h"
#include "tests/support/gl_context.h"
#include "tests/support/world_fixture.h"
#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

class GlFrame : public ::testing::Test {
protected:
    std::vector<uint8_t> screen = std::vector<uint8_t>(screen_width * screen_height * 4);
    void SetUp() override {
        headless_reset();
        std::memset(keys, 0, sizeof keys);
        std::memset(mouse_buttons, 0, sizeof mouse_buttons);
        mouse_x = 320;
        mouse_y = 240;
        window_active = 1;
        ASSERT_TRUE(open_window("VARNHOLD", 640, 480, 16, false));
    }
    void TearDown() override {
        close_window();
        headless_reset();
    }
    // A frame past the intro and every periodic rule, read back.
    void run_frame_at(int counter) {
        frame_counter = counter;
        ASSERT_TRUE(run_frame());
        read_screen(screen.data());
    }
    const uint8_t* at(int x, int y) const { return &screen[(y * screen_width + x) * 4]; }
    bool is(int x, int y, int red, int green, int blue) const {
        return at(x, y)[0] == red && at(x, y)[1] == green && at(x, y)[2] == blue;
    }
    // Where a scene point lands, through the matrices the frame left behind.
    static void landing(float x, float y, float z, int* px, int* py) {
        project_point(x, y, z);
        *px = static_cast<int>(mesh_vertices[max_vertices - 1].screen[0]);
        *py = static_cast<int>(mesh_vertices[max_vertices - 1].screen[1]);
    }
};

}  // namespace

TEST_F(GlFrame, StatusHelpAndTheCensusEndShowOnScreen) {
    for (int i = 2; i < max_units; ++i) unit_table[i].active = 0;  // no labels under the text
    map_sx = 40;
    map_sy = 27;
    run_frame_at(5000);
    EXPECT_EQ(text_at(screen.data(), 40, 380), "map_sx=40 map_sy=27");
    headless_set_key(vk_h, true);
    run_frame_at(5000);
    headless_set_key(vk_h, false);
    EXPECT_EQ(text_at(screen.data(), 40, 200), "M move window.");
    help_visible = 0;
    // Frame 31 counts the units: the end line shows in the same frame.
    unit_table[0].dead = 1;
    run_frame_at(30);
    EXPECT_EQ(text_at(screen.data(), 100, 260), "Press F1 to start a new game.");
    EXPECT_EQ(empire_1_won, 1);
}

TEST_F(GlFrame, MarkerFlagsAndBarsLandAroundTheirPoints) {
    for (int i = 2; i < max_units; ++i) unit_table[i].active = 0;
    const int slots[3] = {0, 1, 5}, flags[3][3] = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}};
    for (int i = 0; i < 3; ++i) {
        place_unit(slots[i], i, 30, 25 + 7 * i, 27);
        unit_table[slots[i]].hp = i == 1 ? 0.0f : 30.0f;
        unit_table[slots[i]].dead = i == 1;
    }
    mouse_x = 232;  // the tile five left and five down of the centre
    mouse_y = 306;
    run_frame_at(5000);
    int x, y;
    landing(0.5f, 0.5f, 0.1f, &x, &y);
    EXPECT_EQ(at(x, y)[1] + at(x, y)[2], 0);
    EXPECT_GT(at(x, y)[0], 20);
    landing(-1.5f, 0.5f, 0.0f, &x, &y);
    EXPECT_GT(at(x, y)[1] + at(x, y)[2], 0) << "only the cursor's tile is red";
    glTranslatef(5.0f, 5.0f, 0.0f);  // back from the marker's tile to the centre's
    for (int i = 0; i < 3; ++i) {
        const Unit& unit = unit_table[slots[i]];
        landing(unit.tile_x - 32 + 0.5f, unit.tile_y - 32 + 0.5f, unit_size / 2.0f, &x, &y);
        SCOPED_TRACE(::testing::Message() << "owner " << i << " at " << x << "," << y);
        for (int dy : {0, -10, -20}) EXPECT_TRUE(is(x - 10, y + dy, flags[i][0], flags[i][1], flags[i][2]));
        EXPECT_FALSE(is(x - 10, y + 1, flags[i][0], flags[i][1], flags[i][2]));
        EXPECT_FALSE(is(x - 10, y - 21, flags[i][0], flags[i][1], flags[i][2]));
        EXPECT_TRUE(is(x, y + 16, 0, i == 1 ? 0 : 255, 0) || is(x, y + 16, 255, 0, 0));
        EXPECT_TRUE(is(x + 14, y + 16, i == 1 ? 255 : 0, i == 1 ? 0 : 255, 0));
        EXPECT_FALSE(is(x + 15, y + 16, 0, 255, 0) || is(x + 15, y + 16, 255, 0, 0));
    }
}

TEST_F(GlFrame, OverlayCoversTheSceneWhereWrittenAndTheGroundShowsElsewhere) {
    run_frame_at(5000);
    int covered = 0, ground = 0;
    for (int y = 140; y < 240; ++y)
        for (int x = 0; x < screen_width; ++x) {
            const uint8_t* o = &overlay_pixels[(y * screen_width + x) * 4];
            if (o[3]) ++covered;
            if (o[3]) ASSERT_TRUE(is(x, y, o[0], o[1], o[2])) << x << "," << y;
            else if (x > 220 && x < 420) ground += at(x, y)[0] + at(x, y)[1] + at(x, y)[2] > 0;
        }
    EXPECT_GT(covered, 100);
    EXPECT_GT(ground, 19000);
}

TEST_F(GlFrame, PaceAndWindowDragComeFirst) {
    game_speed = 4;
    keys[vk_m] = 1;
    headless_set_cursor_screen(123, 45);
    run_frame_at(5000);
    EXPECT_EQ(headless_last_sleep_ms(), 18);
    EXPECT_EQ(headless_window_x(), 123);
    EXPECT_EQ(headless_window_y(), 45);
    game_speed = 1;
    keys[vk_m] = 0;
}

TEST_F(GlFrame, PicturesAreOneQuadPerPixelClippedToTheirRows) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    // Black but for the bottom-left pixel red and the top-right blue.
    const int slot = 2000;
    for (int height : {16, 4}) {
        clear_image_slot(slot);
        Image& image = image_table[slot];
        image.pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(16) * height, 3));
        image.width = 16;
        image.height = height;
        image.pixels[0] = 255;
        image.pixels[(16 * height - 1) * 3 + 2] = 255;
        for (bool standing : {false, true}) {
            glClear(GL_COLOR_BUFFER_BIT);
            glLoadIdentity();
            if (standing) glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
            standing ? draw_standing_sprite(slot, 1.6f) : draw_lying_sprite(slot, 1.6f);
            read_screen(screen.data());
            // Pixel (0, 0) spans -0.85 to -0.75: window x 48 to 80, y 36 to 60.
            EXPECT_TRUE(is(64, 48, 255, 0, 0) && is(50, 38, 255, 0, 0));
            EXPECT_TRUE(is(44, 48, 0, 0, 0) && is(84, 48, 0, 0, 0) && is(64, 32, 0, 0, 0));
            EXPECT_TRUE(is(544, height == 16 ? 408 : 120, 0, 0, 255)) << height;
        }
    }
    clear_image_slot(slot);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_lying_sprite(slot, 1.6f);
    draw_standing_sprite(-1, 1.6f);
    read_screen(screen.data());
    for (size_t i = 0; i < screen.size(); i += 4) ASSERT_EQ(screen[i] + screen[i + 1] + screen[i + 2], 0);
}

TEST_F(GlFrame, CullingReadsTheFirstCornerAndUnitsTheDiamondWithinTheirCaps) {
    const float firsts[4][3] = {{20.0f, 0, 0}, {19.99f, 0, 0}, {-10.0f, 5.0f, 4.9f}, {0, 0, 0}};
    for (int t = 0; t < 4; ++t) {
        std::memcpy(mesh_vertices[t].pos, firsts[t], sizeof firsts[t]);
        mesh_triangles[t].vertex[0] = t;
        mesh_triangles[t].vertex[1] = mesh_triangles[t].vertex[2] = t == 0 ? 3 : 0;
    }
    triangle_count = 4;
    cull_mesh();
    ASSERT_EQ(visible_triangle_count, 3);
    EXPECT_EQ(visible_triangles[0], 1u);
    for (int t = 0; t < 30005; ++t) mesh_triangles[t].vertex[0] = 3;
    triangle_count = 30005;
    cull_mesh();
    EXPECT_EQ(visible_triangle_count, 29999);
    for (int i = 0; i < max_units; ++i) place_unit(i, 2, 30, 0, 0).active = i != 7;
    place_unit(3, 2, 30, 42, 23);  // distance 19
    place_unit(4, 2, 30, 22, 42);  // distance 20
    place_unit(7, 2, 30, 32, 32).active = 0;  // listed; the unit pass skips it
    collect_visible_units();
    ASSERT_EQ(visible_unit_count, 2);
    EXPECT_EQ(visible_units[1], 7u);
    for (int i = 0; i < max_units; ++i) unit_table[i].tile_x = unit_table[i].tile_y = 32;
    collect_visible_units();
    EXPECT_EQ(visible_unit_count, 255);
}

TEST_F(GlFrame, ProjectionUsesTheMatricesAndViewportOfTheMoment) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.5f, -0.25f, 0.0f);
    const float* projected = mesh_vertices[max_vertices - 1].screen;
    for (int side : {640, 320}) {
        glViewport(0, 0, side, side * 3 / 4);
        project_point(0, 0, 0);
        EXPECT_FLOAT_EQ(projected[0], side * 0.75f);
        EXPECT_FLOAT_EQ(projected[1], side * 0.28125f);
        EXPECT_FLOAT_EQ(projected[2], 0.5f);
    }
    const GLdouble no_w[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(no_w);
    project_point(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(projected[0] + projected[1] + projected[2], 0.0f);
}

