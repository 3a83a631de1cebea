// The generator, the world's arrays and the dealing of a new game.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/world_fixture.h"
#include "world/new_game.h"

namespace {

// Three dealt slots (column, row, kind, attack, whether full health), the
// mines (slot:reserve, each of mobility 2 and 120 hit points), and the two
// leaders (column, row, owner, kind, hit points, gold, attack).
std::string deal_of(uint32_t seed) {
    new_game_from_seed(seed);
    std::string text;
    auto add = [&text](const char* format, auto... values) {
        char part[64];
        std::snprintf(part, sizeof part, format, values...);
        text += part;
    };
    for (int slot : {2, 40, 84}) {
        const Unit& u = unit_table[slot];
        add("%d %d %d %d %d|", u.tile_x, u.tile_y, u.kind, u.attack, u.hp == kind_max_hp(u.kind) && u.owner == 2);
    }
    for (int i = 0; i < max_units; ++i)
        if (unit_table[i].active && unit_table[i].kind == kind_mine && unit_table[i].mobility == 2 &&
            unit_table[i].hp == 120.0f)
            add("%d:%g ", i, unit_table[i].gold);
    for (int slot : {0, 1}) {
        const Unit& u = unit_table[slot];
        add("|%d %d %d %d %g %g %d", u.tile_x, u.tile_y, u.owner, u.kind, u.hp, u.gold, u.attack);
    }
    for (int i = 0; i < max_units; ++i)
        if (unit_table[i].active != (i < 85)) add(" slot %d wrongly %s", i, unit_table[i].active ? "dealt" : "empty");
    return text;
}

}  // namespace

TEST(Generator, KnownOutputsWrapAt32Bits) {
    rng::srand(1);
    for (int value : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(rng::rand(), value);
    rng::srand(0xFFFFFFFFu);
    EXPECT_EQ(rng::rand(), 35);
}

// A released table handed out again never shows what was in it.
TEST_F(WorldTest, ArraysComeBackZeroed) {
    std::memset(unit_table, 0xAB, sizeof(Unit) * max_units);
    free_world();
    ASSERT_TRUE(alloc_world());
    for (int i = 0; i < max_units; ++i) ASSERT_EQ(unit_table[i].kind, 0) << i;
}

TEST_F(WorldTest, DealsArePinnedBySeed) {
    for (int i = 85; i < max_units; ++i) unit_table[i].kind = kind_mine;  // strays never come to life
    EXPECT_EQ(deal_of(77), "49 22 35 8 1|7 17 37 5 1|51 60 36 8 1|4:1349 12:677 17:1898 30:1747 39:1847 "
                           "|32 4 0 10 20 1000 10|32 59 1 10 20 1000 14");
    // Five attempts, four mines.
    EXPECT_EQ(deal_of(1234), "23 19 36 8 1|43 9 37 5 1|31 46 43 14 1|4:1813 11:4396 22:3577 53:1349 "
                             "|32 4 0 10 20 1000 2|32 59 1 10 20 1000 5");
    // Slot 3, the first candidate, becomes a mine.
    EXPECT_EQ(deal_of(2024), "19 18 39 3 1|32 55 90 14 1|43 62 44 12 1|3:2051 19:1383 25:3485 32:3837 40:1307 "
                             "|32 4 0 10 20 1000 6|32 59 1 10 20 1000 8");
}

TEST_F(WorldTest, NewGameResetsClockFlagsAndViewButKeepsThePlayersSettings) {
    frame_counter = 2999;
    empire_0_won = empire_1_won = tie = 1;
    camera_pitch = camera_yaw = camera_zoom = camera_spin = 3.0f;
    map_sx = -7;
    selected_unit = 17;
    game_speed = 3;
    headless_set_calendar_seconds(1700000000);
    new_game();
    const Unit from_clock = unit_table[40];
    EXPECT_EQ(frame_counter * 10 + game_over(), 0);
    EXPECT_EQ(camera_pitch * 1000 + camera_zoom, -45030.0f);
    EXPECT_EQ(camera_yaw + camera_spin, 0.0f);
    EXPECT_EQ(map_sx * 100 + map_sy, 3232);
    EXPECT_EQ(selected_unit * 10 + game_speed, 173);
    EXPECT_EQ(headless_last_sound(), "sound/explosion3b.wav");
    deal_of(1700000000u);
    EXPECT_EQ(std::memcmp(&unit_table[40], &from_clock, sizeof from_clock), 0) << "seeded from the calendar";
    game_speed = 1;
}
