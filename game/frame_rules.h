// The rule steps of a frame, each a call in the frame's order, and the same
// steps run back to back for whoever plays the rules without drawing them.
#pragma once

// In the frame these sit between the unit pass and the overlay, in this
// order, with the cursor marker drawn between update_cursor (game/commands.h)
// and the buttons; update_unit_slice is in game/units.h.

// Frames since the new game; the periodic rules below read the new value.
void count_frame();
// Every 3000 frames the neutral units wander.
void wander_when_due();
// Space held: the camera's spin follows the mouse across the window.
void spin_by_mouse();
// Left button, then right button, for as long as each is held.
void handle_mouse_buttons();
// F1 to F8: new game, picture size, frame delay.
void apply_function_keys();
// Every 30 frames the census, which may end the game.
void census_when_due();
// True while frame_counter says the census is due (mod 30 = 1).
bool census_frame();
// Unless the game is over: income and the computer's recruiting every 30
// frames, the computer's plan every 500.
void economy_and_opponent();

// Every rule step above in the frame's order, without the drawing between
// them, and last what the screens change (the help toggle, the help closed
// after a game; game/screens.h): the simulator's frame.
void run_rule_steps();
