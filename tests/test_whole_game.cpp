// Whole games through the frame's rule steps, without GL: the player's leader
// sent against the computer's until the census ends the game, with the
// world's invariants checked in every frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/input_state.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "game/screens.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "render/overlay.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

constexpr int game_frames = 20000;

class WholeGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        ASSERT_TRUE(alloc_world());
        init_face_table();
        init_map_cells();
        path_search = new PathSearch;
        ASSERT_TRUE(path_search->create_buffers());
        release_input();
        selected_unit = 0;
        help_visible = 0;
        game_speed = 1;
        unit_size = unit_size_normal;
    }
    void TearDown() override {
        release_input();
        path_search->release_buffers();
        delete path_search;
        path_search = nullptr;
        free_world();
    }

    static void release_input() {
        headless_reset();
        mouse_buttons[0] = mouse_buttons[1] = mouse_buttons[2] = 0;
        mouse_x = mouse_y = 0;
    }

    static void run_one_frame() {
        rules_before_cursor_marker();
        rules_after_cursor_marker();
    }

    // The living computer unit to attack: its leader while it lives, else
    // the lowest-indexed living one.
    static int computer_target() {
        for (int i = 1; i < max_units; ++i) {
            const Unit& unit = unit_table[i];
            if (unit.active && unit.owner == owner_computer && !unit.dead) return i;
        }
        return -1;
    }

    // What the player does every 30 frames: centre the view on the target
    // and hold the right button over the middle of the window for one frame.
    static void order_attack_by_mouse(int target) {
        map_sx = unit_table[target].tile_x;
        map_sy = unit_table[target].tile_y;
        mouse_x = 320;
        mouse_y = 240;
        mouse_buttons[2] = 1;
    }
};

// What must hold after every frame, whatever happened in it.
struct Invariants {
    uint8_t was_dead[max_units] = {};
    int dead_owner[max_units] = {};
    uint16_t dead_x[max_units] = {};
    uint16_t dead_y[max_units] = {};

    void check(int frame) {
        ASSERT_GE(selected_unit, 0) << "frame " << frame;
        ASSERT_LT(selected_unit, max_units) << "frame " << frame;
        ASSERT_GE(unit_table[0].gold, 0.0f) << "frame " << frame;
        ASSERT_GE(unit_table[1].gold, 0.0f) << "frame " << frame;
        for (int i = 0; i < max_units; ++i) {
            const Unit& unit = unit_table[i];
            if (was_dead[i]) {
                ASSERT_EQ(unit.active, 1) << "slot " << i << " frame " << frame;
                ASSERT_EQ(unit.dead, 1) << "slot " << i << " frame " << frame;
                ASSERT_EQ(unit.owner, dead_owner[i]) << "slot " << i << " frame " << frame;
                ASSERT_EQ(unit.tile_x, dead_x[i]) << "slot " << i << " frame " << frame;
                ASSERT_EQ(unit.tile_y, dead_y[i]) << "slot " << i << " frame " << frame;
            }
            if (!unit.active) continue;
            ASSERT_GE(unit.hp, 0.0f) << "slot " << i << " frame " << frame;
            ASSERT_LE(unit.hp, unit.max_hp) << "slot " << i << " frame " << frame;
            ASSERT_LT(unit.tile_x, map_size) << "slot " << i << " frame " << frame;
            ASSERT_LT(unit.tile_y, map_size) << "slot " << i << " frame " << frame;
            if (unit.kind == kind_mine) {
                ASSERT_GE(unit.gold, 0.0f) << "slot " << i << " frame " << frame;
            }
            if (unit.dead && !was_dead[i]) {
                was_dead[i] = 1;
                dead_owner[i] = unit.owner;
                dead_x[i] = unit.tile_x;
                dead_y[i] = unit.tile_y;
            }
        }
    }
};

}  // namespace

TEST_F(WholeGameTest, TheLeadersAttackEndsTheGameAndTheEconomyStops) {
    new_game_from_seed(20240611u);
    Invariants invariants;
    int end_frame = 0;
    float gold_at_end[2] = {};
    int leaders_closest = map_size * 2;
    for (int frame = 1; frame <= game_frames; ++frame) {
        mouse_buttons[2] = 0;
        const int target = computer_target();
        if (frame % 30 == 0 && target >= 0 && !game_over()) order_attack_by_mouse(target);
        run_one_frame();
        ASSERT_EQ(frame_counter, frame);
        ASSERT_NO_FATAL_FAILURE(invariants.check(frame));
        const int distance = std::abs(unit_table[0].tile_x - unit_table[1].tile_x) +
                             std::abs(unit_table[0].tile_y - unit_table[1].tile_y);
        if (distance < leaders_closest) leaders_closest = distance;
        if (game_over() && end_frame == 0) {
            end_frame = frame;
            ASSERT_EQ(frame % 30, 1) << "only the census ends a game";
            gold_at_end[0] = unit_table[0].gold;
            gold_at_end[1] = unit_table[1].gold;
        }
        if (end_frame) {
            ASSERT_EQ(unit_table[0].gold, gold_at_end[0]) << "frame " << frame;
            ASSERT_EQ(unit_table[1].gold, gold_at_end[1]) << "frame " << frame;
        }
    }
    ASSERT_NE(end_frame, 0) << "no side lost within " << game_frames << " frames";
    std::printf("game ended at frame %d: empire_0_won=%d empire_1_won=%d tie=%d\n", end_frame, empire_0_won,
                empire_1_won, tie);
    // The orders went through the mouse: the player's leader walked the
    // length of the map into striking reach of the computer's.
    EXPECT_LE(leaders_closest, 2);
    EXPECT_LT(unit_table[1].hp, 20.0f);
}

TEST_F(WholeGameTest, TheFirstFrameOfAGameIsACensusEconomyStrategyAndWanderingFrame) {
    new_game_from_seed(77u);
    run_one_frame();
    EXPECT_EQ(frame_counter, 1);
    // Every idle neutral but the mines' stillness was sent wandering.
    int wandering = 0;
    for (int i = 2; i < 85; ++i) wandering += unit_table[i].owner == owner_neutral && unit_table[i].order == order_move;
    EXPECT_GT(wandering, 70);
    EXPECT_FALSE(game_over());
    draw_status_and_screens();
    EXPECT_STREQ(text_buffer, "empire_0_gold=1000.50");
    // The computer's three attempts cost 10 each, after its own half gold.
    const float spent = 1000.5f - unit_table[1].gold;
    EXPECT_TRUE(spent == 0.0f || spent == 10.0f || spent == 20.0f || spent == 30.0f) << spent;
}

TEST_F(WholeGameTest, NoEconomyOnceTheGameIsOver) {
    new_game_from_seed(3u);
    empire_0_won = 1;
    run_one_frame();
    EXPECT_EQ(unit_table[0].gold, 1000.0f);
    EXPECT_EQ(unit_table[1].gold, 1000.0f);
}

TEST_F(WholeGameTest, F1DealsANewGameInTheMiddleOfTheFrame) {
    headless_set_calendar_seconds(1234);
    new_game_from_seed(9u);
    for (int frame = 0; frame < 40; ++frame) run_one_frame();
    empire_1_won = 1;
    headless_set_key(vk_f1, true);
    run_one_frame();
    // The rest of the frame saw the new game: counter 0, so no census and
    // no economy ran after it.
    EXPECT_EQ(frame_counter, 0);
    EXPECT_FALSE(game_over());
    EXPECT_EQ(unit_table[0].gold, 1000.0f);
    headless_set_key(vk_f1, false);
    run_one_frame();
    EXPECT_EQ(frame_counter, 1);
    EXPECT_EQ(unit_table[0].gold, 1000.5f);
}

TEST_F(WholeGameTest, TheLaterFunctionKeyWinsAndSpaceSpinsWithTheMouse) {
    new_game_from_seed(9u);
    headless_set_key(vk_f2, true);
    headless_set_key(vk_f4, true);
    headless_set_key(vk_f5, true);
    headless_set_key(vk_f7, true);
    run_one_frame();
    EXPECT_EQ(unit_size, unit_size_large);
    EXPECT_EQ(game_speed, 3);
    headless_set_key(vk_f4, false);
    headless_set_key(vk_f7, false);
    run_one_frame();
    EXPECT_EQ(unit_size, unit_size_small);
    EXPECT_EQ(game_speed, 1);

    camera_spin = 5.0f;
    mouse_x = 160;
    run_one_frame();
    EXPECT_EQ(camera_spin, 5.0f) << "only while Space is down";
    headless_set_key(vk_space, true);
    run_one_frame();
    EXPECT_EQ(camera_spin, 90.0f);
    mouse_x = 7;
    run_one_frame();
    EXPECT_EQ(camera_spin, 7.0f / 640.0f * 360.0f);
}
