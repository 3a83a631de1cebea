// The simulator's stand-in for a person at the mouse: no orders, a steady
// attack on the computer's leader, or random recruiting and orders.
#pragma once

#include <cstdint>

enum SimPlayerStyle { sim_player_idle, sim_player_attack, sim_player_random };

// Seeds the player's own generator; the game's draws are never touched by it.
void sim_player_seed(uint64_t seed);
// Sets the mouse (and the view it is relative to) for the coming frame.
void sim_player_act(SimPlayerStyle style);
