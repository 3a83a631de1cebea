// The real loop on the headless backend: scripted events and keys, passes
// counted one by one, frames seen through the frame counter and the swaps.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>

#include "app/input_state.h"
#include "app/main_loop.h"
#include "app/window_procedure.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "render/image_table.h"
#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

PlatformEvent make_event(PlatformEventType type, int key = 0, int x = 0, int y = 0, int button = 0) {
    PlatformEvent event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    event.key = key;
    event.x = x;
    event.y = y;
    event.button = button;
    return event;
}

void push_key(PlatformEventType type, int vk) { headless_push_event(make_event(type, vk)); }

void clear_input_state() {
    std::memset(keys, 0, sizeof keys);
    std::memset(mouse_buttons, 0, sizeof mouse_buttons);
    mouse_x = 320;
    mouse_y = 240;
    window_active = 1;
}

// Runs passes until the queue is empty; each event costs exactly one pass.
void drain_events() {
    int guard = 0;
    while (headless_pending_events() > 0 && guard++ < 10000) ASSERT_FALSE(run_loop_pass());
}

class MainLoop : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        clear_input_state();
        game_speed = 1;
        help_visible = 0;
        ASSERT_TRUE(open_window("VARNHOLD", 640, 480, 16, false));
    }
    void TearDown() override {
        close_window();
        clear_input_state();
    }
};

}  // namespace

TEST_F(MainLoop, EachEventTakesAPassOfItsOwnAndNoFrameRunsInIt) {
    push_key(platform_event_key_down, vk_page_up);
    headless_push_event(make_event(platform_event_mouse_move, 0, 100, 200));
    headless_push_event(make_event(platform_event_other));
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(keys[vk_page_up], 1);
    EXPECT_EQ(headless_pending_events(), 2);
    drain_events();
    EXPECT_EQ(frame_counter, 0);
    EXPECT_EQ(headless_swap_count(), 0);
    EXPECT_FLOAT_EQ(camera_zoom, -30.0f);
    EXPECT_EQ(mouse_x, 100);
    EXPECT_EQ(mouse_y, 200);

    // The first quiet pass draws, swaps and only then zooms.
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 1);
    EXPECT_EQ(headless_swap_count(), 1);
    EXPECT_FLOAT_EQ(camera_zoom, -30.0f - 0.12f);
}

TEST_F(MainLoop, EscapeEndsThePassAfterItsFrameWithoutSwapping) {
    push_key(platform_event_key_down, vk_escape);
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 0);
    EXPECT_TRUE(run_loop_pass());
    EXPECT_EQ(frame_counter, 1);
    EXPECT_EQ(headless_swap_count(), 0);
}

TEST_F(MainLoop, EscapeWhileMinimisedEndsWithoutAFrame) {
    headless_push_event(make_event(platform_event_minimized));
    push_key(platform_event_key_down, vk_escape);
    drain_events();
    EXPECT_TRUE(run_loop_pass());
    EXPECT_EQ(frame_counter, 0);
    EXPECT_EQ(headless_swap_count(), 0);
}

TEST_F(MainLoop, EscapeReleasedBeforeAQuietPassDoesNotEndTheLoop) {
    // Input is polled, not queued: a press and release handled back to back are never seen.
    push_key(platform_event_key_down, vk_escape);
    push_key(platform_event_key_up, vk_escape);
    drain_events();
    EXPECT_FALSE(run_loop_pass());
    EXPECT_EQ(headless_swap_count(), 1);
}

TEST_F(MainLoop, QuitEventEndsTheLoopWithExitCodeZero) {
    push_key(platform_event_key_down, vk_page_down);
    headless_push_event(make_event(platform_event_quit));
    // Never reached: the loop stops at the quit event.
    headless_push_event(make_event(platform_event_other));
    EXPECT_EQ(run_main_loop(), 0);
    EXPECT_EQ(headless_pending_events(), 1);
    EXPECT_EQ(frame_counter, 0);
    EXPECT_EQ(headless_swap_count(), 0);
    EXPECT_FLOAT_EQ(camera_zoom, -30.0f);
}

TEST_F(MainLoop, MinimisedStopsFramesButKeepsSwappingAndApplyingKeys) {
    ASSERT_FALSE(run_loop_pass());
    ASSERT_EQ(frame_counter, 1);

    headless_push_event(make_event(platform_event_minimized));
    push_key(platform_event_key_down, vk_page_up);
    push_key(platform_event_key_down, vk_right);
    drain_events();
    EXPECT_EQ(window_active, 0);
    const int swaps = headless_swap_count();
    const int64_t slept = headless_total_sleep_ms();
    float zoom = camera_zoom;
    for (int pass = 0; pass < 5; ++pass) {
        ASSERT_FALSE(run_loop_pass());
        zoom -= 0.12f;
    }
    EXPECT_EQ(frame_counter, 1);
    EXPECT_EQ(headless_swap_count(), swaps + 5);
    EXPECT_FLOAT_EQ(camera_zoom, zoom);
    EXPECT_EQ(map_sx, 32 + 5);
    EXPECT_EQ(headless_total_sleep_ms(), slept + 5 * 100);

    // Restoring brings the frames back; the keys held meanwhile are still held.
    headless_push_event(make_event(platform_event_restored));
    drain_events();
    EXPECT_EQ(window_active, 1);
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(frame_counter, 2);
    EXPECT_EQ(map_sx, 32 + 6);
}

TEST_F(MainLoop, ShiftWithArrowsTurnsTheCameraWithoutScrolling) {
    headless_set_key(vk_shift, true);
    push_key(platform_event_key_down, vk_right);
    push_key(platform_event_key_down, vk_up);
    drain_events();
    const int64_t slept = headless_total_sleep_ms();
    float yaw = camera_yaw, pitch = camera_pitch;
    for (int pass = 0; pass < 3; ++pass) {
        ASSERT_FALSE(run_loop_pass());
        yaw += 0.5f;
        pitch -= 0.5f;
    }
    EXPECT_FLOAT_EQ(camera_yaw, yaw);
    EXPECT_FLOAT_EQ(camera_pitch, pitch);
    EXPECT_EQ(map_sx, 32);
    EXPECT_EQ(map_sy, 32);
    EXPECT_EQ(headless_total_sleep_ms(), slept);

    // Shift let go with the arrows still held: they scroll again, one tile
    // each with a pause each, and the camera stays where it was.
    headless_set_key(vk_shift, false);
    const int sleeps = headless_sleep_count();
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(map_sx, 33);
    EXPECT_EQ(map_sy, 33);
    EXPECT_EQ(headless_sleep_count(), sleeps + 2);
    EXPECT_EQ(headless_last_sleep_ms(), 100);
    EXPECT_EQ(headless_total_sleep_ms(), slept + 200);
    EXPECT_FLOAT_EQ(camera_yaw, yaw);
    EXPECT_FLOAT_EQ(camera_pitch, pitch);
}

TEST_F(MainLoop, ShiftWithDownAndLeftTurnsTheOtherWay) {
    headless_set_key(vk_shift, true);
    push_key(platform_event_key_down, vk_left);
    push_key(platform_event_key_down, vk_down);
    drain_events();
    ASSERT_FALSE(run_loop_pass());
    EXPECT_FLOAT_EQ(camera_yaw, -0.5f);
    EXPECT_FLOAT_EQ(camera_pitch, -45.0f + 0.5f);
    headless_set_key(vk_shift, false);
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(map_sx, 31);
    EXPECT_EQ(map_sy, 31);
}

TEST_F(MainLoop, ArrowAloneScrollsOneTileWithAHundredMillisecondPause) {
    push_key(platform_event_key_down, vk_right);
    drain_events();
    const int sleeps = headless_sleep_count();
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(map_sx, 33);
    EXPECT_EQ(headless_sleep_count(), sleeps + 1);
    EXPECT_EQ(headless_last_sleep_ms(), 100);
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(map_sx, 34);
    push_key(platform_event_key_up, vk_right);
    drain_events();
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(map_sx, 34);
    EXPECT_FLOAT_EQ(camera_yaw, 0.0f);
}

TEST_F(MainLoop, PageUpForNPassesMovesTheZoomByNTimesTheStepWithoutLimit) {
    headless_push_event(make_event(platform_event_minimized));
    push_key(platform_event_key_down, vk_page_up);
    drain_events();
    const int passes = 400;
    float zoom = camera_zoom;
    for (int pass = 0; pass < passes; ++pass) {
        ASSERT_FALSE(run_loop_pass());
        zoom -= 0.12f;
    }
    EXPECT_FLOAT_EQ(camera_zoom, zoom);
    EXPECT_NEAR(camera_zoom, -30.0f - passes * 0.12f, 0.01f);

    push_key(platform_event_key_up, vk_page_up);
    push_key(platform_event_key_down, vk_page_down);
    drain_events();
    ASSERT_FALSE(run_loop_pass());
    EXPECT_FLOAT_EQ(camera_zoom, zoom + 0.12f);
}

TEST_F(MainLoop, EKeyPausesHalfASecondEveryPass) {
    headless_push_event(make_event(platform_event_minimized));
    push_key(platform_event_key_down, vk_e);
    drain_events();
    const int64_t slept = headless_total_sleep_ms();
    ASSERT_FALSE(run_loop_pass());
    ASSERT_FALSE(run_loop_pass());
    EXPECT_EQ(headless_total_sleep_ms(), slept + 1000);
    EXPECT_EQ(headless_last_sleep_ms(), 500);
}

TEST_F(MainLoop, WindowProcedureKeepsTheInputState) {
    // Codes outside the table are dropped; a release never pressed stores 0.
    window_procedure(make_event(platform_event_key_down, 300));
    window_procedure(make_event(platform_event_key_down, -1));
    window_procedure(make_event(platform_event_key_up, 'Q'));
    EXPECT_EQ(keys['Q'], 0);
    for (int vk = 0; vk < 256; ++vk) ASSERT_EQ(keys[vk], 0) << vk;

    // Positions are the unsigned 16-bit halves of the message word.
    window_procedure(make_event(platform_event_mouse_move, 0, -1, 70000));
    EXPECT_EQ(mouse_x, 65535);
    EXPECT_EQ(mouse_y, 70000 - 65536);

    window_procedure(make_event(platform_event_button_down, 0, 0, 0, 2));
    window_procedure(make_event(platform_event_button_down, 0, 0, 0, 7));
    EXPECT_EQ(mouse_buttons[0], 0);
    EXPECT_EQ(mouse_buttons[1], 0);
    EXPECT_EQ(mouse_buttons[2], 1);
    window_procedure(make_event(platform_event_button_up, 0, 0, 0, 2));
    EXPECT_EQ(mouse_buttons[2], 0);

    window_procedure(make_event(platform_event_resized, 0, 800, 0));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 1);
}

TEST(Entry, RunsTheWholeProgramAndTearsItDown) {
    headless_reset();
    clear_input_state();
    headless_push_event(make_event(platform_event_mouse_move, 0, 10, 10));
    push_key(platform_event_key_down, vk_escape);
    EXPECT_EQ(run_game(), 0);
    EXPECT_EQ(fullscreen, 0);
    EXPECT_EQ(frame_counter, 1);
    EXPECT_FALSE(headless_window_open());
    EXPECT_FALSE(headless_cursor_visible());
    EXPECT_EQ(unit_table, nullptr);
    EXPECT_EQ(image_table, nullptr);
    EXPECT_EQ(path_search, nullptr);
    EXPECT_EQ(headless_message_count(), 0);
    EXPECT_EQ(headless_sound_count(), 1);
    clear_input_state();
}

TEST(Entry, ClosedWindowReturnsZero) {
    headless_reset();
    clear_input_state();
    headless_push_event(make_event(platform_event_quit));
    EXPECT_EQ(run_game(), 0);
    EXPECT_EQ(frame_counter, 0);
    EXPECT_FALSE(headless_window_open());
}

TEST(Entry, FailedWindowEndsAtOnceWithItsMessage) {
    const char* steps[] = {"window", "context", "current"};
    const char* texts[] = {"Window Creation Error.", "Can't Create A GL Rendering Context.",
                           "Can't Activate The GL Rendering Context."};
    for (int i = 0; i < 3; ++i) {
        headless_reset();
        clear_input_state();
        headless_fail_step(steps[i]);
        headless_push_event(make_event(platform_event_other));
        EXPECT_EQ(run_game(), 0) << steps[i];
        // The loop never ran and nothing is left open.
        EXPECT_EQ(headless_pending_events(), 1) << steps[i];
        EXPECT_EQ(headless_message_count(), 1) << steps[i];
        EXPECT_EQ(headless_last_message_caption(), "ERROR") << steps[i];
        EXPECT_EQ(headless_last_message_text(), texts[i]) << steps[i];
        EXPECT_FALSE(headless_window_open()) << steps[i];
        EXPECT_EQ(unit_table, nullptr) << steps[i];
        EXPECT_EQ(path_search, nullptr) << steps[i];
        EXPECT_EQ(headless_sound_count(), 0) << steps[i];
    }
    headless_reset();
}

TEST(Entry, FullScreenRequestFallsBackToAWindowOrEnds) {
    headless_reset();
    headless_set_yes_no_answer(true);
    ASSERT_TRUE(open_window("VARNHOLD", 640, 480, 16, true));
    EXPECT_EQ(fullscreen, 0);
    EXPECT_EQ(headless_last_message_caption(), "Kavo GL");
    EXPECT_EQ(headless_last_message_text(),
              "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?");
    close_window();

    headless_reset();
    headless_set_yes_no_answer(false);
    EXPECT_FALSE(open_window("VARNHOLD", 640, 480, 16, true));
    EXPECT_EQ(headless_last_message_caption(), "ERROR");
    EXPECT_EQ(headless_last_message_text(), "Program Will Now Close.");
    EXPECT_FALSE(headless_window_open());
    fullscreen = 0;
    headless_reset();
}
