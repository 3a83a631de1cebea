#include "game/side_command.h"

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
