// Taking over a replay: a game at home that plays on from the moment a
// replay shows, the person on the recorded side against the computer.
#pragma once

#include "app/options.h"
#include "game/view.h"

// The game as it stands (loaded at the replay's moment) played on in the
// open window through view: the person on side, the computer stepping on
// for the other, its replay starting from this moment as a game continued
// from a save does. F9 saves and leaving autosaves as in any game at home.
// Returns the loop's exit code.
int take_over_game(const GameOptions& options, int side, const View& view);
