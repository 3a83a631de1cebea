// The game's life: open the window, start the world, run the loop of events
// and frames with its recording, close the window.
#pragma once

#include "app/options.h"

// One pass: one waiting event handed to the window procedure, or else the
// person's pass (game/person_pass.h) on the input as it stands, recorded.
// Returns true when the loop is to end.
bool run_loop_pass();
// Passes until one ends the loop. Returns the exit code: 0.
int run_main_loop();
// The whole game: window and world, the loop with its recording, teardown.
// Returns the exit code: 0 after the loop, 1 when it could not start.
int run_game(const GameOptions& options = GameOptions());
