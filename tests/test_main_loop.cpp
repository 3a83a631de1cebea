// The game in its window on the headless backend with a real offscreen GL
// context: one event per pass, frames and swaps on quiet passes, the view
// keys, start and end; whole frames read back (text, marker, flags and bars
// over the scene), pictures of one quad per pixel, culling and projection.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/game_window.h"
#include "app/main_loop.h"
#include "app/window_procedure.h"
#include "game/frame.h"
#include "game/side_command.h"
#include "game/view.h"
#include "path/path_search.h"
#include "render/gl_window.h"
#include "render/image_table.h"
#include "render/projection.h"
#include "render/world_drawing.h"
#include "world/new_game.h"
#include "tests/support/world_fixture.h"

namespace {

PlatformEvent event_of(PlatformEventType type, int key = 0, int x = 0, int y = 0, int button = 0) {
    return {type, key, button, x, y};
}

void push(PlatformEventType type, int key = 0) { headless_push_event(event_of(type, key)); }

// One pixel's red, green and blue, compared whole and printed by GoogleTest.
using Rgb = std::array<int, 3>;
const Rgb black{0, 0, 0}, red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};

class GameWindow : public ::testing::Test {
protected:
    std::vector<uint8_t> screen = std::vector<uint8_t>(screen_width * screen_height * 4);
    void SetUp() override {
        headless_reset();
        std::memset(keys, 0, sizeof keys);
        std::memset(mouse_buttons, 0, sizeof mouse_buttons);
        window_active = 1;
        ASSERT_TRUE(open_game_window(0));
    }
    void TearDown() override {
        close_game_window();
        std::memset(keys, 0, sizeof keys);
        game_speed = 1;
        headless_reset();
    }
    static void drain() {
        for (int guard = 0; headless_pending_events() > 0 && guard < 100; ++guard) ASSERT_FALSE(run_loop_pass());
    }
    void read_screen() {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE, screen.data());
    }
    // A frame past the intro and every periodic rule (unless told), read back.
    void run_frame_at(int counter) {
        frame_counter = counter;
        PassInput input;
        read_pass_input(&input);
        FrameCommands commands = no_commands();
        commands.side[0] = command_from_pass(input, local_view);
        ASSERT_TRUE(run_frame(commands, &local_view, input));
        read_screen();
    }
    const uint8_t* at(int x, int y) const { return &screen[(y * screen_width + x) * 4]; }
    Rgb colour(int x, int y) const { return {at(x, y)[0], at(x, y)[1], at(x, y)[2]}; }
    // Where a scene point lands, through the matrices the frame left behind.
    static void landing(float x, float y, float z, int* px, int* py) {
        project_point(x, y, z);
        *px = static_cast<int>(mesh_vertices[max_vertices - 1].screen[0]);
        *py = static_cast<int>(mesh_vertices[max_vertices - 1].screen[1]);
    }
};

}  // namespace

TEST_F(GameWindow, EachEventTakesAPassAndQuietPassesDrawSwapAndApplyTheViewKeys) {
    push(platform_event_key_down, vk_page_up);
    headless_push_event(event_of(platform_event_mouse_move, 0, 100, 200));
    push(platform_event_other);
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(headless_pending_events(), 2) << "events left after one pass";
    drain();
    EXPECT_EQ(frame_counter, 0) << "frames while events wait";
    EXPECT_EQ(headless_swap_count(), 0) << "swaps while events wait";
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 1) << "frames after a quiet pass";
    EXPECT_EQ(headless_swap_count(), 1) << "swaps after a quiet pass";
    EXPECT_FLOAT_EQ(local_view.camera_zoom, -30.12f) << "camera_zoom after a pass with Page Up down";
    // Minimised: the swaps and the view keys go on, the frames stop.
    push(platform_event_minimized);
    push(platform_event_key_up, vk_page_up);
    push(platform_event_key_down, vk_right);
    drain();
    for (int pass = 0; pass < 3; ++pass) ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 1) << "frames while minimised";
    EXPECT_EQ(headless_swap_count(), 4) << "swaps while minimised";
    EXPECT_EQ(local_view.map_sx, 35) << "map_sx after three passes with Right down";
}

TEST_F(GameWindow, EscapeEndsThePassAfterItsFrameWithoutASwapAndQuitAtOnce) {
    push(platform_event_key_down, vk_escape);
    drain();
    EXPECT_TRUE(run_loop_pass()) << "pass ends the loop";
    EXPECT_EQ(frame_counter, 1) << "frames of the Escape pass";
    EXPECT_EQ(headless_swap_count(), 0) << "swaps of the Escape pass";
    push(platform_event_quit);  // the rest stays unread
    push(platform_event_other);
    EXPECT_EQ(run_main_loop(), 0) << "exit code after quit";
    EXPECT_EQ(headless_pending_events(), 1) << "events left after quit";
}

TEST_F(GameWindow, ViewKeysZoomTurnScrollAndPause) {
    const struct {
        int vk, shift;
        float zoom, pitch, yaw;
        int map_sx, map_sy, pause_ms;
    } cases[] = {{vk_page_up, 0, -0.12f, 0, 0, 0, 0, 0}, {vk_page_down, 0, 0.12f, 0, 0, 0, 0, 0},
                 {vk_e, 0, 0, 0, 0, 0, 0, 500},          {vk_up, 0, 0, 0, 0, 0, 1, 100},
                 {vk_down, 0, 0, 0, 0, 0, -1, 100},      {vk_right, 0, 0, 0, 0, 1, 0, 100},
                 {vk_left, 0, 0, 0, 0, -1, 0, 100},      {vk_up, 1, 0, -0.5f, 0, 0, 0, 0},
                 {vk_down, 1, 0, 0.5f, 0, 0, 0, 0},      {vk_right, 1, 0, 0, 0.5f, 0, 0, 0},
                 {vk_left, 1, 0, 0, -0.5f, 0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "key " << c.vk << (c.shift ? " with shift" : ""));
        headless_reset();
        PassInput input;
        clear_pass_input(&input);
        input.direct_keys[vk_shift] = static_cast<uint8_t>(c.shift);
        input.keys[c.vk] = 1;
        View view = start_view(0);
        view.camera_zoom = view.camera_pitch = view.camera_yaw = 0.0f;
        apply_view_keys(&view, input);
        EXPECT_FLOAT_EQ(view.camera_zoom, c.zoom) << "camera_zoom";
        EXPECT_FLOAT_EQ(view.camera_pitch, c.pitch) << "camera_pitch";
        EXPECT_FLOAT_EQ(view.camera_yaw, c.yaw) << "camera_yaw";
        EXPECT_EQ(view.map_sx, c.map_sx) << "map_sx";
        EXPECT_EQ(view.map_sy, c.map_sy) << "map_sy";
        EXPECT_EQ(headless_total_sleep_ms(), c.pause_ms) << "pause in ms";
    }
}

TEST_F(GameWindow, WindowProcedureKeepsTheInputState) {
    for (int vk : {300, -1, int('Q')}) window_procedure(event_of(platform_event_key_down, vk));
    EXPECT_EQ(keys['Q'], 1) << "keys['Q'] while down";
    window_procedure(event_of(platform_event_key_up, 'Q'));
    for (int vk = 0; vk < 256; ++vk) ASSERT_EQ(keys[vk], 0) << "keys[" << vk << "] after the release";
    window_procedure(event_of(platform_event_mouse_move, 0, -1, 70000));
    // The low 16 bits, unsigned.
    EXPECT_EQ(mouse_x, 65535) << "mouse_x";
    EXPECT_EQ(mouse_y, 4464) << "mouse_y";
    for (int button : {2, 7}) window_procedure(event_of(platform_event_button_down, 0, 0, 0, button));
    EXPECT_EQ(mouse_buttons[0], 0) << "mouse_buttons[0]";
    EXPECT_EQ(mouse_buttons[1], 0) << "mouse_buttons[1]";
    EXPECT_EQ(mouse_buttons[2], 1) << "mouse_buttons[2]";
    window_procedure(event_of(platform_event_button_up, 0, 0, 0, 2));
    EXPECT_EQ(mouse_buttons[2], 0) << "mouse_buttons[2] after its release";
    window_procedure(event_of(platform_event_resized, 0, 800, 0));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800) << "viewport width";
    EXPECT_EQ(viewport[3], 1) << "viewport height: a height of 0 is taken as 1";
}

// The frame paces first, then draws the overlay over the scene (the ground
// showing through it is the marker test's to see, M's drag e2e test_display's).
TEST_F(GameWindow, StatusHelpAndTheCensusEndShowOverTheScene) {
    for (int i = 2; i < max_units; ++i) unit_table[i].active = 0;  // no labels under the text
    local_view.map_sx = 40;
    local_view.map_sy = 27;
    selected_unit[0] = 12;
    unit_table[0].gold = 1234.567f;
    mouse_x = 0;  // the cursor 20 tiles left of the centre and 19 up
    mouse_y = 6;
    game_speed = 4;
    run_frame_at(5000);
    EXPECT_EQ(headless_last_sleep_ms(), 18) << "pause at speed 4";
    const char* const status[] = {"VARNHOLDSKIRMISHBUILD0042B", "Press H for help.", "map_sx=40 map_sy=27",
                                  "selected_unit=12", "map_ex=20 map_ey=46", "empire_0_gold=1234.57"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(text_at(screen.data(), 40, 420 - 20 * i), status[i]) << "status line " << i;
    headless_set_key(vk_h, true);  // each frame it is held flips the help, with a pause
    run_frame_at(5000);
    EXPECT_EQ(text_at(screen.data(), 40, 200), "M move window.") << "last help line";
    run_frame_at(5000);
    headless_set_key(vk_h, false);
    EXPECT_EQ(local_view.help_visible, 0) << "help_visible after two frames with H";
    EXPECT_EQ(headless_total_sleep_ms(), 18 * 3 + 800) << "pauses in ms: three frames, two H flips";
    // Frame 31 counts the units: the end line shows in the same frame.
    unit_table[0].dead = 1;
    run_frame_at(30);
    EXPECT_EQ(text_at(screen.data(), 100, 260), "Press F1 to start a new game.") << "end line";
    EXPECT_EQ(empire_1_won, 1) << "empire_1_won";
}

// At the opening view and with the view moved each way, every picture of a
// unit lands on its own tile: the picture, its index number, its health bar
// and its owner's flag.
TEST_F(GameWindow, MarkerFlagsNumbersAndBarsLandAroundTheirPointsWhereverTheViewIs) {
    for (int i = 2; i < max_units; ++i) unit_table[i].active = 0;
    const int slots[3] = {0, 1, 5}, flags[3][3] = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}};
    for (int i = 0; i < 3; ++i) place_unit(slots[i], i, 30, 25 + 7 * i, 27);
    unit_table[1].hp = 0.0f;
    mouse_x = 232;  // the tile five left and five down of the centre
    mouse_y = 306;
    const int views[][2] = {{32, 32}, {38, 32}, {26, 32}, {32, 36}, {32, 28}};
    for (const auto& view : views) {
        SCOPED_TRACE(::testing::Message() << "view centre " << view[0] << "," << view[1]);
        local_view.map_sx = view[0];
        local_view.map_sy = view[1];
        run_frame_at(5000);
        const std::vector<uint8_t> standing = screen;
        unit_table[1].dead = 1;  // the dead lie as blood
        run_frame_at(5000);
        unit_table[1].dead = 0;
        int x, y;
        landing(0.5f, 0.5f, 0.1f, &x, &y);
        EXPECT_EQ(at(x, y)[1], 0) << "green on the marked tile";
        EXPECT_EQ(at(x, y)[2], 0) << "blue on the marked tile";
        EXPECT_GT(at(x, y)[0], 20) << "red on the marked tile";
        landing(-1.5f, 0.5f, 0.0f, &x, &y);
        const Rgb beside = colour(x, y);
        EXPECT_NE(beside, (Rgb{beside[0], 0, 0})) << "the tile beside the marked one: only the cursor's tile is red";
        glTranslatef(5.0f, 5.0f, 0.0f);  // back from the marker's tile to the centre's
        for (int i = 0; i < 3; ++i) {
            const Unit& unit = unit_table[slots[i]];
            landing(unit.tile_x - view[0] + 0.5f, unit.tile_y - view[1] + 0.5f, local_view.unit_size / 2.0f, &x, &y);
            SCOPED_TRACE(::testing::Message() << "owner " << i << " at " << x << "," << y);
            ASSERT_TRUE(x >= 10 && x < screen_width - 15 && y >= 21 && y < screen_height - 16) << "on the screen";
            const Rgb flag{flags[i][0], flags[i][1], flags[i][2]};
            for (int dy : {0, -10, -20}) EXPECT_EQ(colour(x - 10, y + dy), flag) << "flag at " << dy;
            EXPECT_NE(colour(x - 10, y + 1), flag) << "below the flag's foot";
            EXPECT_NE(colour(x - 10, y - 21), flag) << "above the flag's top";
            // A fallen unit's bar is red end to end; a living one's green over red.
            EXPECT_EQ(colour(x, y + 16), i == 1 ? red : green) << "health bar's start";
            EXPECT_EQ(colour(x + 14, y + 16), i == 1 ? red : green) << "health bar's end";
            EXPECT_NE(colour(x + 15, y + 16), green) << "past the health bar's end";
            EXPECT_NE(colour(x + 15, y + 16), red) << "past the health bar's end";
            int ink = 0, ink_beside = 0;  // the index number's, in its 6 x 9 cell from the point, and one cell left
            for (int p = 0; p < 6 * 9; ++p) ink += colour(x + p % 6, y + 1 - p / 6) == white;
            for (int p = 0; p < 6 * 9; ++p) ink_beside += colour(x - 6 + p % 6, y + 1 - p / 6) == white;
            EXPECT_GT(ink, 3) << "white of the index number at its point";
            EXPECT_EQ(ink_beside, 0) << "white left of the index number";
            if (i != 1) continue;
            // Standing, unit 1 changes the scene only around its own point.
            int near = 0, far = 0;
            for (int p = 0; p < screen_width * screen_height; ++p)
                if (!overlay_pixels[p * 4 + 3] && std::memcmp(&screen[p * 4], &standing[p * 4], 3) != 0)
                    ++(std::abs(p % screen_width - x) < 60 && std::abs(p / screen_width - y) < 60 ? near : far);
            EXPECT_GT(near, 100) << "scene pixels near unit 1 that change when it stands up";
            EXPECT_EQ(far, 0) << "scene pixels far from unit 1 that change when it stands up";
        }
    }
}

// Without --seed a game deals from the calendar's second: games started a
// second apart are other deals. (F1's second is the golden loop game's.)
TEST(CalendarSeed, AGameWithoutASeedDealsFromTheClock) {
    GameOptions options;
    options.no_record = true;
    for (int64_t second : {1700000000, 1700000001}) {
        headless_reset();
        headless_set_calendar_seconds(second);
        headless_push_event(event_of(platform_event_quit));
        ASSERT_EQ(run_game(options), 0) << "exit status";
        EXPECT_EQ(last_deal_seed(), static_cast<uint32_t>(second)) << "the first deal's seed";
    }
    headless_reset();
}

// Black but for the bottom-left pixel red and the top-right blue; pixel
// (0, 0) spans -0.85 to -0.75: window x 48 to 80, y 36 to 60.
TEST_F(GameWindow, PicturesAreOneQuadPerPixelClippedToTheirRows) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_DEPTH_TEST);
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
            read_screen();
            SCOPED_TRACE(::testing::Message() << "height " << height << (standing ? " standing" : " lying"));
            EXPECT_EQ(colour(64, 48), red) << "middle of pixel (0, 0)";
            EXPECT_EQ(colour(50, 38), red) << "corner of pixel (0, 0)";
            EXPECT_EQ(colour(44, 48), black) << "left of pixel (0, 0)";
            EXPECT_EQ(colour(84, 48), black) << "right of pixel (0, 0)";
            EXPECT_EQ(colour(64, 32), black) << "below pixel (0, 0)";
            EXPECT_EQ(colour(544, height == 16 ? 408 : 120), blue) << "the last pixel";
        }
    }
    clear_image_slot(slot);
}

TEST_F(GameWindow, CullingReadsTheFirstCornerAndUnitsTheDiamondWithinTheirCaps) {
    const float firsts[4][3] = {{20.0f, 0, 0}, {19.99f, 0, 0}, {-10.0f, 5.0f, 4.9f}, {0, 0, 0}};
    for (int t = 0; t < 4; ++t) {
        std::memcpy(mesh_vertices[t].pos, firsts[t], sizeof firsts[t]);
        mesh_triangles[t].vertex[0] = t;
        mesh_triangles[t].vertex[1] = mesh_triangles[t].vertex[2] = t == 0 ? 3 : 0;
    }
    triangle_count = 4;
    cull_mesh();
    ASSERT_EQ(visible_triangle_count, 3) << "triangles nearer than 20";
    EXPECT_EQ(visible_triangles[0], 1u) << "first visible triangle";
    for (int t = 0; t < 30005; ++t) mesh_triangles[t].vertex[0] = 3;
    triangle_count = 30005;
    cull_mesh();
    EXPECT_EQ(visible_triangle_count, 29999) << "visible triangles at the cap";
    for (int i = 0; i < max_units; ++i) place_unit(i, 2, 30, 0, 0).active = i != 7;
    place_unit(3, 2, 30, 42, 23);  // distance 19
    place_unit(4, 2, 30, 22, 42);  // distance 20
    place_unit(7, 2, 30, 32, 32).active = 0;  // listed; the unit pass skips it
    collect_visible_units(32, 32);
    ASSERT_EQ(visible_unit_count, 2) << "units nearer than 20";
    EXPECT_EQ(visible_units[1], 7u) << "second visible unit";
    for (int i = 0; i < max_units; ++i) unit_table[i].tile_x = unit_table[i].tile_y = 32;
    collect_visible_units(32, 32);
    EXPECT_EQ(visible_unit_count, 255) << "visible units at the cap";
}

// Where the projection has no w, the point lands nowhere rather than at a
// division by zero.
TEST_F(GameWindow, ProjectionWithoutWLandsAtTheOrigin) {
    const GLdouble no_w[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(no_w);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    project_point(1.0f, 2.0f, 3.0f);
    const float* projected = mesh_vertices[max_vertices - 1].screen;
    EXPECT_EQ(projected[0], 0.0f) << "screen x without w";
    EXPECT_EQ(projected[1], 0.0f) << "screen y without w";
    EXPECT_EQ(projected[2], 0.0f) << "depth without w";
}
