// The rules of play on the real table with pinned seeds: the mouse commands,
// the unit slice and blows, the computer's picks, the census, the function
// keys, and the screens read back as text.
#include <gtest/gtest.h>

#include <cstdlib>

#include "game/census.h"
#include "game/commands.h"
#include "game/economy.h"
#include "game/frame_rules.h"
#include "game/opponent.h"
#include "game/screens.h"
#include "game/units.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "tests/support/world_fixture.h"

namespace {

class Rules : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        place_unit(0, owner_player, kind_mage, 32, 4).gold = 1000.0f;
        place_unit(1, owner_computer, kind_mage, 32, 59).gold = 1000.0f;
    }
    static Unit& ordered(Unit& unit, uint16_t order, int target = 0, int goal_x = 0, int goal_y = 0) {
        unit.order = order;
        unit.target_unit = static_cast<int16_t>(target);
        unit.goal_x = static_cast<uint16_t>(goal_x);
        unit.goal_y = static_cast<uint16_t>(goal_y);
        return unit;
    }
    static Unit& mine(int slot, int owner, int x, int y, float gold) {
        Unit& unit = place_unit(slot, owner, kind_mine, x, y);
        unit.gold = gold;
        return unit;
    }
    static void visit_first_slice() {  // slots 0 to 7 come up when frame_counter % 33 == 0
        frame_counter = 33;
        update_unit_slice();
    }
    static std::string line(int x, int y) { return text_at(overlay_pixels, x, y); }
    static void draw_screens() {
        clear_overlay();
        draw_status_and_screens();
    }
};

}  // namespace

TEST_F(Rules, CursorTileCountsYUpAndTruncatesTowardZero) {
    const int cases[][4] = {{0, 0, -20, 20},   {639, 479, 19, -19}, {0, 480, -20, -20}, {304, 252, -1, -1},
                            {305, 251, 0, 0}, {335, 229, 0, 0},    {336, 227, 1, 1}};
    for (const auto& c : cases) {
        mouse_x = c[0];
        mouse_y = c[1];
        update_cursor();
        EXPECT_EQ(cursor_dx * 100 + cursor_dy, c[2] * 100 + c[3]) << c[0] << "," << c[1];
    }
}

// Each neutral on the tile costs 10 and a draw (1 in 6 here); the selection
// ends on the highest player unit, one that joined in this pass included.
TEST_F(Rules, TheLeftButtonPaysADrawPerNeutralAndSelectsTheHighestPlayerUnit) {
    const int cases[][3] = {{1, owner_neutral, 9}, {5, owner_player, 12}};  // seed, owner of 12, selected
    for (const auto& c : cases) {
        place_unit(5, owner_player, 30, 32, 32);
        place_unit(6, owner_neutral, 41, 32, 32);
        place_unit(9, owner_player, 31, 32, 32);
        place_unit(12, owner_neutral, 41, 32, 32);
        place_unit(14, owner_computer, 30, 32, 32);
        place_unit(15, owner_neutral, 41, 32, 32).dead = 1;
        place_unit(16, owner_neutral, 41, 32, 33);
        place_unit(100, owner_player, 41, 32, 32).active = 0;
        unit_table[0].gold = 1000.0f;
        EXPECT_EQ(draws_made(c[0], handle_left_button), 2);
        EXPECT_EQ(unit_table[0].gold, 980.0f);
        EXPECT_EQ(unit_table[6].owner, owner_neutral);
        EXPECT_EQ(unit_table[12].owner, c[1]);
        EXPECT_EQ(selected_unit, c[2]);
    }
    unit_table[0].gold = 10.0f;  // one last draw, then none; own units cost nothing
    EXPECT_EQ(draws_made(1, handle_left_button), 1);
    EXPECT_EQ(draws_made(1, handle_left_button), 0);
    EXPECT_EQ(unit_table[0].gold, 0.0f);
    EXPECT_EQ(draws_made(1, [] { EXPECT_FALSE(recruit_attempt(0, owner_computer)); }), 0);  // leaders never join
    EXPECT_EQ(unit_table[1].gold, 990.0f);
}

TEST_F(Rules, TheRightButtonMovesToTheClampedTileOrAttacksOnTheUnclampedOne) {
    place_unit(4, owner_computer, 30, 32, 32);
    place_unit(7, owner_computer, 30, 32, 32);
    place_unit(9, owner_computer, 30, 32, 32).dead = 1;
    place_unit(10, owner_computer, 30, 0, 32);
    const int cases[][7] = {// map_sx, map_sy, mouse_x, mouse_y, order, goal_x or target, goal_y
                            {32, 32, 320, 240, order_attack, 7, 32}, {17, 51, 0, 0, order_move, 0, 63},
                            {51, 17, 639, 479, order_move, 63, 0},   {17, 32, 0, 240, order_move, 0, 32}};
    for (const auto& c : cases) {
        map_sx = c[0];
        map_sy = c[1];
        mouse_x = c[2];
        mouse_y = c[3];
        update_cursor();
        handle_right_button();
        EXPECT_EQ(unit_table[0].order, c[4]) << c[0] << "," << c[1];
        EXPECT_EQ(c[4] == order_attack ? unit_table[0].target_unit : unit_table[0].goal_x, c[5]);
        EXPECT_EQ(unit_table[0].goal_y, c[6]);
    }
    unit_table[0].order = order_idle;
    unit_table[0].dead = 1;  // only a living player unit takes orders
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_idle);
}

TEST_F(Rules, EachFrameAdvancesItsEightSlotsAndOneFrameIn33None) {
    for (int slot = 0; slot < max_units; ++slot)
        ordered(place_unit(slot, owner_player, 30, 10, slot % 60 + 2), order_move, 0, 50, slot % 60 + 2);
    const int frames[][3] = {{1, 8, 15}, {32, 0, -1}, {33, 0, 7}, {31, 248, 255}, {65, 256, 255}};
    for (const auto& f : frames) {
        for (int slot = 0; slot < max_units; ++slot) unit_table[slot].tile_x = 10;
        unit_table[f[1] % max_units].active = 0;    // empty slots are skipped,
        unit_table[f[1] % max_units + 1].dead = 1;  // the dead are not
        frame_counter = f[0];
        update_unit_slice();
        for (int slot = 0; slot < max_units; ++slot)
            ASSERT_EQ(unit_table[slot].tile_x, slot > f[1] && slot <= f[2] ? 11 : 10) << f[0] << " " << slot;
        unit_table[f[1] % max_units].active = 1;
    }
}

TEST_F(Rules, AMoveEndsOnTheTargetTheSearchClampedOneTileInside) {
    Unit& unit = ordered(place_unit(2, owner_player, 30, 4, 5), order_move, 0, 0, 0);
    // Straight and diagonal ways cost the same; the tie rule goes straight first.
    for (int tile : {404, 303, 202, 101, 101}) {
        visit_first_slice();
        EXPECT_EQ(unit.tile_x * 100 + unit.tile_y, tile);
    }
    EXPECT_EQ(unit.order, order_idle);
}

// Blows reach Manhattan distance 2, after the step; each exchange draws the
// blow, then the counter-blow: seed 1 draws 41 and 18467.
TEST_F(Rules, BlowsAreStruckFromDistanceTwoAfterTheStep) {
    Unit& target = place_unit(5, owner_computer, 36, 11, 11);
    Unit& a = ordered(place_unit(2, owner_player, 30, 10, 10), order_attack, 5);
    a.attack = 6;
    target.attack = 8;
    EXPECT_EQ(draws_made(1, visit_first_slice), 2);
    EXPECT_EQ(target.hp, 30.0f - 0.41f);
    EXPECT_EQ(a.hp, 30.0f - 0.67f);
    const int steps[][3] = {{11, 2, 10}, {14, 0, 11}, {14, 2, 12}, {16, 0, 13}};  // target x, draws, attacker x
    for (const auto& s : steps) {
        target.tile_x = static_cast<uint16_t>(s[0]);
        target.tile_y = s[0] == 11 ? 11 : 10;
        EXPECT_EQ(draws_made(7, visit_first_slice), s[1]) << s[0];
        EXPECT_EQ(a.tile_x, s[2]);
    }
    EXPECT_EQ(a.order, order_attack);
}

TEST_F(Rules, KillsEndBothOrdersAndGiveTheSelectionBackToTheLeader) {
    for (int selected : {2, 5}) {
        Unit& a = ordered(place_unit(2, owner_player, 30, 10, 10), order_attack, 5);
        Unit& t = ordered(place_unit(5, owner_computer, 38, 11, 10), order_attack, 2);
        a.attack = t.attack = 2;
        a.hp = selected == 2 ? 0.005f : 30.0f;
        t.hp = 0.005f;
        selected_unit = selected;
        rng::srand(1);  // blows of 0.01 and 0.07
        exchange_blows(2, 5);
        EXPECT_EQ(t.dead + t.hp, 1.0f);
        EXPECT_EQ(a.hp, selected == 2 ? 0.0f : 30.0f - 0.07f);
        EXPECT_EQ(a.order + t.order + selected_unit, 0);
    }
    // A target already dead is struck once more, and strikes back.
    Unit& a = ordered(place_unit(2, owner_player, 30, 10, 10), order_attack, 5);
    unit_table[5].attack = 8;
    EXPECT_EQ(draws_made(1, visit_first_slice), 2);
    EXPECT_EQ(a.hp, 30.0f - 0.67f);
    EXPECT_EQ(unit_table[5].hp, 0.0f);
    EXPECT_EQ(draws_made(1, visit_first_slice), 0);
}

// Each attempt draws slots until a candidate, then the kind's chance: from
// seed 2, slot 63 joins and slots 45 and 44 stay neutral, in nine draws.
TEST_F(Rules, ComputerRecruitingMakesThreePaidAttemptsFromAReserveOfThirty) {
    for (int slot = 2; slot < 85; ++slot) place_unit(slot, owner_neutral, 41, slot % 60 + 1, 10);
    EXPECT_EQ(draws_made(2, computer_recruit), 9);
    EXPECT_EQ(unit_table[1].gold, 970.0f);
    for (int slot = 2; slot < 85; ++slot) EXPECT_EQ(unit_table[slot].owner, slot == 63 ? 1 : 2) << slot;
    unit_table[1].gold = 30.0f;
    computer_recruit();
    EXPECT_EQ(unit_table[1].gold, 0.0f) << "the reserve is tested once";
    unit_table[1].gold = 29.5f;
    EXPECT_EQ(draws_made(2, computer_recruit), 0);
    for (int slot = 2; slot < 85; ++slot) unit_table[slot].dead = slot % 2;  // mines and the dead are
    for (int slot = 2; slot < 85; slot += 2) unit_table[slot].kind = kind_mine;  // no candidates
    unit_table[1].gold = 1000.0f;
    EXPECT_EQ(draws_made(2, computer_recruit), 300);
    EXPECT_EQ(unit_table[1].gold, 1000.0f);
}

// Raiders: living, not attacking, not mining (1 2 6 7 8); recalls: any not
// attacking; victims: every living player unit, mines too (0 20 21).
TEST_F(Rules, RaidsAndRecallsWaitForFrame1501ThenPickByTheirDraws) {
    for (int slot : {1, 2, 6, 7, 8}) ordered(place_unit(slot, owner_computer, 30, 40, 40), order_move);
    ordered(place_unit(3, owner_computer, 30, 40, 40), order_attack);
    ordered(place_unit(4, owner_computer, 30, 40, 40), order_gather).mining = 1;
    ordered(place_unit(5, owner_computer, 30, 40, 40), order_move).dead = 1;
    ordered(place_unit(9, owner_computer, 30, 40, 40), order_gather).mining = 1;
    place_unit(20, owner_player, 30, 10, 10);
    mine(21, owner_player, 12, 10, 100.0f);
    place_unit(22, owner_player, 30, 10, 10).dead = 1;
    frame_counter = 1500;
    EXPECT_EQ(draws_made(1330, computer_strategy), 2) << "only the raid's and the recall's odds";
    frame_counter = 1501;
    EXPECT_EQ(draws_made(1330, computer_strategy), 6);
    for (int slot = 1; slot < 10; ++slot)
        EXPECT_EQ(unit_table[slot].order, slot % 3 == 0 ? order_attack : slot == 4 ? order_gather : order_move) << slot;
    EXPECT_EQ(unit_table[6].target_unit + unit_table[9].target_unit, 42);
    EXPECT_EQ(unit_table[9].mining + unit_table[4].mining * 2, 2);
}

// Workers: idle and not mining (1 6 7); mines: neutral, living, holding at
// least 1 (12 14). Seed 3 sends unit 1 to mine 14.
TEST_F(Rules, AnIdleWorkerIsSentToADrawnNeutralMineWithGold) {
    place_unit(2, owner_computer, 30, 40, 40).mining = 1;
    ordered(place_unit(3, owner_computer, 30, 40, 40), order_move);
    place_unit(6, owner_computer, 30, 40, 40);
    place_unit(7, owner_computer, 30, 40, 40);
    mine(10, owner_neutral, 20, 20, 0.0f);
    mine(11, owner_player, 20, 25, 50.0f);
    mine(12, owner_neutral, 20, 30, 50.0f);
    mine(13, owner_neutral, 20, 35, 50.0f).dead = 1;
    mine(14, owner_neutral, 20, 40, 1.0f);
    frame_counter = 1;
    EXPECT_EQ(draws_made(3, computer_strategy), 4);
    EXPECT_EQ(unit_table[1].order, order_gather);
    EXPECT_EQ(unit_table[1].target_unit, 14);
    EXPECT_EQ(unit_table[2].order + unit_table[6].order + unit_table[7].order, order_idle);
    for (int slot : {1, 6, 7}) unit_table[slot].order = order_move;  // no worker, no mine drawn
    EXPECT_EQ(draws_made(3, computer_strategy), 2);
}

TEST_F(Rules, ASideWithOnlyMinesOrTheDeadHasLostAndTheFlagsStay) {
    place_unit(10, owner_player, kind_mine, 20, 20);
    place_unit(11, owner_player, 30, 21, 20).dead = 1;
    place_unit(12, owner_computer, 30, 21, 20).active = 0;
    const int cases[][5] = {{0, 0, 0, 0, 0}, {1, 0, 0, 1, 0}, {0, 1, 1, 0, 0}, {1, 1, 1, 1, 1}};
    for (const auto& c : cases) {
        empire_0_won = empire_1_won = tie = 0;
        unit_table[0].dead = c[0];
        unit_table[1].dead = c[1];
        census();
        unit_table[0].dead = unit_table[1].dead = 0;
        census();  // only a new game clears the flags
        EXPECT_EQ(empire_0_won * 100 + empire_1_won * 10 + tie, c[2] * 100 + c[3] * 10 + c[4]);
    }
}

TEST_F(Rules, JumpKeysPutTheFirstCountedUnitTenTilesUpAndRight) {
    unit_table[0].dead = 1;
    place_unit(3, owner_player, kind_mine, 50, 50);
    place_unit(5, owner_player, 30, 4, 7);
    place_unit(6, owner_player, 30, 40, 40);
    headless_set_key(vk_backspace, true);
    census();
    EXPECT_EQ(map_sx * 100 + map_sy, -6 * 100 - 3);
    headless_set_key(vk_0, true);  // the computer's jump lands last
    census();
    EXPECT_EQ(map_sx * 100 + map_sy, 22 * 100 + 49);
}


TEST_F(Rules, TheLaterFunctionKeyWinsAndSpaceSpinsWithTheMouse) {
    const int held[][4] = {{vk_f2, vk_f4, vk_f7, 3}, {vk_f3, vk_f5, vk_f6, 2}, {vk_f2, vk_f8, vk_f8, 4}};
    const float sizes[] = {unit_size_large, unit_size_normal, unit_size_small};
    for (int i = 0; i < 3; ++i) {
        headless_reset();
        for (int k = 0; k < 3; ++k) headless_set_key(held[i][k], true);
        apply_function_keys();
        EXPECT_EQ(unit_size, sizes[i]);
        EXPECT_EQ(game_speed, held[i][3]);
    }
    game_speed = 1;
    camera_spin = 5.0f;
    mouse_x = 160;
    spin_by_mouse();
    EXPECT_EQ(camera_spin, 5.0f);
    headless_set_key(vk_space, true);
    spin_by_mouse();
    EXPECT_EQ(camera_spin, 90.0f);
    unit_size = unit_size_normal;
}

TEST_F(Rules, StatusLinesAndHelpAreWrittenWhereThePlayerReadsThem) {
    map_sx = 17;
    map_sy = -2;
    selected_unit = 12;
    cursor_dx = -20;
    cursor_dy = 19;
    frame_counter = 3000;
    unit_table[0].gold = 1234.567f;
    draw_screens();
    const char* const status[] = {"VARNHOLDSKIRMISHBUILD0042B", "Press H for help.", "map_sx=17 map_sy=-2",
                                  "selected_unit=12", "map_ex=-3 map_ey=17", "empire_0_gold=1234.57"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(line(40, 420 - 20 * i), status[i]);
    headless_set_key(vk_h, true);  // each frame it is held flips the help, with a pause
    draw_screens();
    const char* const help[] = {"VARNHOLDSKIRMISHBUILD0042B HELP", "F1 start new game.", "F2-F4 different unit size.",
                                "SHIFT-Dir. change view, PGDWN-PGUP zoom.", "Dir. move map.", "Space rotate with mouse.",
                                "0 and backspace, move screen over last unit.", "Left click recruit.",
                                "Right click move and attack.", "ESC quit.", "F5-F8 change speed.", "M move window."};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(line(40, 420 - 20 * i), help[i]);
    draw_screens();
    headless_set_key(vk_h, false);
    draw_screens();
    EXPECT_EQ(help_visible, 0);
    EXPECT_EQ(headless_total_sleep_ms(), 800);
}

TEST_F(Rules, TheIntroShowsUntilFrame3000AndOverTheEndLineButNotOverTheHelp) {
    const char* const ends[] = {"Victory for empire 0. (player) VICTORY VICTORY VICTORY",
                                "Victory for empire 1. (computer) VICTORY VICTORY VICTORY",
                                "Victory is a tie. (player and computer) VICTORY VICTORY VICTORY"};
    for (int i = 0; i < 3; ++i) {
        empire_0_won = i == 0;
        empire_1_won = i == 1;
        tie = i == 2;
        draw_screens();
        EXPECT_EQ(line(100, 280), ends[i]);
        EXPECT_EQ(line(100, 260), "Press F1 to start a new game.");
    }
    ASSERT_TRUE(alloc_image_table());
    Image& intro = image_table[3];  // 100 pixels square, red 200
    intro.pixels = static_cast<uint8_t*>(std::malloc(100 * 100 * 3));
    for (int i = 0; i < 100 * 100 * 3; ++i) intro.pixels[i] = i % 3 ? 10 : 200;
    intro.width = intro.height = 100;
    help_visible = 1;
    draw_screens();
    EXPECT_EQ(help_visible, 0) << "the end screen closes the help";
    EXPECT_EQ(line(40, 400), "F1 start new game.");
    draw_screens();
    EXPECT_EQ(line(100, 280), "Victory is a") << "the picture from x 200 on hides the rest";
    EXPECT_EQ(line(100, 260), "Press F1 to start a new game.");
    empire_0_won = empire_1_won = tie = 0;
    const int cases[][3] = {{2999, 0, 200}, {2999, 1, 0}, {3000, 0, 0}};  // frame, help, red at (299, 299)
    for (const auto& c : cases) {
        frame_counter = c[0];
        help_visible = c[1];
        draw_screens();
        EXPECT_EQ(overlay_pixels[(299 * 640 + 299) * 4], c[2]) << c[0];
        EXPECT_EQ(overlay_pixels[(299 * 640 + 300) * 4], 0);
    }
}
