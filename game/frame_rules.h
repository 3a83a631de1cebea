// The rule steps of a frame, each a call in the frame's order, and the same
// steps run back to back for whoever plays the rules without drawing them.
#pragma once

#include "game/side_command.h"

// In the frame these sit between the unit pass and the overlay, in this
// order, with the view's own steps between them (game/frame.cpp);
// update_unit_slice is in game/units.h.

// Frames since the new game; the periodic rules below read the new value.
void count_frame();
// Every 3000 frames the neutral units wander.
void wander_when_due();
// Each side's left button, then its right button, for as long as each is held.
void handle_side_buttons(const FrameCommands& commands);
// F1 deals a new game (the last side that asks gives the seed), then the
// pace keys, the last side's winning.
void apply_side_keys(const FrameCommands& commands);
// Every 30 frames the census, which may end the game.
void census_when_due();
// True while frame_counter says the census is due (mod 30 = 1).
bool census_frame();
// Unless the game is over: income every 30 frames; for a side the computer
// plays, its recruiting every 30 frames and its plan every 500.
void economy_and_opponent();

// Every rule step above in the frame's order: the frame as the simulator,
// a replay check and the network's peers run it.
void run_rule_steps(const FrameCommands& commands);
