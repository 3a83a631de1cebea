// The batched world drawing against the plain one it replaces: what random
// pictures and a random terrain send to GL, compared vertex by vertex in
// feedback mode. Where the pictures land on the screen is the game window
// tests' to check.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "app/input_state.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "render/image_table.h"
#include "render/world_drawing.h"
#include "terrain/terrain_mesh.h"
#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

using Draw = void (*)(WorldDrawing);

std::vector<float> feedback_of(GLenum layout, Draw draw, WorldDrawing way) {
    std::vector<float> buffer(400000);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), layout, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw(way);
    const GLint count = glRenderMode(GL_RENDER);
    EXPECT_GE(count, 0) << "feedback buffer too small";
    buffer.resize(count > 0 ? count : 0);
    return buffer;
}

size_t values_compared = 0;

// The same draw both ways: the same polygons in the same order, positions
// within a thousandth of a pixel, colours and texture coordinates exact,
// and the same colour left current.
void expect_same_drawing(GLenum layout, Draw draw, int values_per_vertex) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -16.0f);
    glRotatef(-55.0f, 1.0f, 0.0f, 0.0f);
    const std::vector<float> plain = feedback_of(layout, draw, WorldDrawing::plain);
    float plain_colour[4], colour[4];
    glGetFloatv(GL_CURRENT_COLOR, plain_colour);
    const std::vector<float> batched = feedback_of(layout, draw, WorldDrawing::batched);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(colour[k], plain_colour[k]) << "component " << k << " of the colour left";
    ASSERT_EQ(plain.size(), batched.size()) << "feedback values";
    values_compared += plain.size();
    for (size_t i = 0; i < plain.size();) {
        ASSERT_EQ(plain[i], static_cast<float>(GL_POLYGON_TOKEN)) << "token at " << i;
        ASSERT_EQ(plain[i + 1], batched[i + 1]) << "corners at " << i;
        const int corners = static_cast<int>(plain[i + 1]);
        i += 2;
        for (int c = 0; c < corners; ++c, i += values_per_vertex)
            for (int k = 0; k < values_per_vertex; ++k)
                ASSERT_NEAR(plain[i + k], batched[i + k], k < 3 ? 1e-3f : 0.0f) << "value " << i + k;
    }
}

// Feedback carries texture coordinates but not the texture bound: the
// terrain is also drawn both ways and read back, pixels that differ counted.
int terrain_pixels_that_differ() {
    std::vector<uint8_t> drawn[2];
    for (WorldDrawing way : {WorldDrawing::plain, WorldDrawing::batched}) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_mesh(way);
        std::vector<uint8_t>& pixels = drawn[way == WorldDrawing::batched];
        pixels.resize(screen_width * screen_height * 4);
        glReadPixels(0, 0, screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    int differ = 0;
    for (size_t i = 0; i < drawn[0].size(); i += 4) differ += std::memcmp(&drawn[0][i], &drawn[1][i], 4) != 0;
    return differ;
}

int sprite_slot = 2001;
float sprite_size = 1.6f;

}  // namespace

TEST(BatchedDrawing, RandomPicturesAndTerrainSendTheSameToGl) {
    headless_reset();
    window_active = 1;
    ASSERT_TRUE(open_window("VARNHOLD", screen_width, screen_height, 16));
    std::mt19937 random{20240611};
    auto between = [&random](float low, float high) { return low + (high - low) * (random() % 1001) / 1000.0f; };
    for (int picture = 0; picture < 12; ++picture) {
        const int width = 1 + random() % 20, height = 1 + random() % 20;
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        clear_image_slot(sprite_slot);
        Image& image = image_table[sprite_slot];
        image.width = width;
        image.height = height;
        image.pixels = static_cast<uint8_t*>(std::calloc(width * height, 3));
        for (int i = 0; i < width * height * 3; ++i) image.pixels[i] = random() % 3 ? random() % 256 : 0;
        sprite_size = between(0.5f, 4.0f);
        camera_spin = between(0.0f, 360.0f);
        expect_same_drawing(GL_3D_COLOR, [](WorldDrawing way) { draw_standing_sprite(sprite_slot, sprite_size, way); }, 7);
        expect_same_drawing(GL_3D_COLOR, [](WorldDrawing way) { draw_lying_sprite(sprite_slot, sprite_size, way); }, 7);
    }
    EXPECT_GT(values_compared, 30000u) << "too few picture pixels drawn";
    clear_image_slot(sprite_slot);
    for (int i = 0; i < cell_count; ++i) cell_kinds[i] = static_cast<uint8_t>(1 + random() % 3);
    vertex_count = triangle_count = 0;
    build_terrain_mesh(0, 32, 32, 20);
    cull_mesh();
    ASSERT_GT(visible_triangle_count, 1000) << "visible triangles of the random terrain";
    expect_same_drawing(GL_4D_COLOR_TEXTURE, [](WorldDrawing way) { draw_mesh(way); }, 12);
    EXPECT_EQ(terrain_pixels_that_differ(), 0) << "terrain pixels that differ";
    camera_spin = 0.0f;
    close_window();
}
