#include "game/frame_rules.h"

#include "app/input_state.h"
#include "game/census.h"
#include "game/commands.h"
#include "game/economy.h"
#include "game/opponent.h"
#include "game/screens.h"
#include "game/units.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/settings.h"

namespace {

constexpr int wander_period = 3000;
constexpr int census_period = 30;
constexpr int economy_period = 30;
constexpr int strategy_period = 500;
constexpr float full_turn_degrees = 360.0f;

// Periodic rules fire in frames period * k + 1, the first in frame 1.
bool periodic(int period) { return frame_counter % period == 1; }

}  // namespace

void count_frame() { frame_counter += 1; }

void wander_when_due() {
    if (periodic(wander_period)) wander_neutrals();
}

// The left edge of the window is 0 degrees, the right edge 360.
void spin_by_mouse() {
    if (!key_down(vk_space)) return;
    camera_spin = static_cast<float>(mouse_x) / static_cast<float>(screen_width) * full_turn_degrees;
}

// The buttons are levels: each acts once per frame for as long as it is held.
void handle_mouse_buttons() {
    if (mouse_buttons[0] == 1) handle_left_button();
    if (mouse_buttons[2] == 1) handle_right_button();
}

// Tested in this order every frame while held, so the later key wins; F1
// deals the new game mid-frame and the rest of the frame sees it.
void apply_function_keys() {
    if (key_down(vk_f1)) new_game();
    if (key_down(vk_f2)) unit_size = unit_size_small;
    if (key_down(vk_f3)) unit_size = unit_size_normal;
    if (key_down(vk_f4)) unit_size = unit_size_large;
    if (key_down(vk_f5)) game_speed = 1;
    if (key_down(vk_f6)) game_speed = 2;
    if (key_down(vk_f7)) game_speed = 3;
    if (key_down(vk_f8)) game_speed = 4;
}

bool census_frame() { return periodic(census_period); }

void census_when_due() {
    if (census_frame()) census();
}

// The census runs first, so the frame that ends a game pays nothing.
void economy_and_opponent() {
    if (game_over()) return;
    if (periodic(economy_period)) {
        economy_tick();
        computer_recruit();
    }
    if (periodic(strategy_period)) computer_strategy();
}

void run_rule_steps() {
    count_frame();
    wander_when_due();
    update_unit_slice();
    spin_by_mouse();
    update_cursor();
    handle_mouse_buttons();
    apply_function_keys();
    census_when_due();
    economy_and_opponent();
    toggle_help();
    close_help_when_over();
}
