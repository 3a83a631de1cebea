// The player's mouse: the cursor tile, recruiting and selecting with the left
// button, move and attack orders with the right.
#include <gtest/gtest.h>

#include "app/input_state.h"
#include "game/commands.h"
#include "tests/support/world_fixture.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

class Commands : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        place_unit(0, owner_player, kind_mage, 32, 4).gold = 1000.0f;
        place_unit(1, owner_computer, kind_mage, 32, 59).gold = 1000.0f;
    }
    static void point_at(int x, int y) {
        mouse_x = x;
        mouse_y = y;
        update_cursor();
    }
};

}  // namespace

TEST_F(Commands, CursorTileCountsYUpAndTruncatesTowardZero) {
    const int cases[][4] = {
        {0, 0, -20, 20}, {639, 479, 19, -19}, {0, 480, -20, -20}, {320, 240, 0, 0},
        {304, 252, -1, -1}, {305, 251, 0, 0}, {335, 229, 0, 0}, {336, 227, 1, 1},
    };
    for (const auto& c : cases) {
        point_at(c[0], c[1]);
        EXPECT_EQ(cursor_dx, c[2]) << c[0] << "," << c[1];
        EXPECT_EQ(cursor_dy, c[3]) << c[0] << "," << c[1];
    }
}

TEST_F(Commands, HoldingTheLeftButtonPaysTenPerDrawUntilTheCreatureJoins) {
    place_unit(20, owner_neutral, 43, 32, 32);  // 1 in 26
    rng::srand(12345);                          // joins at the 73rd draw
    int frames = 0;
    while (unit_table[20].owner == owner_neutral && frames < 100) {
        handle_left_button();
        ++frames;
        if (frames < 73) ASSERT_EQ(selected_unit, 0);
    }
    EXPECT_EQ(frames, 73);
    EXPECT_EQ(unit_table[0].gold, 270.0f);
    EXPECT_EQ(selected_unit, 20);
    EXPECT_EQ(draws_made(1, handle_left_button), 0) << "an own unit costs nothing";
    EXPECT_EQ(unit_table[0].gold, 270.0f);
}

// Each neutral on the tile costs its own draw; the selection ends on the
// highest player unit, one that joined in this very pass included.
TEST_F(Commands, EveryNeutralOnTheTileDrawsAndTheHighestPlayerUnitIsSelected) {
    const struct {
        uint32_t seed;
        int owner_of_12, selected;
    } cases[] = {{1, owner_neutral, 9}, {5, owner_player, 12}};
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
        selected_unit = 0;
        EXPECT_EQ(draws_made(c.seed, handle_left_button), 2) << c.seed;
        EXPECT_EQ(unit_table[0].gold, 980.0f);
        EXPECT_EQ(unit_table[6].owner, owner_neutral);
        EXPECT_EQ(unit_table[12].owner, c.owner_of_12) << c.seed;
        EXPECT_EQ(selected_unit, c.selected) << c.seed;
    }
}

TEST_F(Commands, TenGoldBuysOneLastDrawAndLeadersNeverJoin) {
    place_unit(7, owner_neutral, 43, 32, 32);
    unit_table[0].gold = 10.0f;
    EXPECT_EQ(draws_made(1, handle_left_button), 1);
    EXPECT_EQ(draws_made(1, handle_left_button), 0);
    EXPECT_EQ(unit_table[0].gold, 0.0f);
    place_unit(8, owner_neutral, kind_mage, 10, 10);
    EXPECT_EQ(draws_made(1, [] { EXPECT_FALSE(recruit_attempt(8, owner_computer)); }), 0);
    EXPECT_EQ(unit_table[1].gold, 990.0f);
}

TEST_F(Commands, MoveGoalIsClampedToTheMap) {
    const int cases[][6] = {{17, 51, 0, 0, 0, 63}, {51, 17, 639, 479, 63, 0}, {30, 30, 320, 240, 30, 30}};
    for (const auto& c : cases) {
        map_sx = c[0];
        map_sy = c[1];
        point_at(c[2], c[3]);
        handle_right_button();
        EXPECT_EQ(unit_table[0].order, order_move);
        EXPECT_EQ(unit_table[0].goal_x, c[4]);
        EXPECT_EQ(unit_table[0].goal_y, c[5]);
    }
}

TEST_F(Commands, AttackTargetIsTheHighestLivingComputerUnitOnTheUnclampedTile) {
    place_unit(4, owner_computer, 30, 32, 32);
    place_unit(7, owner_computer, 30, 32, 32);
    place_unit(9, owner_computer, 30, 32, 32).dead = 1;
    place_unit(10, owner_neutral, 30, 32, 32);
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_attack);
    EXPECT_EQ(unit_table[0].target_unit, 7);
    unit_table[7].owner = owner_player;
    unit_table[4].active = 0;
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_move);
    // Beyond the edge the cursor never matches a unit standing on the edge.
    place_unit(4, owner_computer, 30, 0, 32);
    map_sx = 17;
    point_at(0, 240);
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_move);
}

TEST_F(Commands, RightButtonOnlyOrdersALivingPlayerSelection) {
    place_unit(20, owner_neutral, 30, 10, 10);
    selected_unit = 20;
    handle_right_button();
    EXPECT_EQ(unit_table[20].order, order_idle);
    selected_unit = 0;
    unit_table[0].dead = 1;
    handle_right_button();
    EXPECT_EQ(unit_table[0].order, order_idle);
}
