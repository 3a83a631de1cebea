// Whole frames in a real offscreen GL context, checked on the pixels they
// leave: the text and bars over the scene, the tile marker, the pictures,
// and the culling and unit lists the drawing works from.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/input_state.h"
#include "game/commands.h"
#include "game/frame.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "render/world_drawing.h"
#include "tests/support/gl_context.h"
#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

constexpr int overlay_bytes = screen_width * screen_height * 4;

struct Pixel {
    int red, green, blue;
};

class Screen {
public:
    Screen() : rgba_(overlay_bytes) { read_screen(rgba_.data()); }
    Pixel at(int x, int y) const {
        const uint8_t* p = &rgba_[(static_cast<size_t>(y) * screen_width + x) * 4];
        return {p[0], p[1], p[2]};
    }
    bool is(int x, int y, int red, int green, int blue) const {
        Pixel p = at(x, y);
        return p.red == red && p.green == green && p.blue == blue;
    }

private:
    std::vector<uint8_t> rgba_;
};

// Where the large font puts ink for a text at (x, y): the game's own
// draw_text into an empty overlay; the frame's overlay is put back after.
std::vector<int> large_text_ink(int x, int y, const char* text) {
    std::vector<uint8_t> saved(overlay_pixels, overlay_pixels + overlay_bytes);
    clear_overlay();
    format_text("%s", text);
    draw_text(x, y, 255, 255, 255);
    std::vector<int> ink;
    for (int i = 0; i < screen_width * screen_height; ++i)
        if (overlay_pixels[i * 4 + 3] != 0) ink.push_back(i);
    std::memcpy(overlay_pixels, saved.data(), overlay_bytes);
    return ink;
}

// How many ink pixels of the text are not white on the screen.
int missing_white(const Screen& screen, int x, int y, const char* text, int* ink_count = nullptr) {
    std::vector<int> ink = large_text_ink(x, y, text);
    if (ink_count) *ink_count = static_cast<int>(ink.size());
    int missing = 0;
    for (int i : ink)
        if (!screen.is(i % screen_width, i / screen_width, 255, 255, 255)) ++missing;
    return missing;
}

void expect_white_text(const Screen& screen, int x, int y, const char* text) {
    int ink = 0;
    EXPECT_EQ(missing_white(screen, x, y, text, &ink), 0) << text;
    EXPECT_GT(ink, 20) << text;
}

void expect_no_text(const Screen& screen, int x, int y, const char* text) {
    EXPECT_GT(missing_white(screen, x, y, text), 10) << text;
}

bool overlay_transparent(int x, int y) { return overlay_pixels[(y * screen_width + x) * 4 + 3] == 0; }

// The scene transform of the frame, rebuilt here so that a test can tell
// where a point of the world lands on the screen.
void load_camera() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, camera_zoom);
    glRotatef(camera_pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera_yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(camera_spin, 0.0f, 0.0f, 0.5f);
}

void project(double x, double y, double z, double* wx, double* wy) {
    GLdouble model[16], projection[16], wz;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(x, y, z, model, projection, viewport, wx, wy, &wz);
}

// The overlay point of a unit, as the unit pass computes it.
void unit_screen_point(int index, int* px, int* py) {
    const Unit& unit = unit_table[index];
    load_camera();
    glTranslatef(static_cast<float>(unit.tile_x - map_sx) + 0.5f, static_cast<float>(unit.tile_y - map_sy) + 0.5f,
                 unit_size / 2.0f);
    double wx, wy;
    project(0, 0, 0, &wx, &wy);
    *px = static_cast<int>(wx);
    *py = static_cast<int>(wy);
}

// Only the listed slots stay on the map.
void keep_only_units(std::initializer_list<int> kept) {
    for (int i = 0; i < max_units; ++i) {
        bool keep = false;
        for (int k : kept) keep = keep || k == i;
        if (!keep) unit_table[i].active = 0;
    }
}

class GlFrame : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        std::memset(keys, 0, sizeof keys);
        std::memset(mouse_buttons, 0, sizeof mouse_buttons);
        mouse_x = 320;
        mouse_y = 240;
        window_active = 1;
        game_speed = 1;
        help_visible = 0;
        unit_size = unit_size_normal;
        ASSERT_TRUE(open_window("VARNHOLD", 640, 480, 16, false));
        resize_view(640, 480);
    }
    void TearDown() override {
        close_window();
        std::memset(keys, 0, sizeof keys);
        help_visible = 0;
    }
    // A frame late in the game: no intro picture, and no periodic rule.
    void run_quiet_frame() {
        frame_counter = 5000;
        ASSERT_TRUE(run_frame());
    }
};

}  // namespace

TEST_F(GlFrame, StatusLinesAreWhiteAtTheirPlaces) {
    map_sx = 40;
    map_sy = 27;
    mouse_x = 0;
    mouse_y = 480;
    run_quiet_frame();
    Screen screen;
    expect_white_text(screen, 40, 420, "VARNHOLDSKIRMISHBUILD0042B");
    expect_white_text(screen, 40, 400, "Press H for help.");
    expect_white_text(screen, 40, 380, "map_sx=40 map_sy=27");
    expect_white_text(screen, 40, 340, "map_ex=20 map_ey=7");
    expect_no_text(screen, 40, 380, "map_sx=32 map_sy=32");
    expect_no_text(screen, 40, 400, "F1 start new game.");
}

TEST_F(GlFrame, HPutsTheHelpInPlaceOfTheStatus) {
    headless_set_key(vk_h, true);
    run_quiet_frame();
    headless_set_key(vk_h, false);
    EXPECT_EQ(help_visible, 1);
    EXPECT_EQ(headless_last_sleep_ms(), 400);
    {
        Screen screen;
        expect_white_text(screen, 40, 420, "VARNHOLDSKIRMISHBUILD0042B HELP");
        expect_white_text(screen, 40, 400, "F1 start new game.");
        expect_white_text(screen, 40, 200, "M move window.");
        expect_no_text(screen, 40, 380, "map_sx=32 map_sy=32");
    }
    // The help stays until H is pressed again.
    run_quiet_frame();
    Screen screen;
    expect_white_text(screen, 40, 240, "ESC quit.");
}

TEST_F(GlFrame, RedMarkerCoversTheTileUnderTheCursor) {
    keep_only_units({0, 1});
    mouse_x = 232;
    mouse_y = 306;
    run_quiet_frame();
    ASSERT_EQ(cursor_dx, -5);
    ASSERT_EQ(cursor_dy, -5);
    Screen screen;

    load_camera();
    double wx, wy;
    project(cursor_dx + 0.5, cursor_dy + 0.5, 0.1, &wx, &wy);
    const int x = static_cast<int>(wx), y = static_cast<int>(wy);
    ASSERT_TRUE(x > 0 && x < 640 && y > 0 && y < 480);
    ASSERT_TRUE(overlay_transparent(x, y));
    Pixel marker = screen.at(x, y);
    EXPECT_GT(marker.red, 20);
    EXPECT_EQ(marker.green, 0);
    EXPECT_EQ(marker.blue, 0);

    // Two tiles further left the ground is not tinted.
    project(cursor_dx - 1.5, cursor_dy + 0.5, 0.0, &wx, &wy);
    Pixel ground = screen.at(static_cast<int>(wx), static_cast<int>(wy));
    EXPECT_TRUE(ground.green > 0 || ground.blue > 0);
}

TEST_F(GlFrame, FlagColourTellsTheOwnerAndTheBarTheHealth) {
    keep_only_units({0, 1, 5});
    const int owners[3] = {0, 1, 2};
    const int slots[3] = {0, 1, 5};
    for (int i = 0; i < 3; ++i) {
        Unit& unit = unit_table[slots[i]];
        unit.active = 1;
        unit.owner = owners[i];
        unit.tile_x = static_cast<uint16_t>(map_sx - 7 + 7 * i);
        unit.tile_y = static_cast<uint16_t>(map_sy - 5);
        unit.dead = 0;
        unit.hp = unit.max_hp;
    }
    unit_table[1].hp = 0.0f;
    unit_table[1].dead = 1;
    run_quiet_frame();
    Screen screen;

    const int flag[3][3] = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}};
    for (int i = 0; i < 3; ++i) {
        int px, py;
        unit_screen_point(slots[i], &px, &py);
        ASSERT_TRUE(px > 20 && px < 620 && py > 30 && py < 300) << px << "," << py;
        EXPECT_TRUE(screen.is(px - 10, py - 10, flag[i][0], flag[i][1], flag[i][2])) << "owner " << owners[i];
        EXPECT_TRUE(screen.is(px - 10, py - 20, flag[i][0], flag[i][1], flag[i][2])) << "owner " << owners[i];
        // Full health is green over the whole bar; the fallen unit keeps only the red.
        if (slots[i] == 1)
            EXPECT_TRUE(screen.is(px + 12, py + 16, 255, 0, 0));
        else
            EXPECT_TRUE(screen.is(px + 12, py + 16, 0, 255, 0));
    }

    // An owner outside the three draws no flag at all.
    unit_table[5].owner = 3;
    run_quiet_frame();
    int px, py;
    unit_screen_point(5, &px, &py);
    EXPECT_TRUE(overlay_transparent(px - 10, py - 10));
}

TEST_F(GlFrame, SceneShowsWhereTheOverlayIsTransparent) {
    run_quiet_frame();
    Screen screen;
    int covered = 0, transparent = 0, scene = 0;
    for (int y = 0; y < screen_height; ++y) {
        for (int x = 0; x < screen_width; ++x) {
            const uint8_t* o = &overlay_pixels[(y * screen_width + x) * 4];
            if (o[3] != 0) {
                ++covered;
                // A written overlay pixel covers the scene completely.
                ASSERT_TRUE(screen.is(x, y, o[0], o[1], o[2])) << x << "," << y;
            } else if (x > 220 && x < 420 && y > 140 && y < 240) {
                ++transparent;
                Pixel p = screen.at(x, y);
                if (p.red + p.green + p.blue > 0) ++scene;
            }
        }
    }
    EXPECT_GT(covered, 500);
    ASSERT_GT(transparent, 1000);
    // The ground fills the middle of the view.
    EXPECT_GT(scene, transparent * 9 / 10);
}

TEST_F(GlFrame, FrameLeavesTheCameraAndTheMarkerOffsetOnTheMatrix) {
    camera_yaw = 30.0f;
    camera_spin = 20.0f;
    camera_pitch = -50.0f;
    camera_zoom = -25.0f;
    mouse_x = 500;
    mouse_y = 100;
    run_quiet_frame();
    GLfloat after_frame[16], expected[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after_frame);
    load_camera();
    glTranslatef(static_cast<float>(cursor_dx), static_cast<float>(cursor_dy), 0.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(after_frame[i], expected[i], 1e-5f) << i;
    // The frame restores what the overlay needed: texturing on, blending off.
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
}

TEST_F(GlFrame, PaceAndWindowDragComeFirst) {
    game_speed = 4;
    run_quiet_frame();
    EXPECT_EQ(headless_sleep_count(), 1);
    EXPECT_EQ(headless_last_sleep_ms(), 18);

    game_speed = 1;
    keys[vk_m] = 1;
    headless_set_cursor_screen(123, 45);
    run_quiet_frame();
    EXPECT_EQ(headless_sleep_count(), 1);
    EXPECT_EQ(headless_window_x(), 123);
    EXPECT_EQ(headless_window_y(), 45);
    keys[vk_m] = 0;
}

TEST_F(GlFrame, ResizeToHeightZeroKeepsTheFrameWhole) {
    resize_view(640, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (float value : projection) ASSERT_TRUE(std::isfinite(value));
    EXPECT_NEAR(projection[5] / projection[0], 640.0f, 0.01f);
    run_quiet_frame();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Back to the real size: the aspect follows the window, the start
    // projection keeps 4:3 whatever it is told.
    resize_view(640, 480);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5] / projection[0], 4.0f / 3.0f, 1e-5f);
    set_start_projection(100, 1000);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5] / projection[0], 4.0f / 3.0f, 1e-5f);
    run_quiet_frame();
    Screen screen;
    expect_white_text(screen, 40, 400, "Press H for help.");
}

TEST_F(GlFrame, StartUpSetsTheStateEveryFrameReliesOn) {
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &value);
    EXPECT_EQ(value, GL_GREATER);
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[3], 0.5f);
    EXPECT_FALSE(headless_cursor_visible());
    // The first game is dealt and its sound started.
    EXPECT_EQ(unit_table[0].kind, 10);
    EXPECT_EQ(headless_sound_count(), 1);
}

// ---- Pictures made of one quad per pixel --------------------------------------

class Sprites : public GlFrame {
protected:
    static constexpr int slot = 2000;
    void SetUp() override {
        GlFrame::SetUp();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override {
        clear_image_slot(slot);
        GlFrame::TearDown();
    }
    // A black picture with the bottom-left pixel red and the top-right blue.
    void make_picture(int width, int height) {
        Image& image = image_table[slot];
        image.pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(width) * height, 3));
        image.width = width;
        image.height = height;
        image.bytes_per_pixel = 3;
        image.pixels[0] = 255;
        uint8_t* top_right = image.pixels + (static_cast<size_t>(height - 1) * width + width - 1) * 3;
        top_right[2] = 255;
    }
};

TEST_F(Sprites, SixteenPixelPictureAtSizeOnePointSixGivesTenthWideQuads) {
    make_picture(16, 16);
    draw_lying_sprite(slot, 1.6f);
    Screen screen;
    // Pixel (0, 0) spans x and y from -0.85 to -0.75: window x 48 to 80, y 36 to 60.
    EXPECT_TRUE(screen.is(64, 48, 255, 0, 0));
    EXPECT_TRUE(screen.is(50, 38, 255, 0, 0));
    EXPECT_TRUE(screen.is(44, 48, 0, 0, 0));
    EXPECT_TRUE(screen.is(84, 48, 0, 0, 0));
    // Pixel (15, 15) sits at 0.7: window (544, 408).
    EXPECT_TRUE(screen.is(544, 408, 0, 0, 255));
    // Black pixels draw nothing: the cleared buffer shows through.
    EXPECT_TRUE(screen.is(320, 240, 0, 0, 0));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Sprites, StandingPictureIsTheLyingOneStoodUp) {
    make_picture(16, 16);
    camera_spin = 0.0f;
    // Laid back by the same quarter turn, the standing picture faces the viewer again.
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    draw_standing_sprite(slot, 1.6f);
    Screen screen;
    EXPECT_TRUE(screen.is(64, 48, 255, 0, 0));
    EXPECT_TRUE(screen.is(544, 408, 0, 0, 255));
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_NEAR(matrix[5], 0.0f, 1e-6f);  // the caller's matrix is back as it was
}

TEST_F(Sprites, PictureTallerOrShorterThanWideIsClippedToItsHeight) {
    make_picture(16, 4);
    draw_lying_sprite(slot, 1.6f);
    Screen screen;
    EXPECT_TRUE(screen.is(64, 48, 255, 0, 0));
    // Row 3 is the top row of this picture and the blue pixel in it.
    EXPECT_TRUE(screen.is(544, 120, 0, 0, 255));
}

TEST_F(Sprites, EmptySlotDrawsNothing) {
    draw_lying_sprite(slot, 1.6f);
    draw_standing_sprite(slot, 1.6f);
    draw_standing_sprite(-1, 1.6f);
    Screen screen;
    for (int y = 0; y < screen_height; y += 7)
        for (int x = 0; x < screen_width; x += 7) ASSERT_TRUE(screen.is(x, y, 0, 0, 0));
}

// ---- What the drawing works from ------------------------------------------------

TEST_F(GlFrame, CullingLooksAtTheFirstCornerOnlyAndStopsAtTheCap) {
    auto set_vertex = [](int v, float x, float y, float z) {
        mesh_vertices[v].pos[0] = x;
        mesh_vertices[v].pos[1] = y;
        mesh_vertices[v].pos[2] = z;
    };
    set_vertex(0, 20.0f, 0.0f, 0.0f);     // exactly at the reach: dropped
    set_vertex(1, 19.99f, 0.0f, 0.0f);    // inside
    set_vertex(2, -10.0f, 5.0f, 4.9f);    // inside, negative parts count by size
    set_vertex(3, 0.0f, 0.0f, 0.0f);
    const uint32_t corners[4][3] = {{0, 3, 3}, {1, 0, 0}, {2, 0, 0}, {0, 1, 2}};
    for (int t = 0; t < 4; ++t)
        for (int c = 0; c < 3; ++c) mesh_triangles[t].vertex[c] = corners[t][c];
    triangle_count = 4;
    cull_mesh();
    ASSERT_EQ(visible_triangle_count, 2);
    EXPECT_EQ(visible_triangles[0], 1u);
    EXPECT_EQ(visible_triangles[1], 2u);

    for (int t = 0; t < 30005; ++t) mesh_triangles[t].vertex[0] = 3;
    triangle_count = 30005;
    cull_mesh();
    EXPECT_EQ(visible_triangle_count, 29999);
    EXPECT_EQ(visible_triangles[29998], 29998u);
}

TEST_F(GlFrame, UnitListTakesTheDiamondOfNineteenAndAtMostTwoHundredFiftyFive) {
    map_sx = 32;
    map_sy = 32;
    for (int i = 0; i < max_units; ++i) {
        unit_table[i].tile_x = 0;
        unit_table[i].tile_y = 0;
    }
    unit_table[3].tile_x = 32 + 10;
    unit_table[3].tile_y = 32 - 9;  // distance 19
    unit_table[4].tile_x = 32 - 10;
    unit_table[4].tile_y = 32 + 10;  // distance 20
    unit_table[7].tile_x = 32;
    unit_table[7].tile_y = 32;
    unit_table[7].active = 0;  // empty slots are listed; the unit pass skips them
    collect_visible_units();
    ASSERT_EQ(visible_unit_count, 2);
    EXPECT_EQ(visible_units[0], 3u);
    EXPECT_EQ(visible_units[1], 7u);

    for (int i = 0; i < max_units; ++i) {
        unit_table[i].tile_x = 32;
        unit_table[i].tile_y = 32;
    }
    collect_visible_units();
    EXPECT_EQ(visible_unit_count, 255);
    EXPECT_EQ(visible_units[254], 254u);
}
