// The process's life: open the window, run the loop of events and frames
// with the camera and scroll keys after each swap, close the window.
#pragma once

#include "app/options.h"

// What a pass does once no event waits: the frame (while the window is
// active), Escape, the swap, the view keys. The window's own loop swaps; a
// replay watched swaps when it chooses; the rule steps alone draw nothing.
enum PassKind { pass_in_window, pass_watched, pass_rules_only };
// Returns true when the pass ends the game.
bool run_pass_steps(PassKind kind);

// One pass: one waiting event handed to the window procedure, or else one
// frame (while the window is active), the swap and the view keys.
// Returns true when the loop is to end.
bool run_loop_pass();
// Passes until one ends the loop. Returns the exit code: 0.
int run_main_loop();
// The view keys read after each swap, in their fixed order.
void apply_view_keys();
// The whole program: window and start-up, the loop with its recording,
// teardown; or, with a replay path, the replay watched (app/replay_window.h).
// Returns the exit code: 0 after the loop, 1 when the window could not be
// opened.
int run_game(const GameOptions& options = GameOptions());
