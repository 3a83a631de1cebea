// The player's mouse: the cursor tile, recruiting and selecting with the left
// button, move and attack orders with the right.
#include <gtest/gtest.h>

#include "app/input_state.h"
#include "game/commands.h"
#include "platform/headless/headless_platform.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        ASSERT_TRUE(alloc_world());
        // An empty table with the two leaders far from the tiles under test.
        place(0, owner_player, kind_mage, 32, 4);
        place(1, owner_computer, kind_mage, 32, 59);
        unit_table[0].gold = 1000.0f;
        unit_table[1].gold = 1000.0f;
        map_sx = 32;
        map_sy = 32;
        selected_unit = 0;
        point_cursor_at_centre();
    }
    void TearDown() override { free_world(); }

    static void place(int slot, int owner, int kind, int x, int y) {
        Unit& unit = unit_table[slot];
        unit.active = 1;
        unit.owner = owner;
        unit.kind = static_cast<uint16_t>(kind);
        unit.tile_x = static_cast<uint16_t>(x);
        unit.tile_y = static_cast<uint16_t>(y);
        unit.mobility = kind == kind_mine ? 2 : 1;
        unit.max_hp = unit.hp = kind_max_hp(kind);
        unit.attack = 4;
        unit.gold = kind == kind_mine ? 900.0f : 1.0f;
    }

    // The middle of the window is offset (0, 0): the view centre itself.
    static void point_cursor_at_centre() {
        mouse_x = 320;
        mouse_y = 240;
        update_cursor();
    }

    // How many draws of rng from seed it takes until rand() % divisor == 1.
    static int draws_until_success(uint32_t seed, int divisor) {
        rng::srand(seed);
        int draws = 1;
        while (rng::rand() % divisor != 1) ++draws;
        return draws;
    }

    static uint32_t seed_with_first_draws_failing(int draws, int divisor) {
        for (uint32_t seed = 1;; ++seed) {
            rng::srand(seed);
            bool all_fail = true;
            for (int i = 0; i < draws; ++i) all_fail = all_fail && rng::rand() % divisor != 1;
            if (all_fail) return seed;
        }
    }
};

struct CursorCase {
    int mouse_x, mouse_y, dx, dy;
};

}  // namespace

TEST_F(CommandsTest, CursorTileAtTheEdgesAndAroundTheCentreTruncatesTowardZero) {
    const CursorCase cases[] = {
        {0, 0, -20, 20},      // top-left corner: y counts up from the bottom
        {639, 479, 19, -19},  // bottom-right pixel
        {0, 480, -20, -20},   // just below the window
        {320, 240, 0, 0},     // the centre
        {304, 252, -1, -1},   // exactly one tile left and one down
        {305, 251, 0, 0},     // -0.94 and -0.92 truncate to 0, not to -1
        {335, 229, 0, 0},     // +0.94 and +0.92 truncate to 0
        {336, 227, 1, 1},
    };
    for (const CursorCase& c : cases) {
        mouse_x = c.mouse_x;
        mouse_y = c.mouse_y;
        update_cursor();
        EXPECT_EQ(cursor_dx, c.dx) << "mouse " << c.mouse_x << "," << c.mouse_y;
        EXPECT_EQ(cursor_dy, c.dy) << "mouse " << c.mouse_x << "," << c.mouse_y;
    }
}

TEST_F(CommandsTest, HoldingTheLeftButtonPaysTenPerDrawUntilTheCreatureJoinsAndIsSelected) {
    place(20, owner_neutral, 43, 32, 32);  // dragon_hydra: 1 in 26
    const uint32_t seed = 12345;
    const int draws = draws_until_success(seed, 26);
    ASSERT_GT(draws, 1);
    rng::srand(seed);
    for (int frame = 1; frame < draws; ++frame) {
        handle_left_button();
        ASSERT_EQ(unit_table[20].owner, owner_neutral) << "frame " << frame;
        ASSERT_EQ(selected_unit, 0);
    }
    handle_left_button();
    EXPECT_EQ(unit_table[20].owner, owner_player);
    EXPECT_EQ(unit_table[20].order, order_idle);
    EXPECT_EQ(selected_unit, 20) << "a unit recruited by the draw is selected in the same pass";
    EXPECT_EQ(unit_table[0].gold, 1000.0f - 10.0f * static_cast<float>(draws));

    // Now the player's own: holding on costs nothing more and draws nothing.
    const uint32_t state = rng::state();
    handle_left_button();
    EXPECT_EQ(rng::state(), state);
    EXPECT_EQ(unit_table[0].gold, 1000.0f - 10.0f * static_cast<float>(draws));
}

TEST_F(CommandsTest, EveryNeutralOnTheTilePaysItsOwnDrawAndTheHighestPlayerUnitEndsSelected) {
    place(5, owner_player, 30, 32, 32);
    place(6, owner_neutral, 41, 32, 32);
    place(9, owner_player, 31, 32, 32);
    place(12, owner_neutral, 41, 32, 32);
    place(14, owner_computer, 30, 32, 32);
    place(15, owner_neutral, 41, 32, 32);
    unit_table[15].dead = 1;                // the dead are not recruited
    place(16, owner_neutral, 41, 32, 33);  // the next tile up is not under the cursor
    rng::srand(seed_with_first_draws_failing(2, 6));
    handle_left_button();
    EXPECT_EQ(unit_table[0].gold, 980.0f);
    EXPECT_EQ(unit_table[6].owner, owner_neutral);
    EXPECT_EQ(unit_table[12].owner, owner_neutral);
    EXPECT_EQ(unit_table[14].owner, owner_computer);
    EXPECT_EQ(selected_unit, 9);
}

TEST_F(CommandsTest, ATreasuryOfExactlyTenAllowsOneLastDraw) {
    place(7, owner_neutral, 43, 32, 32);
    unit_table[0].gold = 10.0f;
    rng::srand(seed_with_first_draws_failing(1, 26));
    handle_left_button();
    EXPECT_EQ(unit_table[0].gold, 0.0f);
    const uint32_t state = rng::state();
    handle_left_button();
    EXPECT_EQ(unit_table[0].gold, 0.0f);
    EXPECT_EQ(rng::state(), state) << "no draw below 10 gold";
    EXPECT_EQ(unit_table[7].owner, owner_neutral);
}

TEST_F(CommandsTest, ComputerUnitsEmptySlotsAndEmptyTilesAreLeftAlone) {
    place(3, owner_computer, 30, 32, 32);
    // An empty slot whose stale fields name the tile.
    place(100, owner_neutral, 41, 32, 32);
    unit_table[100].active = 0;
    place(101, owner_player, 41, 32, 32);
    unit_table[101].active = 0;
    selected_unit = 0;
    const uint32_t state = rng::state();
    handle_left_button();
    EXPECT_EQ(selected_unit, 0);
    EXPECT_EQ(unit_table[0].gold, 1000.0f);
    EXPECT_EQ(unit_table[100].owner, owner_neutral);
    EXPECT_EQ(rng::state(), state);
}

TEST_F(CommandsTest, RecruitingAKindWithoutDivisorCostsTenAndNeverDraws) {
    place(8, owner_neutral, kind_mage, 10, 10);
    const uint32_t state = rng::state();
    EXPECT_FALSE(recruit_attempt(8, owner_computer));
    EXPECT_EQ(unit_table[1].gold, 990.0f);
    EXPECT_EQ(rng::state(), state);
    EXPECT_EQ(unit_table[8].owner, owner_neutral);
}

TEST_F(CommandsTest, MoveGoalIsClampedToTheMap) {
    // -20 from the left edge: 17 - 20 = -3; +19 from the right: 51 + 19 = 70.
    map_sx = 17;
    map_sy = 51;
    mouse_x = 0;
    mouse_y = 0;
    update_cursor();
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_move);
    EXPECT_EQ(unit_table[0].goal_x, 0);
    EXPECT_EQ(unit_table[0].goal_y, 63);  // 51 + 20 = 71

    map_sx = 51;
    map_sy = 17;
    mouse_x = 639;
    mouse_y = 479;
    update_cursor();
    handle_right_button();
    EXPECT_EQ(unit_table[0].goal_x, 63);
    EXPECT_EQ(unit_table[0].goal_y, 0);  // 17 - 19 = -2
}

TEST_F(CommandsTest, AttackOrderOnALivingComputerUnitReplacesTheMoveOrder) {
    place(4, owner_computer, 30, 32, 32);
    place(7, owner_computer, 30, 32, 32);
    place(9, owner_computer, 30, 32, 32);
    unit_table[9].dead = 1;
    place(10, owner_neutral, 30, 32, 32);
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_attack);
    EXPECT_EQ(unit_table[0].target_unit, 7) << "the highest living computer unit on the tile";
    EXPECT_EQ(unit_table[0].goal_x, 32);
    EXPECT_EQ(unit_table[0].goal_y, 32);

    // Only neutral and dead units there: a move order to the tile.
    unit_table[4].owner = owner_neutral;
    unit_table[7].owner = owner_player;
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_move);
}

TEST_F(CommandsTest, AttackTargetIsMatchedOnTheUnclampedTile) {
    // A cursor beyond the edge never matches a unit standing on the edge.
    place(4, owner_computer, 30, 0, 32);
    map_sx = 17;
    mouse_x = 0;
    mouse_y = 240;
    update_cursor();
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_move);
    EXPECT_EQ(unit_table[0].goal_x, 0);
}

TEST_F(CommandsTest, RightButtonOnlyOrdersALivingPlayerSelection) {
    place(20, owner_neutral, 30, 10, 10);  // left over from another game
    selected_unit = 20;
    handle_right_button();
    EXPECT_EQ(unit_table[20].order, order_idle);

    selected_unit = 0;
    unit_table[0].dead = 1;
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_idle);
}
