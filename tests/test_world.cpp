// The world's arrays, the generator and the dealing of a new game.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "platform/headless/headless_platform.h"
#include "render/image_table.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        ASSERT_TRUE(alloc_world());
        init_face_table();
        init_map_cells();
    }
    void TearDown() override { free_world(); }
};

}  // namespace

TEST(Generator, KnownFirstOutputsForSeedOne) {
    rng::srand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected) EXPECT_EQ(rng::rand(), value);
}

TEST(Generator, StateWrapsAt32BitsAndValuesStayIn15Bits) {
    rng::srand(0xFFFFFFFFu);
    int first = rng::rand();
    EXPECT_EQ(rng::state(), 0xFFFFFFFFu * 214013u + 2531011u);
    EXPECT_EQ(first, static_cast<int>((rng::state() >> 16) & 0x7FFF));
    for (int i = 0; i < 100000; ++i) {
        int value = rng::rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
}

TEST_F(WorldTest, EveryCellStartsFlatOpenAndCheckeredByColumn) {
    for (int y = 0; y < map_size; ++y) {
        for (int x = 0; x < map_size; ++x) {
            int i = cell_index(0, x, y);
            const MapCell& cell = map_cells[i];
            ASSERT_EQ(cell_kinds[i], 1);
            ASSERT_EQ(cell.checker, x % 2) << "column " << x;
            for (float ceiling : {cell.ceil_a, cell.ceil_b, cell.ceil_c, cell.ceil_d}) ASSERT_EQ(ceiling, 1.5f);
            for (float ground : {cell.floor_a, cell.floor_b, cell.floor_c, cell.floor_d}) ASSERT_EQ(ground, 0.0f);
            ASSERT_EQ(cell.floor_texture, 1);
            ASSERT_EQ(cell.ceiling_texture + cell.wall_ymin_texture + cell.wall_ymax_texture +
                          cell.wall_xmax_texture + cell.wall_xmin_texture,
                      0);
        }
    }
}

TEST_F(WorldTest, FaceTableRowsBuildWhatTheirKindsName) {
    const int32_t expected[4][6] = {{0, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0}, {1, 1, 2, 2, 2, 2}};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 6; ++column) EXPECT_EQ(face_table[row][column], expected[row][column]);
}

TEST_F(WorldTest, ArraysStartZeroedEvenWhereNobodyInitialisesThem) {
    for (int i = 0; i < max_units; ++i) {
        EXPECT_EQ(unit_table[i].kind, 0);
        EXPECT_EQ(unit_table[i].active, 0);
        EXPECT_EQ(unit_table[i].gold, 0.0f);
    }
    EXPECT_EQ(mesh_vertices[max_vertices - 1].screen[0], 0.0f);
    EXPECT_EQ(mesh_triangles[max_triangles - 1].texture, 0u);
    for (int i = 0; i < screen_width * screen_height * 4; i += 997) EXPECT_EQ(overlay_pixels[i], 0);
}

TEST_F(WorldTest, FreeWorldReleasesEveryArrayAndTheImageTable) {
    ASSERT_TRUE(alloc_image_table());
    free_world();
    EXPECT_EQ(unit_table, nullptr);
    EXPECT_EQ(mesh_vertices, nullptr);
    EXPECT_EQ(overlay_pixels, nullptr);
    EXPECT_EQ(face_table, nullptr);
    EXPECT_EQ(image_table, nullptr);
    free_world();  // a second release finds nothing to release
    ASSERT_TRUE(alloc_world());
}

TEST_F(WorldTest, LeadersStandOnOppositeEdgesWithFullHealthAndGold) {
    new_game_from_seed(1234);
    const Unit& player = unit_table[0];
    const Unit& computer = unit_table[1];
    EXPECT_EQ(player.tile_x, 32);
    EXPECT_EQ(player.tile_y, 4);
    EXPECT_EQ(computer.tile_x, 32);
    EXPECT_EQ(computer.tile_y, 59);
    for (int slot : {0, 1}) {
        const Unit& leader = unit_table[slot];
        EXPECT_EQ(leader.owner, slot);
        EXPECT_EQ(leader.kind, kind_mage);
        EXPECT_EQ(leader.hp, 20.0f);
        EXPECT_EQ(leader.max_hp, 20.0f);
        EXPECT_EQ(leader.gold, 1000.0f);
        EXPECT_EQ(leader.dead, 0);
        EXPECT_EQ(leader.order, order_idle);
        // The leader keeps the attack of the creature its slot was dealt.
        EXPECT_GE(leader.attack, 2);
        EXPECT_LE(leader.attack, 14);
    }
}

TEST_F(WorldTest, DealUsesThreeDrawsPerSlotColumnRowKind) {
    new_game_from_seed(77);
    rng::srand(77);
    for (int i = 0; i < 85; ++i) {
        int x = rng::rand() % 62 + 1;
        int y = rng::rand() % 62 + 1;
        int kind = rng::rand() % 15 + 30;
        if (i < 2) {
            // The leaders are placed over the dealt values but keep the attack.
            EXPECT_EQ(unit_table[i].attack, kind_attack(kind));
            continue;
        }
        EXPECT_EQ(unit_table[i].tile_x, x) << "slot " << i;
        EXPECT_EQ(unit_table[i].tile_y, y) << "slot " << i;
        if (unit_table[i].kind != kind_mine) {
            EXPECT_EQ(unit_table[i].kind, kind) << "slot " << i;
        }
    }
}

TEST_F(WorldTest, DealtGamesKeepOffTheOuterRingAndFillOnlySlotsUpTo84) {
    for (uint32_t seed = 0; seed < 200; ++seed) {
        // Stray values in the empty slots must not come back to life.
        for (int i = 85; i < max_units; ++i) unit_table[i].kind = kind_mine;
        new_game_from_seed(seed * 7919u);
        for (int i = 0; i < 85; ++i) {
            const Unit& unit = unit_table[i];
            ASSERT_EQ(unit.active, 1);
            ASSERT_GE(unit.tile_x, 1);
            ASSERT_LE(unit.tile_x, 62);
            ASSERT_GE(unit.tile_y, 1);
            ASSERT_LE(unit.tile_y, 62);
            if (i >= 2) {
                ASSERT_EQ(unit.owner, owner_neutral);
                ASSERT_EQ(unit.hp, unit.max_hp);
                ASSERT_EQ(unit.order, order_idle);
            }
        }
        for (int i = 85; i < max_units; ++i) ASSERT_EQ(unit_table[i].active, 0) << "slot " << i;
    }
}

TEST_F(WorldTest, MinesLieInSlotsThreeAndUpWithTheirReserveAndHealth) {
    int games_with_mines = 0;
    int most_mines = 0;
    for (uint32_t seed = 0; seed < 300; ++seed) {
        new_game_from_seed(seed);
        int mines = 0;
        for (int i = 0; i < max_units; ++i) {
            const Unit& unit = unit_table[i];
            if (!unit.active || unit.kind != kind_mine) continue;
            ++mines;
            ASSERT_GE(i, 3);
            ASSERT_EQ(unit.owner, owner_neutral);
            ASSERT_EQ(unit.mobility, 2);
            ASSERT_EQ(unit.hp, 120.0f);
            ASSERT_EQ(unit.max_hp, 120.0f);
            ASSERT_GE(unit.gold, 500.0f);
            ASSERT_LE(unit.gold, 4699.0f);
            ASSERT_EQ(unit.gold, static_cast<float>(static_cast<int>(unit.gold)));
        }
        ASSERT_LE(mines, 5);
        games_with_mines += mines > 0;
        if (mines > most_mines) most_mines = mines;
    }
    EXPECT_GT(games_with_mines, 250);
    EXPECT_EQ(most_mines, 5);
}

TEST_F(WorldTest, OneSeedDealsOneGameAndAnotherSeedAnother) {
    auto snapshot = [] {
        std::set<std::pair<int, int>> placed;
        for (int i = 0; i < 85; ++i)
            placed.insert({i, unit_table[i].tile_x * 10000 + unit_table[i].tile_y * 100 + unit_table[i].kind});
        return placed;
    };
    new_game_from_seed(42);
    auto first = snapshot();
    float first_gold[max_units];
    for (int i = 0; i < max_units; ++i) first_gold[i] = unit_table[i].gold;
    new_game_from_seed(42);
    EXPECT_EQ(snapshot(), first);
    for (int i = 0; i < max_units; ++i) EXPECT_EQ(unit_table[i].gold, first_gold[i]);
    new_game_from_seed(43);
    EXPECT_NE(snapshot(), first);
}

TEST_F(WorldTest, NewGameSeedsFromTheCalendarAndPlaysTheStartSound) {
    headless_set_calendar_seconds(1700000000);
    new_game();
    auto from_clock = unit_table[40];
    new_game_from_seed(1700000000u);
    EXPECT_EQ(unit_table[40].tile_x, from_clock.tile_x);
    EXPECT_EQ(unit_table[40].tile_y, from_clock.tile_y);
    EXPECT_EQ(unit_table[40].kind, from_clock.kind);
    EXPECT_EQ(headless_sound_count(), 2);
    EXPECT_EQ(headless_last_sound(), "sound/explosion3b.wav");
}

TEST_F(WorldTest, NewGameResetsClockFlagsAndViewButKeepsThePlayersSettings) {
    frame_counter = 2999;
    empire_0_won = empire_1_won = tie = 1;
    camera_pitch = 3.0f;
    camera_yaw = 4.0f;
    camera_zoom = 5.0f;
    camera_spin = 6.0f;
    map_sx = -7;
    map_sy = 99;
    selected_unit = 17;
    game_speed = 3;
    unit_size = unit_size_large;
    help_visible = 1;
    new_game_from_seed(5);
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
    EXPECT_EQ(help_visible, 1);
    // The map is not dealt again.
    cell_kinds[cell_index(0, 10, 10)] = 3;
    new_game_from_seed(6);
    EXPECT_EQ(cell_kinds[cell_index(0, 10, 10)], 3);
}

TEST(UnitKinds, SizesOfTheFixedValues) {
    EXPECT_EQ(kind_max_hp(43), 80.0f);
    EXPECT_EQ(kind_attack(44), 12);
    EXPECT_EQ(kind_recruit_divisor(43), 26);
    EXPECT_EQ(kind_recruit_divisor(kind_mine), 60);
    EXPECT_EQ(kind_recruit_divisor(kind_mage), 0);
    EXPECT_EQ(kind_max_hp(kind_mine), 120.0f);
    uint32_t small_bits, normal_bits, large_bits;
    std::memcpy(&small_bits, &unit_size_small, 4);
    std::memcpy(&normal_bits, &unit_size_normal, 4);
    std::memcpy(&large_bits, &unit_size_large, 4);
    EXPECT_EQ(normal_bits, 0x3FCCCCCCu);
    EXPECT_EQ(large_bits, 0x404CCCCCu);
    EXPECT_EQ(unit_size_small, 0.96f);
}
