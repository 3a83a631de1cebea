#include "game/frame_rules.h"

#include "game/census.h"
#include "game/commands.h"
#include "game/economy.h"
#include "game/opponent.h"
#include "game/units.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/records.h"
#include "world/settings.h"

namespace {

constexpr int wander_period = 3000;
constexpr int census_period = 30;
constexpr int economy_period = 30;
constexpr int strategy_period = 500;

// Periodic rules fire in frames period * k + 1, the first in frame 1.
bool periodic(int period) { return frame_counter % period == 1; }

// The computer's own steps play the side of empire 1 when no person does.
bool computer_plays() { return side_played_by_person[owner_computer] == 0; }

}  // namespace

void count_frame() { frame_counter += 1; }

void wander_when_due() {
    if (periodic(wander_period)) wander_neutrals();
}

// The buttons are levels: each acts once per frame for as long as it is held.
void handle_side_buttons(const FrameCommands& commands) {
    for (int side = 0; side < side_count; ++side) {
        const SideCommand& command = commands.side[side];
        if (command.left) handle_left_button(side, command);
        if (command.right) handle_right_button(side, command);
    }
}

// F1 deals the new game mid-frame and the rest of the frame sees it.
void apply_side_keys(const FrameCommands& commands) {
    int dealer = -1;
    for (int side = 0; side < side_count; ++side)
        if (commands.side[side].deals) dealer = side;
    if (dealer >= 0) new_game_from_seed(commands.side[dealer].deal_seed);
    for (int side = 0; side < side_count; ++side)
        if (commands.side[side].pace != pace_unchanged) game_speed = commands.side[side].pace;
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
        if (computer_plays()) computer_recruit();
    }
    if (periodic(strategy_period) && computer_plays()) computer_strategy();
}

void run_rule_steps(const FrameCommands& commands) {
    count_frame();
    wander_when_due();
    update_unit_slice();
    handle_side_buttons(commands);
    apply_side_keys(commands);
    census_when_due();
    economy_and_opponent();
}
