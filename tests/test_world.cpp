// The generator, the world's arrays and the dealing of a new game.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/headless/headless_platform.h"
#include "tests/support/world_fixture.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

TEST(Generator, KnownOutputsWrapAt32Bits) {
    rng::srand(1);
    for (int value : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(rng::rand(), value);
    rng::srand(0xFFFFFFFFu);
    EXPECT_EQ(rng::rand(), 35);
    EXPECT_EQ(rng::state(), 0xFFFFFFFFu * 214013u + 2531011u);
}

// A released table handed out again never shows what was in it.
TEST_F(WorldTest, ArraysComeBackZeroed) {
    std::memset(unit_table, 0xAB, sizeof(Unit) * max_units);
    free_world();
    EXPECT_EQ(unit_table, nullptr);
    ASSERT_TRUE(alloc_world());
    for (int i = 0; i < max_units; ++i) ASSERT_EQ(unit_table[i].kind, 0) << i;
}

// Each seed's deal pinned: three units (column, row, kind, attack), the
// mines with their reserves, and the leaders over slots 0 and 1 keeping the
// attack their slot was dealt.
TEST_F(WorldTest, DealsArePinnedBySeed) {
    struct Deal {
        uint32_t seed;
        int units[3][5];  // slot, x, y, kind, attack
        int mines[6][2];  // slot, gold; slot 0 ends the list
        int leader_attack[2];
    };
    const Deal deals[] = {
        {77, {{2, 49, 22, 35, 8}, {40, 7, 17, 37, 5}, {84, 51, 60, 36, 8}},
         {{4, 1349}, {12, 677}, {17, 1898}, {30, 1747}, {39, 1847}}, {10, 14}},
        // Five attempts, four mines.
        {1234, {{2, 23, 19, 36, 8}, {40, 43, 9, 37, 5}, {84, 31, 46, 43, 14}},
         {{4, 1813}, {11, 4396}, {22, 3577}, {53, 1349}}, {2, 5}},
        // Slot 3, the first candidate, becomes a mine.
        {2024, {{2, 19, 18, 39, 3}, {40, 32, 55, 90, 14}, {84, 43, 62, 44, 12}},
         {{3, 2051}, {19, 1383}, {25, 3485}, {32, 3837}, {40, 1307}}, {6, 8}},
    };
    for (const Deal& deal : deals) {
        SCOPED_TRACE(deal.seed);
        for (int i = 85; i < max_units; ++i) unit_table[i].kind = kind_mine;  // strays never come to life
        new_game_from_seed(deal.seed);
        for (const auto& u : deal.units) {
            const Unit& unit = unit_table[u[0]];
            EXPECT_EQ(unit.tile_x, u[1]) << u[0];
            EXPECT_EQ(unit.tile_y, u[2]) << u[0];
            EXPECT_EQ(unit.kind, u[3]) << u[0];
            EXPECT_EQ(unit.attack, u[4]) << u[0];
            EXPECT_EQ(unit.hp, kind_max_hp(unit.kind)) << u[0];
            EXPECT_EQ(unit.owner, owner_neutral) << u[0];
        }
        int mines = 0;
        for (int i = 0; i < max_units; ++i) {
            if (!unit_table[i].active || unit_table[i].kind != kind_mine) continue;
            EXPECT_EQ(i, deal.mines[mines][0]);
            EXPECT_EQ(unit_table[i].gold, static_cast<float>(deal.mines[mines][1])) << i;
            EXPECT_EQ(unit_table[i].mobility, 2);
            EXPECT_EQ(unit_table[i].hp, 120.0f);
            ++mines;
        }
        EXPECT_EQ(deal.mines[mines][0], 0) << "fewer mines than pinned";
        for (int slot : {0, 1}) {
            const Unit& leader = unit_table[slot];
            EXPECT_EQ(leader.tile_x, 32);
            EXPECT_EQ(leader.tile_y, slot == 0 ? 4 : 59);
            EXPECT_EQ(leader.owner, slot);
            EXPECT_EQ(leader.kind, kind_mage);
            EXPECT_EQ(leader.hp, 20.0f);
            EXPECT_EQ(leader.gold, 1000.0f);
            EXPECT_EQ(leader.attack, deal.leader_attack[slot]);
        }
        EXPECT_EQ(unit_table[84].active, 1);
        for (int i = 85; i < max_units; ++i) ASSERT_EQ(unit_table[i].active, 0) << i;
    }
}

TEST_F(WorldTest, NewGameResetsClockFlagsAndViewButKeepsThePlayersSettings) {
    frame_counter = 2999;
    empire_0_won = empire_1_won = tie = 1;
    camera_pitch = camera_yaw = camera_zoom = camera_spin = 3.0f;
    map_sx = -7;
    selected_unit = 17;
    game_speed = 3;
    unit_size = unit_size_large;
    headless_set_calendar_seconds(1700000000);
    new_game();
    const Unit from_clock = unit_table[40];
    EXPECT_EQ(frame_counter, 0);
    EXPECT_FALSE(game_over());
    EXPECT_EQ(camera_pitch, -45.0f);
    EXPECT_EQ(camera_yaw, 0.0f);
    EXPECT_EQ(camera_zoom, -30.0f);
    EXPECT_EQ(camera_spin, 0.0f);
    EXPECT_EQ(map_sx, 32);
    EXPECT_EQ(map_sy, 32);
    EXPECT_EQ(selected_unit, 17);
    EXPECT_EQ(game_speed, 3);
    EXPECT_EQ(unit_size, unit_size_large);
    EXPECT_EQ(headless_last_sound(), "sound/explosion3b.wav");
    new_game_from_seed(1700000000u);
    EXPECT_EQ(unit_table[40].tile_x, from_clock.tile_x);
    EXPECT_EQ(unit_table[40].kind, from_clock.kind);
    unit_size = unit_size_normal;
    game_speed = 1;
}
