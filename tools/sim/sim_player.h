// The simulator's stand-in for a person at the mouse: no orders, a steady
// attack on the computer's leader, or random recruiting and orders.
#pragma once

#include <cstdint>

#include "game/pass_input.h"
#include "game/view.h"

enum SimPlayerStyle { sim_player_idle, sim_player_attack, sim_player_random };

// Seeds the player's own generator; the game's draws are never touched by it.
void sim_player_seed(uint64_t seed);
// The person's input for the coming frame, and the view it points through;
// the person plays the view's side.
void sim_player_act(SimPlayerStyle style, View* view, PassInput* input);
