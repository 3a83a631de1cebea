// Two players over the network in the window: the lobby on screen until the
// other player is there, then the game in lockstep, each frame on both
// sides' commands, and its end told on screen and on stderr.
#pragma once

#include "app/options.h"

// --host or --join. Returns the exit code: 0 when the player left or the
// other player did, 1 when the lobby failed, the other player fell silent or
// the two games parted.
int run_network_game(const GameOptions& options);
