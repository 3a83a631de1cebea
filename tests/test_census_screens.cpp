// The frame's rule steps in their order, the census that ends a game with
// the jump keys it honours, and what the player reads: status or help
// lines, the intro picture and the end screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/input_state.h"
#include "game/census.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "game/screens.h"
#include "platform/headless/headless_platform.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "tests/support/world_fixture.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

class Census : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        place_unit(0, owner_player, kind_mage, 32, 4).gold = 1000.0f;
        place_unit(1, owner_computer, kind_mage, 32, 59).gold = 1000.0f;
    }
    static void run_rules() {
        rules_before_cursor_marker();
        rules_after_cursor_marker();
    }
    static std::string line(int x, int y) { return text_at(overlay_pixels, x, y); }
    static void draw_screens() {
        clear_overlay();
        draw_status_and_screens();
    }
    // A square picture of one colour, red 200, in the intro's slot.
    static void load_intro(int side) {
        ASSERT_TRUE(alloc_image_table());
        Image& image = image_table[3];
        image.pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(side) * side * 3));
        for (int i = 0; i < side * side * 3; ++i) image.pixels[i] = i % 3 ? 10 : 200;
        image.width = image.height = side;
        image.bytes_per_pixel = 3;
    }
    static int red_at(int x, int y) { return overlay_pixels[(y * screen_width + x) * 4]; }
};

}  // namespace

TEST_F(Census, ASideWithOnlyMinesOrTheDeadHasLostAndTheFlagsStay) {
    struct Case {
        bool player_leader_dead, computer_leader_dead;
        int won_0, won_1, tie;
    };
    const Case cases[] = {{false, false, 0, 0, 0}, {true, false, 0, 1, 0}, {false, true, 1, 0, 0}, {true, true, 1, 1, 1}};
    place_unit(10, owner_player, kind_mine, 20, 20);
    place_unit(11, owner_player, 30, 21, 20).dead = 1;
    place_unit(12, owner_computer, 30, 21, 20).active = 0;
    for (const Case& c : cases) {
        empire_0_won = empire_1_won = tie = 0;
        unit_table[0].dead = c.player_leader_dead;
        unit_table[1].dead = c.computer_leader_dead;
        census();
        EXPECT_EQ(empire_0_won, c.won_0);
        EXPECT_EQ(empire_1_won, c.won_1);
        EXPECT_EQ(tie, c.tie);
        unit_table[0].dead = unit_table[1].dead = 0;
        census();
        EXPECT_EQ(tie, c.tie) << "only a new game clears the flags";
    }
}

TEST_F(Census, JumpKeysPutTheFirstCountedUnitTenTilesUpAndRight) {
    unit_table[0].dead = 1;
    place_unit(3, owner_player, kind_mine, 50, 50);
    place_unit(5, owner_player, 30, 4, 7);
    place_unit(6, owner_player, 30, 40, 40);
    headless_set_key(vk_backspace, true);
    census();
    EXPECT_EQ(map_sx, -6);
    EXPECT_EQ(map_sy, -3);
    headless_set_key(vk_0, true);  // the computer's jump lands last
    census();
    EXPECT_EQ(map_sx, 22);
    EXPECT_EQ(map_sy, 49);
}

// The census comes before the economy and the computer's plan, so the
// frame that ends a game pays nothing; both fire in frames 30k + 1.
TEST_F(Census, TheCensusEndsTheGameBeforeTheEconomyRuns) {
    const struct {
        int counter;
        bool player_alive, over;
        float gold;
    } frames[] = {{29, true, false, 1000.0f}, {30, true, false, 1000.5f}, {30, false, true, 1000.0f},
                  {499, true, false, 1000.0f}};
    for (const auto& f : frames) {
        unit_table[0].gold = unit_table[1].gold = 1000.0f;
        unit_table[0].dead = !f.player_alive;
        empire_0_won = empire_1_won = tie = 0;
        frame_counter = f.counter;
        run_rules();
        EXPECT_EQ(game_over(), f.over) << f.counter;
        EXPECT_EQ(unit_table[0].gold, f.gold) << f.counter;
        EXPECT_EQ(unit_table[1].gold, f.gold) << f.counter;
    }
}

// The buttons act on the old game, F1 deals mid-frame and the rest of the
// frame sees the new one: counter 0, no census, no economy.
TEST_F(Census, ButtonsComeBeforeF1WhichDealsMidFrame) {
    place_unit(5, owner_player, 30, 10, 10);
    map_sx = map_sy = 10;
    mouse_buttons[0] = 1;
    empire_1_won = 1;
    frame_counter = 30;
    headless_set_key(vk_f1, true);
    run_rules();
    EXPECT_EQ(selected_unit, 5);
    EXPECT_EQ(frame_counter, 0);
    EXPECT_FALSE(game_over());
    EXPECT_EQ(unit_table[0].gold, 1000.0f);
    headless_set_key(vk_f1, false);
    mouse_buttons[0] = 0;
    run_rules();
    EXPECT_EQ(unit_table[0].gold, 1000.5f);
}

TEST_F(Census, TheLaterFunctionKeyWinsAndSpaceSpinsWithTheMouse) {
    for (int vk : {vk_f2, vk_f4, vk_f5, vk_f7}) headless_set_key(vk, true);
    run_rules();
    EXPECT_EQ(unit_size, unit_size_large);
    EXPECT_EQ(game_speed, 3);
    headless_set_key(vk_f4, false);
    headless_set_key(vk_f7, false);
    for (int vk : {vk_f3, vk_f6}) headless_set_key(vk, true);
    run_rules();
    EXPECT_EQ(unit_size, unit_size_normal);
    EXPECT_EQ(game_speed, 2);
    headless_set_key(vk_f8, true);
    run_rules();
    EXPECT_EQ(game_speed, 4);
    game_speed = 1;
    camera_spin = 5.0f;
    mouse_x = 160;
    run_rules();
    EXPECT_EQ(camera_spin, 5.0f);
    headless_set_key(vk_space, true);
    run_rules();
    EXPECT_EQ(camera_spin, 90.0f);
}

TEST_F(Census, StatusLinesAreWrittenWhereThePlayerReadsThem) {
    map_sx = 17;
    map_sy = -2;
    selected_unit = 12;
    cursor_dx = -20;
    cursor_dy = 19;
    frame_counter = 3000;
    unit_table[0].gold = 1234.567f;
    draw_screens();
    EXPECT_EQ(line(40, 420), "VARNHOLDSKIRMISHBUILD0042B");
    EXPECT_EQ(line(40, 400), "Press H for help.");
    EXPECT_EQ(line(40, 380), "map_sx=17 map_sy=-2");
    EXPECT_EQ(line(40, 360), "selected_unit=12");
    EXPECT_EQ(line(40, 340), "map_ex=-3 map_ey=17");
    EXPECT_EQ(line(40, 320), "empire_0_gold=1234.57");
}

TEST_F(Census, HTogglesTheHelpEveryFrameItIsHeldWithAPauseEachTime) {
    frame_counter = 3000;
    headless_set_key(vk_h, true);
    draw_screens();
    EXPECT_EQ(help_visible, 1);
    EXPECT_EQ(headless_last_sleep_ms(), 400);
    const char* const help[] = {"VARNHOLDSKIRMISHBUILD0042B HELP", "F1 start new game.", "F2-F4 different unit size.",
                                "SHIFT-Dir. change view, PGDWN-PGUP zoom.", "Dir. move map.", "Space rotate with mouse.",
                                "0 and backspace, move screen over last unit.", "Left click recruit.",
                                "Right click move and attack.", "ESC quit.", "F5-F8 change speed.", "M move window."};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(line(40, 420 - 20 * i), help[i]);
    draw_screens();
    EXPECT_EQ(help_visible, 0);
    headless_set_key(vk_h, false);
    draw_screens();
    EXPECT_EQ(help_visible, 0);
    EXPECT_EQ(headless_sleep_count(), 2);
}

TEST_F(Census, TheIntroShowsForFrames0To2999UnlessTheHelpIsOpen) {
    load_intro(16);
    const int cases[][3] = {{2999, 0, 200}, {2999, 1, 0}, {3000, 0, 0}};
    for (const auto& c : cases) {
        frame_counter = c[0];
        help_visible = c[1];
        draw_screens();
        EXPECT_EQ(red_at(200, 200), c[2]) << c[0];
        EXPECT_EQ(red_at(215, 215), c[2]) << c[0];
        EXPECT_EQ(red_at(216, 200), 0);
    }
}

TEST_F(Census, TheEndScreenPutsThePictureOverTheEndLineAndClosesTheHelp) {
    const struct {
        int won_0, won_1, tie;
        const char* text;
    } ends[] = {{1, 0, 0, "Victory for empire 0. (player) VICTORY VICTORY VICTORY"},
                {0, 1, 0, "Victory for empire 1. (computer) VICTORY VICTORY VICTORY"},
                {0, 0, 1, "Victory is a tie. (player and computer) VICTORY VICTORY VICTORY"}};
    for (const auto& end : ends) {
        empire_0_won = end.won_0;
        empire_1_won = end.won_1;
        tie = end.tie;
        frame_counter = 5000;
        draw_screens();
        EXPECT_EQ(line(100, 280), end.text);
        EXPECT_EQ(line(100, 260), "Press F1 to start a new game.");
    }
    load_intro(100);
    help_visible = 1;
    draw_screens();
    EXPECT_EQ(help_visible, 0);
    EXPECT_EQ(line(40, 400), "F1 start new game.") << "the help of this frame still shows";
    // The picture (x 200 to 299) hides the end line but not the line after it.
    draw_screens();
    EXPECT_EQ(line(100, 280), "Victory is a");
    EXPECT_EQ(line(100, 260), "Press F1 to start a new game.");
}
