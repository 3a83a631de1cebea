// The real loop on the headless backend: one event per pass, frames and
// swaps on quiet passes, the view keys after the swap, and the program's
// start and end.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>

#include "app/input_state.h"
#include "app/main_loop.h"
#include "app/window_procedure.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

PlatformEvent event_of(PlatformEventType type, int key = 0, int x = 0, int y = 0, int button = 0) {
    PlatformEvent event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    event.key = key;
    event.x = x;
    event.y = y;
    event.button = button;
    return event;
}

void push(PlatformEventType type, int key = 0) { headless_push_event(event_of(type, key)); }

class MainLoop : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        std::memset(keys, 0, sizeof keys);
        std::memset(mouse_buttons, 0, sizeof mouse_buttons);
        window_active = 1;
        ASSERT_TRUE(open_window("VARNHOLD", 640, 480, 16, false));
    }
    void TearDown() override {
        close_window();
        std::memset(keys, 0, sizeof keys);
        headless_reset();
    }
    static void drain() {
        for (int guard = 0; headless_pending_events() > 0 && guard < 100; ++guard) ASSERT_FALSE(run_loop_pass());
    }
};

}  // namespace

TEST_F(MainLoop, EachEventTakesAPassThenAQuietPassDrawsSwapsAndZooms) {
    push(platform_event_key_down, vk_page_up);
    headless_push_event(event_of(platform_event_mouse_move, 0, 100, 200));
    push(platform_event_other);
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(headless_pending_events(), 2);
    drain();
    EXPECT_EQ(frame_counter, 0);
    EXPECT_EQ(headless_swap_count(), 0);
    EXPECT_EQ(mouse_y, 200);
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 1);
    EXPECT_EQ(headless_swap_count(), 1);
    EXPECT_FLOAT_EQ(camera_zoom, -30.12f);
}

TEST_F(MainLoop, EscapeEndsThePassAfterItsFrameWithoutASwapAndMinimisedWithoutAFrame) {
    for (bool minimised : {false, true}) {
        if (minimised) push(platform_event_minimized);
        push(platform_event_key_down, vk_escape);
        drain();
        const int frames = frame_counter;
        EXPECT_TRUE(run_loop_pass());
        EXPECT_EQ(frame_counter, frames + (minimised ? 0 : 1));
        EXPECT_EQ(headless_swap_count(), 0);
    }
    // Polled, not queued: a press and release handled back to back are never seen.
    push(platform_event_restored);
    push(platform_event_key_up, vk_escape);
    drain();
    EXPECT_FALSE(run_loop_pass());
    EXPECT_EQ(headless_swap_count(), 1);
    push(platform_event_quit);  // the loop stops at once, the rest unread
    push(platform_event_other);
    EXPECT_EQ(run_main_loop(), 0);
    EXPECT_EQ(headless_pending_events(), 1);
}


TEST_F(MainLoop, MinimisedPassesSwapAndApplyTheViewKeysWithoutFrames) {
    push(platform_event_minimized);
    push(platform_event_key_down, vk_right);
    drain();
    for (int pass = 0; pass < 3; ++pass) ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 0);
    EXPECT_EQ(headless_swap_count(), 3);
    EXPECT_EQ(map_sx, 35);
    push(platform_event_restored);
    drain();
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 1);
}

TEST_F(MainLoop, ViewKeysZoomTurnScrollAndPause) {
    const struct {
        int vk;
        bool shift;
        float zoom, pitch, yaw;
        int sx, sy, slept;
    } cases[] = {
        {vk_page_up, false, -0.12f, 0, 0, 0, 0, 0}, {vk_page_down, false, 0.12f, 0, 0, 0, 0, 0},
        {vk_e, false, 0, 0, 0, 0, 0, 500},          {vk_up, false, 0, 0, 0, 0, 1, 100},
        {vk_down, false, 0, 0, 0, 0, -1, 100},      {vk_right, false, 0, 0, 0, 1, 0, 100},
        {vk_left, false, 0, 0, 0, -1, 0, 100},      {vk_up, true, 0, -0.5f, 0, 0, 0, 0},
        {vk_down, true, 0, 0.5f, 0, 0, 0, 0},       {vk_right, true, 0, 0, 0.5f, 0, 0, 0},
        {vk_left, true, 0, 0, -0.5f, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "key " << c.vk << (c.shift ? " with shift" : ""));
        headless_reset();
        headless_set_key(vk_shift, c.shift);
        keys[c.vk] = 1;
        camera_zoom = camera_pitch = camera_yaw = 0.0f;
        map_sx = map_sy = 0;
        apply_view_keys();
        keys[c.vk] = 0;
        EXPECT_FLOAT_EQ(camera_zoom, c.zoom);
        EXPECT_FLOAT_EQ(camera_pitch, c.pitch);
        EXPECT_FLOAT_EQ(camera_yaw, c.yaw);
        EXPECT_EQ(map_sx, c.sx);
        EXPECT_EQ(map_sy, c.sy);
        EXPECT_EQ(headless_total_sleep_ms(), c.slept);
    }
}

TEST_F(MainLoop, WindowProcedureKeepsTheInputState) {
    window_procedure(event_of(platform_event_key_down, 300));
    window_procedure(event_of(platform_event_key_down, -1));
    window_procedure(event_of(platform_event_key_down, 'Q'));
    EXPECT_EQ(keys['Q'], 1);
    window_procedure(event_of(platform_event_key_up, 'Q'));
    for (int vk = 0; vk < 256; ++vk) ASSERT_EQ(keys[vk], 0) << vk;
    window_procedure(event_of(platform_event_mouse_move, 0, -1, 70000));
    EXPECT_EQ(mouse_x, 65535);
    EXPECT_EQ(mouse_y, 70000 - 65536);
    window_procedure(event_of(platform_event_button_down, 0, 0, 0, 2));
    window_procedure(event_of(platform_event_button_down, 0, 0, 0, 7));
    EXPECT_EQ(mouse_buttons[0] + mouse_buttons[1], 0);
    EXPECT_EQ(mouse_buttons[2], 1);
    window_procedure(event_of(platform_event_button_up, 0, 0, 0, 2));
    EXPECT_EQ(mouse_buttons[2], 0);
    window_procedure(event_of(platform_event_resized, 0, 800, 0));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2] * 10 + viewport[3], 8001) << "a height of 0 is taken as 1";
}

TEST(Entry, RunsTheWholeProgramAndEndsEachFailedStartWithItsMessage) {
    headless_reset();
    headless_push_event(event_of(platform_event_key_down, vk_escape));
    EXPECT_EQ(run_game(), 0);
    EXPECT_EQ(frame_counter, 1);
    EXPECT_FALSE(headless_window_open());
    EXPECT_EQ(unit_table, nullptr);
    EXPECT_EQ(path_search, nullptr);
    EXPECT_EQ(headless_sound_count(), 1);
    keys[vk_escape] = 0;
    const char* const failures[][2] = {{"window", "Window Creation Error."},
                                       {"context", "Can't Create A GL Rendering Context."},
                                       {"current", "Can't Activate The GL Rendering Context."}};
    for (const auto& failure : failures) {
        headless_reset();
        headless_fail_step(failure[0]);
        push(platform_event_other);
        EXPECT_EQ(run_game(), 0);
        EXPECT_EQ(headless_pending_events(), 1) << failure[0];
        EXPECT_EQ(headless_last_message_caption(), "ERROR");
        EXPECT_EQ(headless_last_message_text(), failure[1]);
        EXPECT_FALSE(headless_window_open());
        EXPECT_EQ(unit_table, nullptr);
    }
    headless_reset();
}

