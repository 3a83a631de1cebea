// The window's start-up and teardown through the platform contract: each
// step refused in turn shows its one message after tearing down what was
// reached, in the window's own order, and the game ends with status 1.
#include <gtest/gtest.h>

#include <string>

#include "app/input_state.h"
#include "app/main_loop.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "world/world_arrays.h"

namespace {

// Teardown's steps and their messages, in the window's order.
struct TeardownStep {
    const char* step;
    const char* text;
};
const TeardownStep teardown[] = {
    {"release current", "Release Of DC And RC Failed."},
    {"delete context", "Release Rendering Context Failed."},
    {"release device context", "Release Device Context Failed."},
    {"destroy window", "Could Not Release hWnd."},
    {"unregister class", "Could Not Unregister Class."},
};
constexpr int teardown_count = sizeof teardown / sizeof teardown[0];

// A start-up step, its message, and how many of teardown's last steps have
// something to release when it fails; last, a start where nothing fails.
struct StartStep {
    const char* step;
    const char* text;
    int reached;
};
const StartStep start_steps[] = {
    {"class", "Failed To Register The Window Class.", 0},
    {"window", "Window Creation Error.", 1},
    {"device context", "Can't Create A GL Device Context.", 2},
    {"choose pixel format", "Can't Find A Suitable PixelFormat.", 3},
    {"set pixel format", "Can't Set The PixelFormat.", 3},
    {"context", "Can't Create A GL Rendering Context.", 3},
    {"current", "Can't Activate The GL Rendering Context.", 5},
    {nullptr, nullptr, 5},
};

// A start that wrongly went on would run the loop: Escape ends it there.
int run_game_until_escape() {
    PlatformEvent escape = {platform_event_key_down, vk_escape, 0, 0, 0};
    headless_push_event(escape);
    int status = run_game();
    keys[vk_escape] = 0;
    return status;
}

void expect_message(int index, PlatformMessageKind kind, const char* caption, const char* text,
                    const std::string& what) {
    EXPECT_EQ(headless_message_kind(index), kind) << what << ": kind of message " << index;
    EXPECT_EQ(headless_message_caption(index), caption) << what << ": caption of message " << index;
    EXPECT_EQ(headless_message_text(index), text) << what << ": text of message " << index;
}

}  // namespace

// Each step refused in turn: one message when teardown goes well; with
// every teardown step failing too, the messages tell what teardown reached:
// only what start-up made, in the window's order, all before the message of
// the step that failed. A start where nothing fails runs the loop, and its
// teardown reports each failed step and still runs the next. Either way the
// world and the path search are freed.
TEST(WindowStartUp, EachRefusedStepTearsDownWhatWasReachedThenShowsItsOneMessage) {
    for (bool teardown_fails : {false, true}) {
        for (const StartStep& start : start_steps) {
            const bool refused = start.step != nullptr;
            const int reached = teardown_fails ? start.reached : 0;
            const std::string what = std::string(refused ? start.step : "nothing refused") +
                                     (teardown_fails ? ", teardown failing" : "");
            headless_reset();
            for (int i = 0; teardown_fails && i < teardown_count; ++i)
                ASSERT_TRUE(headless_fail_step(teardown[i].step)) << teardown[i].step;
            if (refused) {
                ASSERT_TRUE(headless_fail_step(start.step)) << what;
            }
            EXPECT_EQ(run_game_until_escape(), refused ? 1 : 0) << what << ": exit status";
            EXPECT_EQ(headless_pending_events(), refused ? 1 : 0) << what << ": events left (1: the loop never ran)";
            EXPECT_EQ(headless_message_count(), reached + refused) << what << ": messages shown";
            for (int i = 0; i < reached; ++i)
                expect_message(i, platform_message_notice, "SHUTDOWN ERROR",
                               teardown[teardown_count - reached + i].text, what);
            if (refused) expect_message(reached, platform_message_error, "ERROR", start.text, what);
            EXPECT_FALSE(headless_window_open()) << what << ": window left open";
            EXPECT_EQ(unit_table, nullptr) << what << ": the world is freed";
            EXPECT_EQ(path_search, nullptr) << what << ": the path search is freed";
        }
    }
    headless_reset();
}
