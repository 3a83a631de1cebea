// The batched world drawing against the plain one it replaces, in a real
// offscreen GL context: whole frames compared pixel by pixel, and what each
// picture and the terrain send to GL compared vertex by vertex through GL's
// feedback mode.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/input_state.h"
#include "game/frame.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "render/world_drawing.h"
#include "terrain/terrain_mesh.h"
#include "tests/support/gl_context.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/random.h"
#include "world/world_arrays.h"

namespace {

constexpr uint32_t deal_seed = 7321;
constexpr int pixel_count = screen_width * screen_height;
constexpr size_t screen_bytes = static_cast<size_t>(pixel_count) * 4;
// 0.1 % of the window: edges of quads whose corners are now computed on the
// CPU instead of by the matrix may round to the neighbouring pixel.
constexpr int pixels_allowed_to_differ = pixel_count / 1000;

// What a frame leaves behind: the colour buffer and the overlay.
struct Picture {
    std::vector<uint8_t> screen = std::vector<uint8_t>(screen_bytes);
    std::vector<uint8_t> overlay = std::vector<uint8_t>(screen_bytes);
};

struct SavedWorld {
    std::vector<Unit> units;
    uint32_t rng_state = 0;
    int32_t frame_counter = 0;
};

SavedWorld save_world() {
    SavedWorld saved;
    saved.units.assign(unit_table, unit_table + max_units);
    saved.rng_state = rng::state();
    saved.frame_counter = frame_counter;
    return saved;
}

void restore_world(const SavedWorld& saved) {
    std::memcpy(unit_table, saved.units.data(), sizeof(Unit) * max_units);
    rng::srand(saved.rng_state);
    frame_counter = saved.frame_counter;
}

int differing_pixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int count = 0;
    for (int i = 0; i < pixel_count; ++i)
        if (std::memcmp(&a[i * 4], &b[i * 4], 3) != 0) ++count;
    return count;
}

// Screen pixels under written overlay pixels that are not the same in both.
int differing_under_overlay(const Picture& a, const Picture& b) {
    int count = 0;
    for (int i = 0; i < pixel_count; ++i)
        if (a.overlay[i * 4 + 3] != 0 && std::memcmp(&a.screen[i * 4], &b.screen[i * 4], 3) != 0) ++count;
    return count;
}

int written_overlay_pixels(const Picture& picture) {
    int count = 0;
    for (int i = 0; i < pixel_count; ++i)
        if (picture.overlay[i * 4 + 3] != 0) ++count;
    return count;
}

int units_in_diamond() {
    int count = 0;
    for (int i = 0; i < max_units; ++i) {
        const Unit& unit = unit_table[i];
        if (unit.active && std::abs(unit.tile_x - map_sx) + std::abs(unit.tile_y - map_sy) < 20) ++count;
    }
    return count;
}

class BatchedDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        std::memset(keys, 0, sizeof keys);
        std::memset(mouse_buttons, 0, sizeof mouse_buttons);
        mouse_x = 300;
        mouse_y = 260;
        window_active = 1;
        game_speed = 1;
        help_visible = 0;
        unit_size = unit_size_normal;
        world_drawing_reference = false;
        ASSERT_TRUE(open_window("VARNHOLD", screen_width, screen_height, 16, false));
        resize_view(screen_width, screen_height);
        ASSERT_GT(image_table[10].width, 0) << "the generated pictures did not load";
        new_game_from_seed(deal_seed);
        // The deal's first frame hands out the wandering orders.
        ASSERT_TRUE(run_frame());
    }
    void TearDown() override {
        world_drawing_reference = false;
        unit_size = unit_size_normal;
        close_window();
    }

    // One frame of the saved world, drawn one way or the other, with the
    // camera as set by the test.
    Picture frame(const SavedWorld& world, bool reference) {
        const float zoom = camera_zoom, pitch = camera_pitch, yaw = camera_yaw, spin = camera_spin;
        const int sx = map_sx, sy = map_sy;
        restore_world(world);
        world_drawing_reference = reference;
        run_frame();
        glFinish();
        world_drawing_reference = false;
        Picture picture;
        read_screen(picture.screen.data());
        std::memcpy(picture.overlay.data(), overlay_pixels, screen_bytes);
        camera_zoom = zoom;
        camera_pitch = pitch;
        camera_yaw = yaw;
        camera_spin = spin;
        map_sx = sx;
        map_sy = sy;
        return picture;
    }

    // Both ways agree to 0.1 % of the pixels and exactly on the overlay;
    // and the units are really in the picture: without them it changes.
    void expect_same_frame(const SavedWorld& world) {
        Picture reference = frame(world, true);
        Picture batched = frame(world, false);
        EXPECT_LE(differing_pixels(reference.screen, batched.screen), pixels_allowed_to_differ);
        EXPECT_TRUE(reference.overlay == batched.overlay) << "labels, bars or flags differ";
        EXPECT_EQ(differing_under_overlay(reference, batched), 0);
        EXPECT_GT(written_overlay_pixels(batched), 500);

        SavedWorld empty = world;
        for (Unit& unit : empty.units) unit.active = 0;
        Picture without_units = frame(empty, false);
        EXPECT_GT(differing_pixels(batched.screen, without_units.screen), 20 * pixels_allowed_to_differ)
            << "the scene shows too little of the units to compare them";
    }
};

}  // namespace

TEST_F(BatchedDrawing, OpeningViewLooksTheSameEitherWay) {
    frame_counter = 100;  // the intro picture is still up; no periodic rule runs
    SavedWorld world = save_world();
    ASSERT_GE(units_in_diamond(), 10);
    expect_same_frame(world);
}

TEST_F(BatchedDrawing, CloseTurnedViewOfACrowdWithFallenUnitsLooksTheSameEitherWay) {
    // Sixty creatures close round the centre, every fifth one fallen, seen
    // from near, steeply, turned on two axes, with the large pictures.
    int placed = 0;
    for (int i = 2; i < max_units && placed < 60; ++i) {
        Unit& unit = unit_table[i];
        if (!unit.active || unit.owner != owner_neutral) continue;
        unit.tile_x = static_cast<uint16_t>(map_sx - 5 + placed % 10);
        unit.tile_y = static_cast<uint16_t>(map_sy - 3 + placed / 10);
        if (placed % 5 == 4) {
            unit.dead = 1;
            unit.hp = 0.0f;
        }
        ++placed;
    }
    ASSERT_EQ(placed, 60);
    frame_counter = 5004;  // past the intro
    SavedWorld world = save_world();
    ASSERT_GE(units_in_diamond(), 60);
    camera_zoom = -14.0f;
    camera_pitch = -62.0f;
    camera_yaw = 8.0f;
    camera_spin = 37.0f;
    unit_size = unit_size_large;
    expect_same_frame(world);
    unit_size = unit_size_small;
    expect_same_frame(world);
}

// ---- What is sent to GL, read back through feedback ----------------------------

namespace {

constexpr int feedback_capacity = 400000;

// Everything GL would rasterise while `draw` runs: tokens, window
// coordinates, colours (and texture coordinates for the terrain).
std::vector<float> feedback_of(GLenum layout, void (*draw)()) {
    std::vector<float> buffer(feedback_capacity);
    glFeedbackBuffer(feedback_capacity, layout, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    EXPECT_GE(count, 0) << "feedback buffer too small";
    buffer.resize(count > 0 ? static_cast<size_t>(count) : 0);
    return buffer;
}

// Same tokens and counts in the same order; positions within `tolerance`
// window units, everything else exact.
void expect_same_feedback(const std::vector<float>& a, const std::vector<float>& b, int values_per_vertex,
                          float tolerance) {
    ASSERT_EQ(a.size(), b.size());
    size_t i = 0;
    while (i < a.size()) {
        ASSERT_EQ(a[i], b[i]) << "token at " << i;
        ASSERT_EQ(a[i], static_cast<float>(GL_POLYGON_TOKEN)) << "only polygons are drawn";
        ASSERT_EQ(a[i + 1], b[i + 1]) << "corner count at " << i;
        const int corners = static_cast<int>(a[i + 1]);
        i += 2;
        for (int c = 0; c < corners; ++c, i += values_per_vertex) {
            for (int k = 0; k < 3; ++k) ASSERT_NEAR(a[i + k], b[i + k], tolerance) << "position at " << i + k;
            for (int k = 3; k < values_per_vertex; ++k) ASSERT_EQ(a[i + k], b[i + k]) << "value at " << i + k;
        }
    }
}

int polygons_in(const std::vector<float>& feedback, int values_per_vertex) {
    int count = 0;
    for (size_t i = 0; i + 1 < feedback.size(); i += 2 + static_cast<size_t>(feedback[i + 1]) * values_per_vertex)
        ++count;
    return count;
}

int lit_pixels(int slot) {
    const Image& image = image_table[slot];
    const int rows = image.height < image.width ? image.height : image.width;
    int count = 0;
    for (int i = 0; i < rows * image.width; ++i) {
        const uint8_t* p = image.pixels + i * 3;
        if (p[0] || p[1] || p[2]) ++count;
    }
    return count;
}

int sprite_slot = 0;
float sprite_size = 0.0f;
void draw_standing() { draw_standing_sprite(sprite_slot, sprite_size); }
void draw_lying() { draw_lying_sprite(sprite_slot, sprite_size); }
void draw_terrain() { draw_mesh(); }

// The frame's camera and a unit's place, as the unit pass sets them.
void load_unit_transform() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -16.0f);
    glRotatef(-55.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(12.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(camera_spin, 0.0f, 0.0f, 0.5f);
    glTranslatef(1.5f, -0.5f, unit_size / 2.0f);
}

std::vector<float> current_colour() {
    std::vector<float> colour(4);
    glGetFloatv(GL_CURRENT_COLOR, colour.data());
    return colour;
}

constexpr int colour_vertex = 3 + 4;         // GL_3D_COLOR
constexpr int textured_vertex = 4 + 4 + 4;  // GL_4D_COLOR_TEXTURE

}  // namespace

TEST_F(BatchedDrawing, EveryPictureSendsTheSameQuadsInTheSameOrderAndColours) {
    const int slots[] = {9, 10, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 90};
    camera_spin = 123.0f;
    const float sizes[] = {unit_size_small, unit_size_large};
    int pictures = 0;
    for (int slot : slots) {
        if (image_table[slot].width == 0) continue;
        ++pictures;
        sprite_slot = slot;
        for (float size : sizes) {
            sprite_size = size;
            unit_size = size;
            for (void (*draw)() : {draw_standing, draw_lying}) {
                load_unit_transform();
                world_drawing_reference = true;
                std::vector<float> reference = feedback_of(GL_3D_COLOR, draw);
                std::vector<float> reference_colour = current_colour();
                world_drawing_reference = false;
                load_unit_transform();
                std::vector<float> batched = feedback_of(GL_3D_COLOR, draw);
                SCOPED_TRACE(testing::Message() << "slot " << slot << " size " << size);
                expect_same_feedback(reference, batched, colour_vertex, 1e-3f);
                // Each lit pixel is one quad, which feedback reports as two
                // triangles; black pixels send none.
                EXPECT_EQ(polygons_in(batched, colour_vertex), 2 * lit_pixels(slot));
                // The colour left behind is the last pixel's, as before.
                EXPECT_EQ(current_colour(), reference_colour);
                EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
            }
        }
    }
    EXPECT_GE(pictures, 17) << "the generated pictures did not load";
}

TEST_F(BatchedDrawing, TerrainSendsTheSameTrianglesInTheSameOrderWithTheirTextures) {
    // Walls and roofs between open floors give runs of both textures.
    for (int y = 28; y < 36; ++y)
        for (int x = 28; x < 36; x += 3) cell_kinds[cell_index(0, x, y)] = static_cast<uint8_t>(1 + (x + y) % 3);
    vertex_count = 0;
    triangle_count = 0;
    build_terrain_mesh(0, map_sx, map_sy, 20);
    cull_mesh();
    ASSERT_GT(visible_triangle_count, 1000);

    camera_spin = 30.0f;
    load_unit_transform();
    world_drawing_reference = true;
    std::vector<float> reference = feedback_of(GL_4D_COLOR_TEXTURE, draw_terrain);
    GLint reference_texture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &reference_texture);
    world_drawing_reference = false;
    load_unit_transform();
    std::vector<float> batched = feedback_of(GL_4D_COLOR_TEXTURE, draw_terrain);
    GLint batched_texture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &batched_texture);
    expect_same_feedback(reference, batched, textured_vertex, 0.0f);
    EXPECT_GT(polygons_in(batched, textured_vertex), 100);
    // The last triangle's texture stays bound either way.
    EXPECT_EQ(batched_texture, reference_texture);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(BatchedDrawing, EmptyAndClippedPicturesDrawAsBefore) {
    constexpr int slot = 2001;
    // An empty slot sends nothing either way.
    sprite_slot = slot;
    sprite_size = 1.6f;
    load_unit_transform();
    EXPECT_TRUE(feedback_of(GL_3D_COLOR, draw_lying).empty());
    world_drawing_reference = true;
    EXPECT_TRUE(feedback_of(GL_3D_COLOR, draw_lying).empty());
    world_drawing_reference = false;

    // Wider than high: only its rows are drawn; its top-right pixel is black
    // and is still the colour left behind.
    Image& image = image_table[slot];
    image.width = 8;
    image.height = 3;
    image.bytes_per_pixel = 3;
    image.pixels = static_cast<uint8_t*>(std::calloc(8 * 3, 3));
    for (int i = 0; i < 8 * 3 - 1; i += 2) image.pixels[i * 3] = static_cast<uint8_t>(10 + i * 9);
    load_unit_transform();
    world_drawing_reference = true;
    std::vector<float> reference = feedback_of(GL_3D_COLOR, draw_standing);
    std::vector<float> reference_colour = current_colour();
    world_drawing_reference = false;
    load_unit_transform();
    std::vector<float> batched = feedback_of(GL_3D_COLOR, draw_standing);
    expect_same_feedback(reference, batched, colour_vertex, 1e-3f);
    EXPECT_GE(polygons_in(batched, colour_vertex), 12);
    EXPECT_EQ(current_colour(), reference_colour);
    EXPECT_EQ(current_colour()[0], 0.0f);
    clear_image_slot(slot);
}
