// The display step: the window's factor for a desktop, where the enlarged
// picture sits, the mouse mapped back into the picture, and the enlargement
// itself on a real offscreen context larger than the picture.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/common/display.h"
#include "platform/headless/headless_platform.h"
#include "platform/platform.h"

namespace {

constexpr int picture_width = 640;
constexpr int picture_height = 480;

TEST(DisplayFactor, IsTheRequestedOneOrTheLargestWhoseWindowFitsNineTenthsOfTheDesktop) {
    struct Case {
        int scale, usable_width, usable_height, factor;
    };
    const Case cases[] = {
        {0, 1024, 768, 1},    // 960 rows would not fit in 691
        {0, 1920, 1080, 2},   // 960 of 972 rows
        {0, 3840, 2160, 4},   // 1920 of 1944 rows
        {0, 6400, 4800, 9},   // nine tenths are exactly 9 x 640 by 9 x 480
        {0, 6399, 4800, 8},   // one column short
        {0, 6400, 4799, 8},   // one row short
        {0, 40000, 30000, 16},
        {3, 1024, 768, 3},    // asked for, whether it fits or not
    };
    for (const Case& c : cases) {
        platform_request_display(c.scale, false);
        display_window_opens(picture_width, picture_height, c.usable_width, c.usable_height);
        EXPECT_EQ(display_state.window_factor, c.factor)
            << "--scale " << c.scale << " on " << c.usable_width << " x " << c.usable_height;
    }
    platform_request_display(0, false);
}

TEST(DisplayLayout, CentresTheLargestFittingFactorWithBlackAround) {
    struct Case {
        int drawable_width, drawable_height, factor, left, bottom, top;
    };
    const Case cases[] = {
        {640, 480, 1, 0, 0, 0},        // today's window
        {1920, 1080, 2, 320, 60, 60},  // full screen at 1080p
        {1921, 1081, 2, 320, 60, 61},  // an odd row more goes above
        {2000, 960, 2, 360, 0, 0},     // wider: bars left and right only
        {600, 400, 1, 0, 0, -80},      // smaller: the picture's top rows are cut
    };
    for (const Case& c : cases) {
        DisplayLayout layout = display_layout(picture_width, picture_height, c.drawable_width, c.drawable_height);
        std::string name = std::to_string(c.drawable_width) + " x " + std::to_string(c.drawable_height);
        EXPECT_EQ(layout.factor, c.factor) << name << " factor";
        EXPECT_EQ(layout.left, c.left) << name << " left";
        EXPECT_EQ(layout.bottom, c.bottom) << name << " bottom";
        EXPECT_EQ(layout.top, c.top) << name << " top";
    }
    EXPECT_FALSE(display_is_identity(display_layout(640, 480, 641, 480))) << "641 x 480";
}

struct PointCase {
    const char* name;
    int window_width, window_height;    // points
    int drawable_width, drawable_height;  // pixels
    int x, y;                           // the point in the window
    int picture_x, picture_y;           // the picture pixel under it
};

TEST(DisplayMouse, LandsOnThePicturePixelUnderThePointerAndClampsAtTheEdges) {
    const PointCase cases[] = {
        {"factor 2, a block's last pixel", 1280, 960, 1280, 960, 1001, 201, 500, 100},
        {"full screen, the picture's corner", 1920, 1080, 1920, 1080, 320, 60, 0, 0},
        {"full screen, last column and row", 1920, 1080, 1920, 1080, 1599, 1019, 639, 479},
        {"an odd row more above: the picture starts a row lower", 1921, 1081, 1921, 1081, 320, 62, 0, 0},
        {"full screen, right bar", 1920, 1080, 1920, 1080, 1919, 500, 639, 220},
        {"full screen, outside the window", 1920, 1080, 1920, 1080, -50, 5000, 0, 479},
        {"high-DPI, two pixels a point", 960, 540, 1920, 1080, 160 + 500, 30 + 100, 500, 100},
        {"today's window keeps what lies outside", 640, 480, 640, 480, 700, -3, 700, -3},
    };
    for (const PointCase& c : cases) {
        DisplayLayout layout = display_layout(picture_width, picture_height, c.drawable_width, c.drawable_height);
        int x = c.x, y = c.y;
        display_window_point_to_picture(layout, c.window_width, c.window_height, &x, &y);
        EXPECT_EQ(x, c.picture_x) << c.name << ": x";
        EXPECT_EQ(y, c.picture_y) << c.name << ": y";
    }
}

// ---- the enlargement on a real context ------------------------------------------

constexpr int screen_w = 1920;
constexpr int screen_h = 1080;

// A picture in which every pixel differs from its neighbours.
void picture_colour(int x, int y, uint8_t* rgb) {
    rgb[0] = static_cast<uint8_t>(x * 7 + y);
    rgb[1] = static_cast<uint8_t>(y * 5 + x * 3);
    rgb[2] = static_cast<uint8_t>(64 + (x / 256) * 32 + (y / 256) * 96 + ((x + y) & 1) * 16);
}

class Enlargement : public ::testing::Test {
protected:
    std::vector<uint8_t> screen = std::vector<uint8_t>(screen_w * screen_h * 4);
    GLuint game_texture = 0;

    void SetUp() override {
        headless_reset();
        ASSERT_TRUE(platform_create_window("display", screen_w, screen_h, 16));
        ASSERT_TRUE(platform_create_gl_context());
        ASSERT_TRUE(platform_make_gl_current());
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        ASSERT_EQ(viewport[2], screen_w) << "the context must be larger than the picture";
        display_start(picture_width, picture_height);
        // Some of the game's own state, which the step must leave as it found it.
        glGenTextures(1, &game_texture);
        glBindTexture(GL_TEXTURE_2D, game_texture);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_ALPHA_TEST);
        glEnable(GL_TEXTURE_2D);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glTranslatef(0.25f, 0.0f, 0.0f);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override {
        display_stop();
        glDeleteTextures(1, &game_texture);
        glDisable(GL_SCISSOR_TEST);
        platform_release_gl_current();
        platform_delete_gl_context();
        platform_destroy_window();
        headless_reset();
    }
    // Everything white, then the picture in the bottom-left corner, as a
    // frame leaves it; drawn the way the overlay is, at raster (0, 0).
    void draw_frame(bool whole_drawable_white) {
        glDisable(GL_SCISSOR_TEST);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        if (whole_drawable_white) glClear(GL_COLOR_BUFFER_BIT);
        std::vector<uint8_t> picture(picture_width * picture_height * 3);
        for (int y = 0; y < picture_height; ++y)
            for (int x = 0; x < picture_width; ++x) picture_colour(x, y, &picture[(y * picture_width + x) * 3]);
        glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_TEXTURE_2D);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glDrawPixels(picture_width, picture_height, GL_RGB, GL_UNSIGNED_BYTE, picture.data());
        glPopAttrib();
        glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    }
    void read_screen() {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, screen_w, screen_h, GL_RGBA, GL_UNSIGNED_BYTE, screen.data());
    }
    const uint8_t* at(int x, int y) const { return &screen[(y * screen_w + x) * 4]; }
    bool same_rgb(const uint8_t* a, const uint8_t* b) const { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }
    // Pixels of the enlarged picture at (left, bottom) that are not their
    // picture pixel's colour.
    int wrong_picture_pixels(int left, int bottom, int factor) const {
        int wrong = 0;
        for (int y = 0; y < picture_height * factor; ++y) {
            for (int x = 0; x < picture_width * factor; ++x) {
                uint8_t want[3];
                picture_colour(x / factor, y / factor, want);
                wrong += !same_rgb(at(left + x, bottom + y), want);
            }
        }
        return wrong;
    }
    // Pixels outside the rectangle that are not black.
    int lit_outside(int left, int bottom, int width, int height) const {
        int lit = 0;
        for (int y = 0; y < screen_h; ++y)
            for (int x = 0; x < screen_w; ++x) {
                bool inside = x >= left && x < left + width && y >= bottom && y < bottom + height;
                const uint8_t* p = at(x, y);
                lit += !inside && (p[0] | p[1] | p[2]) != 0;
            }
        return lit;
    }
};

TEST_F(Enlargement, FullScreenPutsEachPixelIntoABlockCentredWithBlackBars) {
    draw_frame(true);
    display_present(screen_w, screen_h);
    read_screen();
    EXPECT_EQ(wrong_picture_pixels(320, 60, 2), 0) << "enlarged picture";
    EXPECT_EQ(lit_outside(320, 60, 1280, 960), 0) << "bars";

    // Later frames: the bars are not cleared again, but what the game drew
    // into its corner outside the picture is.
    for (int frame = 0; frame < 4; ++frame) {
        draw_frame(false);
        display_present(screen_w, screen_h);
    }
    read_screen();
    EXPECT_EQ(wrong_picture_pixels(320, 60, 2), 0) << "enlarged picture, fifth frame";
    EXPECT_EQ(lit_outside(320, 60, 1280, 960), 0) << "bars, fifth frame";
}

TEST_F(Enlargement, LeavesTheGamesStateAndKeepsItsNextFrameInTheCorner) {
    draw_frame(true);
    display_present(screen_w, screen_h);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0) << "viewport x";
    EXPECT_EQ(viewport[1], 0) << "viewport y";
    EXPECT_EQ(viewport[2], picture_width) << "viewport width";
    EXPECT_EQ(viewport[3], picture_height) << "viewport height";
    GLint bound = 0, mode = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), game_texture) << "bound texture";
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW) << "matrix mode";
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(static_cast<float>(projection[12]), 0.25f) << "projection's translation";
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "depth test";
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST)) << "alpha test";
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "texturing";
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_EQ(raster[0], 0.0f) << "raster x";
    EXPECT_EQ(raster[1], 0.0f) << "raster y";
    GLfloat clear_colour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_colour);
    EXPECT_EQ(clear_colour[3], 0.5f) << "clear colour's alpha";

    // The game's clear of the next frame stays in its corner: nothing else
    // turns white (neither the picture nor the bars hold white).
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    read_screen();
    const uint8_t white[3] = {255, 255, 255};
    int white_pixels = 0;
    for (int y = 0; y < screen_h; ++y)
        for (int x = 0; x < screen_w; ++x) white_pixels += same_rgb(at(x, y), white);
    EXPECT_EQ(white_pixels, picture_width * picture_height) << "white pixels after the game's clear";
}

}  // namespace
