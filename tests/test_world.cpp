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
    for (int i = 0; i < max_units; ++i) ASSERT_EQ(unit_table[i].kind, 0) << i;
}

TEST_F(WorldTest, NewGameResetsClockFlagsAndViewButKeepsThePlayersSettings) {
    frame_counter = 2999;
    empire_0_won = empire_1_won = tie = 1;
    camera_pitch = camera_yaw = camera_zoom = camera_spin = 3.0f;
    map_sx = -7;
    selected_unit = 17;
    game_speed = 3;
    new_game();
    EXPECT_EQ(frame_counter * 10 + game_over(), 0);
    EXPECT_EQ(camera_pitch * 1000 + camera_zoom, -45030.0f);
    EXPECT_EQ(camera_yaw + camera_spin, 0.0f);
    EXPECT_EQ(map_sx * 100 + map_sy, 3232);
    EXPECT_EQ(selected_unit * 10 + game_speed, 173);
    EXPECT_EQ(headless_last_sound(), "sound/explosion3b.wav");
    game_speed = 1;
}
