// What a new game resets; the deal itself is the golden games' to pin, and
// the zero-filled arrays the recorded game's and the leak test's to hold.
#include <gtest/gtest.h>

#include "tests/support/world_fixture.h"
#include "world/new_game.h"

// The golden loop game and the recorded game see the view (pitch and yaw
// included) and the selection across a new deal; the end flags they never
// see set before one.
TEST_F(WorldTest, NewGameResetsTheFlagsAndPlaysItsSound) {
    empire_0_won = empire_1_won = tie = 1;
    new_game_from_seed(7);
    EXPECT_EQ(game_over(), 0) << "game_over()";
    EXPECT_EQ(headless_last_sound(), "sound/explosion3b.wav") << "sound played";
}
