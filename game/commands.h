// A side's commands as the rules take them: recruiting and selecting with
// the left button, orders with the right, on the tile the side points at.
#pragma once

#include "game/side_command.h"

// Each runs for as long as its button is held, for the side given.
void handle_left_button(int side, const SideCommand& command);
void handle_right_button(int side, const SideCommand& command);
// One paid recruiting draw on unit for empire; shared with the computer.
bool recruit_attempt(int unit, int empire);
