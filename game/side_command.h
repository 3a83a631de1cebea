// What one side commands in one frame: everything the rules take from a
// person, and nothing of what that person sees. Replays store these, and
// the network carries them.
#pragma once

#include <cstdint>

#include "world/settings.h"

// The pace keys F5 to F8 ask for game_speed 1 to 4; 0 asks nothing.
constexpr uint8_t pace_unchanged = 0;
constexpr uint8_t pace_fastest_key = 1;
constexpr uint8_t pace_slowest_key = 4;

struct SideCommand {
    uint8_t has_cursor;  // 0: the side points at no tile
    int32_t cursor_x;    // the map tile under the cursor, unclamped: it may
    int32_t cursor_y;    // lie off the map, where no unit stands
    uint8_t left;        // the buttons, 0 or 1, held this frame
    uint8_t right;
    uint8_t deals;       // F1 held: a new game this frame...
    uint32_t deal_seed;  // ...dealt from this seed
    uint8_t pace;        // the last of F5 to F8 held (1 to 4), or pace_unchanged
};

// Both sides' commands for one frame; a side the computer plays sends the
// empty command.
struct FrameCommands {
    SideCommand side[side_count];
};

// The empty command: no tile, nothing held.
SideCommand no_command();
FrameCommands no_commands();
bool same_command(const SideCommand& a, const SideCommand& b);

struct PassInput;
struct View;
// What a person's input in one pass commands at their view: the tile under
// the cursor, the buttons, F1 with its seed, the last pace key held.
SideCommand command_from_pass(const PassInput& input, const View& view);
