#include "game/rules_fingerprint.h"

#include <cstring>

#include "game/frame_rules.h"
#include "replay/state_digest.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/random.h"
#include "world/world_arrays.h"

namespace {

constexpr uint32_t fingerprint_seed = 20261207;
constexpr int fingerprint_frames = 1600;  // past the first raids at 1501

// Each side holds the left button over a unit for a while, then orders its
// selection to another unit's tile: recruiting, selecting, moving and
// attacking all come into it.
SideCommand command_of(int side, int frame) {
    SideCommand command = no_command();
    const int phase = frame / 50;
    const Unit& target = unit_table[(phase * 7 + side * 13) % 85];
    command.has_cursor = 1;
    command.cursor_x = target.tile_x;
    command.cursor_y = target.tile_y;
    command.left = phase % 2 == 0;
    command.right = phase % 2 == 1;
    return command;
}

// The game in the world, put back after the game played aside: every unit
// field (those a deal leaves alone too), the generator and the shared state.
struct SavedGame {
    Unit units[max_units];
    uint32_t rng_state;
    int32_t frame_counter, selected[side_count], game_speed, empire_0_won, empire_1_won, tie;
    uint8_t person[side_count];
};

void save_game(SavedGame* saved) {
    std::memcpy(saved->units, unit_table, sizeof saved->units);
    saved->rng_state = rng::state();
    saved->frame_counter = frame_counter;
    std::memcpy(saved->selected, selected_unit, sizeof saved->selected);
    std::memcpy(saved->person, side_played_by_person, sizeof saved->person);
    saved->game_speed = game_speed;
    saved->empire_0_won = empire_0_won;
    saved->empire_1_won = empire_1_won;
    saved->tie = tie;
}

void restore_game(const SavedGame& saved) {
    std::memcpy(unit_table, saved.units, sizeof saved.units);
    rng::srand(saved.rng_state);
    frame_counter = saved.frame_counter;
    std::memcpy(selected_unit, saved.selected, sizeof saved.selected);
    std::memcpy(side_played_by_person, saved.person, sizeof saved.person);
    game_speed = saved.game_speed;
    empire_0_won = saved.empire_0_won;
    empire_1_won = saved.empire_1_won;
    tie = saved.tie;
}

}  // namespace

uint64_t rules_fingerprint() {
    static SavedGame saved;
    save_game(&saved);
    // Side 1 stays the computer's as well: its recruiting, mining and raids
    // come into the fingerprint beside both sides' commands.
    reset_shared_state();
    deal_quietly(fingerprint_seed);
    for (int frame = 0; frame < fingerprint_frames; ++frame) {
        FrameCommands commands = no_commands();
        for (int side = 0; side < side_count; ++side) commands.side[side] = command_of(side, frame);
        run_rule_steps(commands);
    }
    const uint64_t fingerprint = digest_game_state().whole;
    restore_game(saved);
    return fingerprint;
}
