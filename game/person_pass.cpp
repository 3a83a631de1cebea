#include "game/person_pass.h"

#include "game/frame.h"
#include "platform/platform.h"

FrameCommands person_commands(const PassInput& input, const View& view) {
    FrameCommands commands = no_commands();
    commands.side[view.side] = command_from_pass(input, view);
    return commands;
}

bool run_person_pass(PassKind kind, const FrameCommands& commands, const PassInput& input, View* view) {
    if (input.frame_runs) {
        if (kind == pass_rules_only)
            run_frame_undrawn(commands, view, input);
        else if (!run_frame(commands, view, input))
            return true;
    }
    if (input.keys[vk_escape]) return true;
    if (kind == pass_in_window) platform_swap_buffers();
    apply_view_keys(view, input);
    return false;
}
