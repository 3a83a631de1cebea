// The world's arrays and what a new game resets; the deal itself is the
// golden games' to pin.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/world_fixture.h"
#include "world/new_game.h"

// A released table handed out again never shows what was in it.
TEST_F(WorldTest, ArraysComeBackZeroed) {
    std::memset(unit_table, 0xAB, sizeof(Unit) * max_units);
    free_world();
    ASSERT_TRUE(alloc_world());
    for (int i = 0; i < max_units; ++i) ASSERT_EQ(unit_table[i].kind, 0) << "kind of unit " << i;
}

// The golden loop game and the recorded game see the view (pitch and yaw
// included) and the selection across a new deal; the end flags they never
// see set before one.
TEST_F(WorldTest, NewGameResetsTheFlagsAndPlaysItsSound) {
    empire_0_won = empire_1_won = tie = 1;
    new_game();
    EXPECT_EQ(game_over(), 0) << "game_over()";
    EXPECT_EQ(headless_last_sound(), "sound/explosion3b.wav") << "sound played";
}
