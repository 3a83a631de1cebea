// One loop pass of a game that a person plays through their view, once no
// window event waits: the frame on both sides' commands (unless the window
// is minimised), Escape, the swap, then the view keys.
#pragma once

#include "game/pass_input.h"
#include "game/side_command.h"
#include "game/view.h"

// The window's own loop swaps; a replay watched swaps when it chooses; the
// rule steps alone draw nothing.
enum PassKind { pass_in_window, pass_watched, pass_rules_only };

// The person's command at their view for the view's side; the computer's
// side sends the empty command.
FrameCommands person_commands(const PassInput& input, const View& view);
// The pass; true when it ends the game.
bool run_person_pass(PassKind kind, const FrameCommands& commands, const PassInput& input, View* view);
