// The census that ends a game, the jump keys it honours, and what the
// player reads: status or help lines, the intro picture and the end screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/input_state.h"
#include "game/census.h"
#include "game/commands.h"
#include "game/economy.h"
#include "game/screens.h"
#include "platform/headless/headless_platform.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"
#include "tests/support/unit_placement.h"

namespace {

constexpr int intro_slot = 3;
constexpr uint8_t intro_red = 200, intro_green = 10, intro_blue = 30;
constexpr size_t overlay_bytes = static_cast<size_t>(screen_width) * screen_height * 4;

class CensusTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        ASSERT_TRUE(alloc_world());
        ASSERT_TRUE(alloc_image_table());
        place_unit(0, owner_player, kind_mage, 32, 4);
        place_unit(1, owner_computer, kind_mage, 32, 59);
        unit_table[0].gold = 1000.0f;
        unit_table[1].gold = 1000.0f;
        empire_0_won = empire_1_won = tie = 0;
        help_visible = 0;
        frame_counter = 1;
        map_sx = map_sy = 32;
        selected_unit = 0;
        cursor_dx = cursor_dy = 0;
    }
    void TearDown() override {
        help_visible = 0;
        free_world();  // the image table goes with it
    }

    // A square intro picture of one colour.
    static void load_intro_picture(int side) {
        Image& image = image_table[intro_slot];
        image.pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(side) * side * 3));
        for (int i = 0; i < side * side; ++i) {
            image.pixels[i * 3] = intro_red;
            image.pixels[i * 3 + 1] = intro_green;
            image.pixels[i * 3 + 2] = intro_blue;
        }
        image.width = image.height = side;
        image.bytes_per_pixel = 3;
    }

    static std::vector<uint8_t> overlay() { return std::vector<uint8_t>(overlay_pixels, overlay_pixels + overlay_bytes); }

    static bool pixel_written(int x, int y) { return overlay_pixels[(static_cast<size_t>(y) * screen_width + x) * 4 + 3] != 0; }

    static bool pixel_is_intro(int x, int y) {
        const uint8_t* p = overlay_pixels + (static_cast<size_t>(y) * screen_width + x) * 4;
        return p[0] == intro_red && p[1] == intro_green && p[2] == intro_blue;
    }

    // What the overlay holds after drawing these lines in white and nothing else.
    struct Line {
        int x, y;
        const char* text;
    };
    static std::vector<uint8_t> overlay_of(std::initializer_list<Line> lines) {
        clear_overlay();
        for (const Line& line : lines) {
            format_text("%s", line.text);
            draw_text(line.x, line.y, 255, 255, 255);
        }
        return overlay();
    }

    static std::vector<uint8_t> screens_drawn() {
        clear_overlay();
        draw_status_and_screens();
        return overlay();
    }
};

}  // namespace

TEST_F(CensusTest, ASideWithOnlyMinesOrDeadUnitsHasLost) {
    place_unit(10, owner_player, kind_mine, 20, 20);
    place_unit(11, owner_player, 30, 21, 20).dead = 1;
    place_unit(12, owner_player, 30, 21, 20).active = 0;
    unit_table[0].dead = 1;
    census();
    EXPECT_EQ(empire_1_won, 1);
    EXPECT_EQ(empire_0_won, 0);
    EXPECT_EQ(tie, 0);
    EXPECT_TRUE(game_over());

    // Once set the flag stays, even if the player somehow has a unit again.
    unit_table[0].dead = 0;
    census();
    EXPECT_EQ(empire_1_won, 1);
}

TEST_F(CensusTest, BothSidesEmptySetsAllThreeFlags) {
    unit_table[0].dead = 1;
    unit_table[1].dead = 1;
    census();
    EXPECT_EQ(empire_0_won, 1);
    EXPECT_EQ(empire_1_won, 1);
    EXPECT_EQ(tie, 1);
}

TEST_F(CensusTest, LivingLeadersEndNothing) {
    census();
    EXPECT_FALSE(game_over());
}

TEST_F(CensusTest, JumpKeysCentreOnTheFirstCountedUnitOfEachSide) {
    unit_table[0].dead = 1;                          // not counted, so not jumped to
    place_unit(3, owner_player, kind_mine, 50, 50);       // mines are not counted either
    place_unit(5, owner_player, 30, 4, 7);                // the first counted: the jump is not clamped
    place_unit(6, owner_player, 30, 40, 40);
    place_unit(8, owner_computer, 30, 20, 30);
    headless_set_key(vk_backspace, true);
    census();
    EXPECT_EQ(map_sx, -6);
    EXPECT_EQ(map_sy, -3);

    // Both keys: the computer's jump lands last, on unit 1, its first.
    headless_set_key(vk_0, true);
    census();
    EXPECT_EQ(map_sx, 22);
    EXPECT_EQ(map_sy, 49);

    headless_set_key(vk_backspace, false);
    headless_set_key(vk_0, false);
    map_sx = map_sy = 32;
    census();
    EXPECT_EQ(map_sx, 32);
    EXPECT_EQ(map_sy, 32);
}

TEST_F(CensusTest, StatusLinesAreWrittenWhereAndAsThePlayerReadsThem) {
    map_sx = 17;
    map_sy = -2;
    selected_unit = 12;
    cursor_dx = -20;
    cursor_dy = 19;
    frame_counter = 3000;  // no intro picture
    unit_table[0].gold = 1234.567f;
    const std::vector<uint8_t> expected = overlay_of({
        {40, 420, "VARNHOLDSKIRMISHBUILD0042B"},
        {40, 400, "Press H for help."},
        {40, 380, "map_sx=17 map_sy=-2"},
        {40, 360, "selected_unit=12"},
        {40, 340, "map_ex=-3 map_ey=17"},
        {40, 320, "empire_0_gold=1234.57"},
    });
    EXPECT_TRUE(screens_drawn() == expected);
}

TEST_F(CensusTest, TheGoldLineShowsTheFirstIncomeWithTwoDecimals) {
    new_game_from_seed(5);
    economy_tick();
    draw_status_and_screens();
    EXPECT_STREQ(text_buffer, "empire_0_gold=1000.50");
}

TEST_F(CensusTest, HTogglesTheHelpEveryFrameItIsHeldWithAPauseEachTime) {
    frame_counter = 3000;
    headless_set_key(vk_h, true);
    const std::vector<uint8_t> help = screens_drawn();
    EXPECT_EQ(help_visible, 1);
    EXPECT_EQ(headless_sleep_count(), 1);
    EXPECT_EQ(headless_last_sleep_ms(), 400);
    const std::vector<uint8_t> expected = overlay_of({
        {40, 420, "VARNHOLDSKIRMISHBUILD0042B HELP"},
        {40, 400, "F1 start new game."},
        {40, 380, "F2-F4 different unit size."},
        {40, 360, "SHIFT-Dir. change view, PGDWN-PGUP zoom."},
        {40, 340, "Dir. move map."},
        {40, 320, "Space rotate with mouse."},
        {40, 300, "0 and backspace, move screen over last unit."},
        {40, 280, "Left click recruit."},
        {40, 260, "Right click move and attack."},
        {40, 240, "ESC quit."},
        {40, 220, "F5-F8 change speed."},
        {40, 200, "M move window."},
    });
    EXPECT_TRUE(help == expected);

    draw_status_and_screens();
    EXPECT_EQ(help_visible, 0);
    EXPECT_EQ(headless_total_sleep_ms(), 800);

    headless_set_key(vk_h, false);
    draw_status_and_screens();
    EXPECT_EQ(help_visible, 0);
    EXPECT_EQ(headless_sleep_count(), 2);
}

TEST_F(CensusTest, TheIntroPictureShowsForTheFirst2999FramesUnlessTheHelpIsOpen) {
    load_intro_picture(16);
    frame_counter = 2999;
    screens_drawn();
    EXPECT_TRUE(pixel_is_intro(200, 200));
    EXPECT_TRUE(pixel_is_intro(215, 215));
    EXPECT_FALSE(pixel_written(216, 200));

    help_visible = 1;
    screens_drawn();
    EXPECT_FALSE(pixel_written(200, 200));

    help_visible = 0;
    frame_counter = 3000;
    screens_drawn();
    EXPECT_FALSE(pixel_written(200, 200));
}

TEST_F(CensusTest, TheEndScreenStacksTheThreeLinesUnderThePictureAndClosesTheHelp) {
    load_intro_picture(100);  // reaches from y 200 to 299, over the end lines at 280
    frame_counter = 5000;
    empire_0_won = empire_1_won = tie = 1;
    help_visible = 1;
    const std::vector<uint8_t> drawn = screens_drawn();
    EXPECT_EQ(help_visible, 0);
    EXPECT_STREQ(text_buffer, "Press F1 to start a new game.");

    // The help lines (it was open in this frame), the three end lines in
    // their order at one place, the picture over them, then the last line.
    const char* const help[] = {"VARNHOLDSKIRMISHBUILD0042B HELP", "F1 start new game.",
                                "F2-F4 different unit size.", "SHIFT-Dir. change view, PGDWN-PGUP zoom.",
                                "Dir. move map.", "Space rotate with mouse.",
                                "0 and backspace, move screen over last unit.", "Left click recruit.",
                                "Right click move and attack.", "ESC quit.", "F5-F8 change speed.",
                                "M move window."};
    clear_overlay();
    int y = 420;
    for (const char* line : help) {
        format_text("%s", line);
        draw_text(40, y, 255, 255, 255);
        y -= 20;
    }
    for (const char* line : {"Victory for empire 0. (player) VICTORY VICTORY VICTORY",
                             "Victory for empire 1. (computer) VICTORY VICTORY VICTORY",
                             "Victory is a tie. (player and computer) VICTORY VICTORY VICTORY"}) {
        format_text("%s", line);
        draw_text(100, 280, 255, 255, 255);
    }
    draw_image(200, 200, intro_slot);
    format_text("Press F1 to start a new game.");
    draw_text(100, 260, 255, 255, 255);
    EXPECT_TRUE(drawn == overlay());
    EXPECT_TRUE(pixel_is_intro(250, 275)) << "the picture covers the end lines";

    // The next frame shows the status lines again: the help stays closed.
    screens_drawn();
    EXPECT_EQ(help_visible, 0);
    EXPECT_FALSE(drawn == overlay());
}

TEST_F(CensusTest, OnlyTheComputersVictoryLineWhenThePlayerLost) {
    frame_counter = 4000;
    empire_1_won = 1;
    unit_table[0].gold = 12.0f;
    // No picture in slot 3: the end screen is the status lines and two lines.
    const std::vector<uint8_t> expected = overlay_of({
        {40, 420, "VARNHOLDSKIRMISHBUILD0042B"},
        {40, 400, "Press H for help."},
        {40, 380, "map_sx=32 map_sy=32"},
        {40, 360, "selected_unit=0"},
        {40, 340, "map_ex=32 map_ey=32"},
        {40, 320, "empire_0_gold=12.00"},
        {100, 280, "Victory for empire 1. (computer) VICTORY VICTORY VICTORY"},
        {100, 260, "Press F1 to start a new game."},
    });
    EXPECT_TRUE(screens_drawn() == expected);
}
