// The real frame and the simulator's frame run the same rule steps in the
// same order: one scripted game, dealt from one seed, played once through
// run_frame in the offscreen context and once through run_rule_steps, must
// leave the same state after every frame. The script makes each order that
// matters show: the census's jump after the click, the click after the
// cursor moved, F1 after the click, the economy after the census that ends
// the game, the wandering and the draws of frame 1 after the count.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/input_state.h"
#include "game/commands.h"
#include "game/frame.h"
#include "game/frame_rules.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

constexpr uint32_t deal_seed = 2;
constexpr int64_t f1_deal_seconds = 1700000000;
constexpr int frames = 56;
constexpr int keys_used[] = {vk_backspace, vk_space, vk_f1, vk_f4, vk_f7};

std::string text(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g ", value);
    return buffer;
}

// Everything a rule step may change, as text, so that a difference shows
// where it is.
std::string game_state() {
    std::string out = "counter " + text(frame_counter) + "rand " + text(rng::state()) + "selected " +
                      text(selected_unit) + "won " + text(empire_0_won) + text(empire_1_won) + text(tie) +
                      "view " + text(map_sx) + text(map_sy) + "cursor " + text(cursor_dx) + text(cursor_dy) +
                      "size " + text(unit_size) + "speed " + text(game_speed) + "spin " + text(camera_spin) + "\n";
    for (int i = 0; i < max_units; ++i) {
        const Unit& u = unit_table[i];
        if (!u.active) continue;
        out += "unit " + text(i) + text(u.owner) + text(u.tile_x) + text(u.tile_y) + text(u.order) +
               text(u.goal_x) + text(u.goal_y) + text(u.next_x) + text(u.next_y) + text(u.target_unit) +
               text(u.hp) + text(u.gold) + text(u.dead) + text(u.mining) + "\n";
    }
    return out;
}

// The mouse over a tile, as the cursor rule maps the window onto tiles
// around the view centre: 16 by 12 pixels a tile.
void aim_at_tile(int x, int y) {
    const int dx = x - map_sx, dy = y - map_sy;
    mouse_x = 16 * (dx + 20) + (dx < 0 ? -8 : 8);
    mouse_y = screen_height - (12 * (dy + 20) + (dy < 0 ? -6 : 6));
}

// The living neutral creature nearest a tile (not a mine).
int neutral_near(int x, int y) {
    int best = -1, best_distance = 1 << 30;
    for (int i = 0; i < max_units; ++i) {
        const Unit& u = unit_table[i];
        if (!u.active || u.dead || u.owner != owner_neutral || u.kind == kind_mine) continue;
        const int distance = (u.tile_x - x) * (u.tile_x - x) + (u.tile_y - y) * (u.tile_y - y);
        if (distance < best_distance) best = i, best_distance = distance;
    }
    return best;
}

// The lines of two states that differ, each as it is in both.
std::string differences(const std::string& framed, const std::string& simulated) {
    std::string out;
    size_t a = 0, b = 0;
    while (a < framed.size() || b < simulated.size()) {
        const size_t a_end = framed.find('\n', a), b_end = simulated.find('\n', b);
        const std::string line_a = framed.substr(a, a_end - a), line_b = simulated.substr(b, b_end - b);
        if (line_a != line_b) out += "  run_frame:      " + line_a + "\n  run_rule_steps: " + line_b + "\n";
        a = a_end == std::string::npos ? framed.size() : a_end + 1;
        b = b_end == std::string::npos ? simulated.size() : b_end + 1;
    }
    return out;
}

void aim_at_unit(int unit) { aim_at_tile(unit_table[unit].tile_x, unit_table[unit].tile_y); }

// What the player holds during each frame; the same in both games.
void play(int frame) {
    mouse_buttons[0] = mouse_buttons[2] = 0;
    for (int vk : keys_used) headless_set_key(vk, false);
    const Unit& leader = unit_table[owner_player];
    if (frame == 1) {
        // A draw on a creature near the view centre, then the census jumps.
        headless_set_key(vk_backspace, true);
        aim_at_unit(neutral_near(map_sx, map_sy));
        mouse_buttons[0] = 1;
    } else if (frame <= 8) {
        aim_at_unit(neutral_near(leader.tile_x, leader.tile_y));
        mouse_buttons[0] = 1;
    } else if (frame == 12) {
        // The mouse moves and the right button goes down in the same frame.
        aim_at_tile(map_sx + 5, map_sy + 3);
        mouse_buttons[2] = 1;
    } else if (frame == 15) {
        mouse_x = 480;
        headless_set_key(vk_space, true);
    } else if (frame == 16) {
        headless_set_key(vk_f4, true);
        headless_set_key(vk_f7, true);
    } else if (frame == 20) {
        // The click selects the leader in the old game, then F1 deals anew.
        selected_unit = 7;
        aim_at_unit(owner_player);
        mouse_buttons[0] = 1;
        headless_set_key(vk_f1, true);
    } else if (frame == 51) {
        // Frame 31 of the new game: the census ends it before any pay.
        for (int i = 0; i < max_units; ++i) {
            Unit& u = unit_table[i];
            if (u.active && u.owner == owner_computer) u.dead = 1, u.hp = 0.0f;
        }
    }
}

// The deal keeps what it does not set in a slot, so both games start from
// the zeroed table of a fresh program.
void deal() {
    std::memset(unit_table, 0, sizeof(Unit) * max_units);
    headless_set_calendar_seconds(f1_deal_seconds);
    new_game_from_seed(deal_seed);
    selected_unit = 0;
    help_visible = 0;
    game_speed = 1;
    unit_size = unit_size_normal;
}

}  // namespace

TEST(FrameSteps, TheFrameRunsTheRuleStepsInTheSimulatorsOrder) {
    headless_reset();
    ASSERT_TRUE(open_window("VARNHOLD", screen_width, screen_height, 16, false));
    std::vector<std::string> simulated;
    deal();
    for (int frame = 1; frame <= frames; ++frame) {
        play(frame);
        run_rule_steps();
        simulated.push_back(game_state());
    }
    EXPECT_EQ(simulated.back().find("won 1 0 0 "), simulated.back().find("won ")) << "the script ends the game";

    deal();
    for (int frame = 1; frame <= frames; ++frame) {
        play(frame);
        ASSERT_TRUE(run_frame());
        const std::string framed = game_state();
        if (framed != simulated[frame - 1]) {
            ADD_FAILURE() << "frame " << frame << " differs:\n" << differences(framed, simulated[frame - 1]);
            break;
        }
    }
    play(0);
    close_window();
    headless_reset();
}
