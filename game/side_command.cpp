#include "game/side_command.h"

#include "game/pass_input.h"
#include "game/view.h"

SideCommand no_command() {
    SideCommand command = {};
    return command;
}

FrameCommands no_commands() {
    FrameCommands commands = {};
    return commands;
}

// A seed without a deal says nothing, so it never makes two commands differ.
bool same_command(const SideCommand& a, const SideCommand& b) {
    if (a.has_cursor != b.has_cursor || a.left != b.left || a.right != b.right || a.deals != b.deals ||
        a.pace != b.pace)
        return false;
    if (a.has_cursor && (a.cursor_x != b.cursor_x || a.cursor_y != b.cursor_y)) return false;
    return !a.deals || a.deal_seed == b.deal_seed;
}

SideCommand command_from_pass(const PassInput& in, const View& view) {
    SideCommand command = no_command();
    command.has_cursor = 1;
    command.cursor_x = view.map_sx + in.cursor_dx;
    command.cursor_y = view.map_sy + in.cursor_dy;
    command.left = in.buttons[0] ? 1 : 0;
    command.right = in.buttons[2] ? 1 : 0;
    if (in.deals) {
        command.deals = 1;
        command.deal_seed = in.deal_seed;
    }
    constexpr int pace_keys[] = {vk_f5, vk_f6, vk_f7, vk_f8};
    for (int k = 0; k < 4; ++k)
        if (in.direct_keys[pace_keys[k]]) command.pace = static_cast<uint8_t>(pace_fastest_key + k);
    return command;
}
