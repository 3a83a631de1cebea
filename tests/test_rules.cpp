// The rules the golden games do not reach: the left button at the edge of
// the treasury, a side left with only mines, the later function key, the
// selection after a kill, and the end screens read back as text.
#include <gtest/gtest.h>

#include <cstdlib>

#include "game/census.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "game/screens.h"
#include "game/units.h"
#include "game/view.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "tests/support/world_fixture.h"
#include "world/new_game.h"

namespace {

class Rules : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        place_unit(0, owner_player, kind_mage, 32, 4).gold = 1000.0f;
        place_unit(1, owner_computer, kind_mage, 32, 59).gold = 1000.0f;
    }
    static std::string line(int x, int y) { return text_at(overlay_pixels, x, y); }
    static void draw() {
        clear_overlay();
        draw_screens(local_view);
        close_help_when_over(&local_view);
    }
};

SideCommand pointing_at(int x, int y, bool left, bool right) {
    SideCommand command = no_command();
    command.has_cursor = 1;
    command.cursor_x = x;
    command.cursor_y = y;
    command.left = left;
    command.right = right;
    return command;
}

}  // namespace

// Each living neutral on the tile costs 10 and a draw (1 in 6 here) while
// 10 are left; the selection ends on the highest living player unit, one
// that joined in this pass included.
TEST_F(Rules, TheLeftButtonPaysADrawPerNeutralAndSelectsTheHighestPlayerUnit) {
    const int cases[][3] = {{1, owner_neutral, 9}, {5, owner_player, 12}};  // seed, owner of 12, selected
    for (const auto& c : cases) {
        place_unit(5, owner_player, 30, 32, 32);
        place_unit(6, owner_neutral, 41, 32, 32);
        place_unit(9, owner_player, 31, 32, 32);
        place_unit(12, owner_neutral, 41, 32, 32);
        place_unit(15, owner_neutral, 41, 32, 32).dead = 1;
        place_unit(16, owner_player, 41, 32, 32).dead = 1;
        place_unit(17, owner_neutral, 41, 32, 33);
        place_unit(100, owner_player, 41, 32, 32).active = 0;
        unit_table[0].gold = 1000.0f;
        rng::srand(c[0]);
        handle_left_button(0, pointing_at(32, 32, true, false));
        EXPECT_EQ(unit_table[0].gold, 980.0f) << "player gold after two draws";
        EXPECT_EQ(unit_table[12].owner, c[1]) << "owner of the creature";
        EXPECT_EQ(selected_unit[0], c[2]) << "selected_unit";
    }
    unit_table[0].gold = 10.0f;  // one last draw, then none
    handle_left_button(0, pointing_at(32, 32, true, false));
    handle_left_button(0, pointing_at(32, 32, true, false));
    EXPECT_EQ(unit_table[0].gold, 0.0f) << "player gold after its last draw";
}

// Mines, the dead and empty slots do not count; with both sides out the
// game is a tie. Single victories and flags that stay are the golden games'.
TEST_F(Rules, ASideWithOnlyMinesOrTheDeadHasLost) {
    place_unit(10, owner_player, kind_mine, 20, 20);
    place_unit(11, owner_player, 30, 21, 20).dead = 1;
    place_unit(12, owner_computer, 30, 21, 20).active = 0;
    unit_table[0].dead = unit_table[1].dead = 1;
    census();
    EXPECT_EQ(empire_0_won, 1) << "empire_0_won";
    EXPECT_EQ(empire_1_won, 1) << "empire_1_won";
    EXPECT_EQ(tie, 1) << "tie";
}

// Held together, the later key of each group wins: every neighbour in turn,
// the size in the view, the pace through the side's command; and between
// the sides, the later side's pace.
TEST_F(Rules, TheLaterFunctionKeyWins) {
    const int held[][4] = {{vk_f2, vk_f3, vk_f5, vk_f6}, {vk_f3, vk_f4, vk_f6, vk_f7}, {vk_f2, vk_f2, vk_f7, vk_f8},
                           {vk_f4, vk_f4, vk_f5, vk_f5}};
    const float sizes[] = {unit_size_normal, unit_size_large, unit_size_small, unit_size_large};
    for (int i = 0; i < 4; ++i) {
        PassInput input;
        clear_pass_input(&input);
        for (int vk : held[i]) input.direct_keys[vk] = 1;
        apply_picture_size(&local_view, input);
        FrameCommands commands = no_commands();
        commands.side[0] = command_from_pass(input, local_view);
        apply_side_keys(commands);
        EXPECT_EQ(local_view.unit_size, sizes[i]) << "unit_size, keys " << i;
        EXPECT_EQ(game_speed, i == 3 ? 1 : i + 2) << "game_speed, keys " << i;
    }
    FrameCommands both = no_commands();
    both.side[0].pace = 4;
    both.side[1].pace = 2;
    both.side[0].deals = both.side[1].deals = 1, both.side[0].deal_seed = 5, both.side[1].deal_seed = 6;
    apply_side_keys(both);
    EXPECT_EQ(game_speed, 2) << "game_speed, both sides";
    EXPECT_EQ(last_deal_seed(), 6u) << "the deal, both sides";
}

// The same commands given as side 0 or as side 1 of the mirrored position
// (every owner swapped) do the mirrored thing: no step acts for the player
// alone. Recruiting draws, selecting, moving, attacking, a kill's selection.
TEST_F(Rules, ACommandStreamActsTheSameForEitherSide) {
    struct Outcome {
        float gold;
        int recruit_owner, selected, order, target, goal_x;
    };
    Outcome outcome[2];
    for (int side = 0; side < 2; ++side) {
        const int other = 1 - side;
        WorldTest::TearDown();
        SetUp();
        place_unit(5, side, 30, 20, 20);
        place_unit(6, other, 31, 22, 20);
        place_unit(7, owner_neutral, 41, 10, 10);
        const SideCommand stream[] = {pointing_at(10, 10, true, false), pointing_at(10, 10, true, false),
                                      pointing_at(10, 10, true, false), pointing_at(20, 20, true, false),
                                      pointing_at(40, 41, false, true), pointing_at(22, 20, false, true)};
        rng::srand(3);
        for (const SideCommand& command : stream) {
            FrameCommands commands = no_commands();
            commands.side[side] = command;
            handle_side_buttons(commands);
        }
        const Unit& chosen = unit_table[5];
        outcome[side] = {unit_table[side].gold, unit_table[7].owner == side ? 1 : unit_table[7].owner,
                         selected_unit[side], chosen.order, chosen.target_unit, chosen.goal_x};
        EXPECT_EQ(selected_unit[other], other) << "the other side's selection, side " << side;
        EXPECT_EQ(unit_table[other].gold, 1000.0f) << "the other side's gold, side " << side;
    }
    EXPECT_EQ(outcome[1].gold, outcome[0].gold) << "gold";
    EXPECT_EQ(outcome[1].recruit_owner, outcome[0].recruit_owner) << "the creature's owner, 1 for its side";
    EXPECT_EQ(outcome[1].selected, outcome[0].selected) << "selected_unit";
    EXPECT_EQ(outcome[1].order, outcome[0].order) << "order";
    EXPECT_EQ(outcome[1].target, outcome[0].target) << "target_unit";
    EXPECT_EQ(outcome[1].goal_x, outcome[0].goal_x) << "goal_x";
    EXPECT_EQ(outcome[0].selected, 5) << "selected_unit, side 0";
    EXPECT_EQ(outcome[0].target, 6) << "target_unit, side 0";
}

// A kill ends both orders and gives the selection back to the leader,
// whichever side fell: seed 1 strikes 0.01, then 0.07 back.
TEST_F(Rules, AKillGivesTheSelectionBackToTheLeader) {
    for (int fallen : {2, 5}) {
        place_unit(2, owner_player, 30, 10, 10).attack = 2;
        place_unit(5, owner_computer, 38, 11, 10).attack = 2;
        unit_table[fallen].hp = 0.005f;
        selected_unit[0] = selected_unit[1] = fallen;
        rng::srand(1);
        exchange_blows(2, 5);
        SCOPED_TRACE(::testing::Message() << "unit " << fallen << " falls");
        EXPECT_EQ(unit_table[fallen].dead, 1) << "dead";
        EXPECT_EQ(selected_unit[0], 0) << "side 0's selected_unit";
        EXPECT_EQ(selected_unit[1], 1) << "side 1's selected_unit";
    }
}

// The end screen closes the help; its picture (the intro's, red here) hides
// the end line from x 200 on. The intro shows before frame 3000 unless the
// help does.
TEST_F(Rules, EndLinesIntroAndHelpShareTheScreenInTheirOrder) {
    const char* const ends[] = {"Victory for empire 0. (player) VICTORY VICTORY VICTORY",
                                "Victory for empire 1. (computer) VICTORY VICTORY VICTORY",
                                "Victory is a tie. (player and computer) VICTORY VICTORY VICTORY"};
    for (int i = 0; i < 3; ++i) {
        empire_0_won = i == 0;
        empire_1_won = i == 1;
        tie = i == 2;
        draw();
        EXPECT_EQ(line(100, 280), ends[i]) << "end line";
        EXPECT_EQ(line(100, 260), "Press F1 to start a new game.") << "new game line";
    }
    ASSERT_TRUE(alloc_image_table());
    Image& intro = image_table[3];
    intro.pixels = static_cast<uint8_t*>(std::malloc(100 * 100 * 3));
    for (int i = 0; i < 100 * 100 * 3; ++i) intro.pixels[i] = i % 3 ? 10 : 200;
    intro.width = intro.height = 100;
    local_view.help_visible = 1;
    draw();
    EXPECT_EQ(local_view.help_visible, 0) << "help_visible";
    EXPECT_EQ(line(40, 400), "F1 start new game.") << "first help line";
    draw();
    EXPECT_EQ(line(100, 280), "Victory is a") << "end line under the picture";
    empire_0_won = empire_1_won = tie = 0;
    const int cases[][3] = {{2999, 0, 200}, {2999, 1, 0}, {3000, 0, 0}};  // frame, help, red at (299, 299)
    for (const auto& c : cases) {
        frame_counter = c[0];
        local_view.help_visible = c[1];
        draw();
        EXPECT_EQ(overlay_pixels[(299 * 640 + 299) * 4], c[2]) << "red of the intro at frame " << c[0];
        EXPECT_EQ(overlay_pixels[(299 * 640 + 300) * 4], 0) << "red right of the intro picture";
    }
}
