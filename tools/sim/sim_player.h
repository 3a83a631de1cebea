// The simulator's stand-in for a person at the mouse: no orders, a steady
// attack on the computer's leader, or random recruiting and orders.
#pragma once

#include <cstdint>

#include "game/pass_input.h"
#include "game/side_command.h"
#include "game/view.h"

enum SimPlayerStyle { sim_player_idle, sim_player_attack, sim_player_random, sim_player_busy };

// Seeds the player's own generator; the game's draws are never touched by it.
void sim_player_seed(uint64_t seed);
// The person's input for the coming frame, and the view it points through;
// the person plays the view's side.
void sim_player_act(SimPlayerStyle style, View* view, PassInput* input);

// A busy person who keeps nothing between frames: every choice is a hash of
// the player's seed, the side, and the game's clock and table as they stand,
// so that a game continued from a snapshot in another process is given the
// very same commands. Recruits, selects, attacks, walks to mines and
// elsewhere, changes the pace; side 0 deals again (from seed + 1) at its
// frame deal_at of the game dealt from seed, when deal_at is above 0.
SideCommand sim_busy_command(uint32_t seed, int side, int deal_at);
