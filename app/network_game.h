// Two players over the network in the window: the lobby on screen until the
// other player is there (or the game taken back after a crash, or a saved
// game handed to the guest), then the game in lockstep, each frame on both
// sides' commands, and its end told on screen and on stderr.
#pragma once

#include "app/options.h"

// --host (with --load, a saved game) or --join; the same command after a
// crash takes its seat back. Returns the exit code: 0 when the player left or the
// other player did, 1 when the lobby failed, the other player fell silent or
// the two games parted.
int run_network_game(const GameOptions& options);
