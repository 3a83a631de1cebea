#include "game/rules_fingerprint.h"

#include <cstring>

#include "game/frame_rules.h"
#include "state/shared_state.h"
#include "state/state_digest.h"
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

}  // namespace

uint64_t rules_fingerprint() {
    // Every field a deal leaves alone is kept too: the whole table.
    static SharedState saved;
    capture_shared_state(&saved);
    // Side 1 stays the computer's as well: its recruiting, mining and raids
    // come into the fingerprint beside both sides' commands.
    reset_shared_state();
    // A deal leaves the fields of slots it does not fill as they were: from
    // the zero-filled table of a fresh start, not a played or loaded game's.
    std::memset(unit_table, 0, sizeof(Unit) * max_units);
    deal_quietly(fingerprint_seed);
    for (int frame = 0; frame < fingerprint_frames; ++frame) {
        FrameCommands commands = no_commands();
        for (int side = 0; side < side_count; ++side) commands.side[side] = command_of(side, frame);
        run_rule_steps(commands);
    }
    const uint64_t fingerprint = digest_game_state().whole;
    apply_shared_state(saved);
    return fingerprint;
}
