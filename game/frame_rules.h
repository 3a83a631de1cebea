// The rule steps of one frame, shared by the real frame and the headless
// simulator so that no rule is ever written twice.
#pragma once

// Frame counter, wandering, the unit slice, Space spin, the cursor tile.
void rules_before_cursor_marker();
// Mouse buttons, function keys, the census, economy and opponent.
void rules_after_cursor_marker();

// Space held: the camera's spin follows the mouse across the window.
void spin_by_mouse();
// F1 to F8: new game, picture size, frame delay.
void apply_function_keys();
