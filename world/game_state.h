// The game's shared state beside the arrays: the frame clock, each side's
// selection, who plays each side, the pace and the end-of-game flags.
#pragma once

#include <cstdint>

#include "world/settings.h"

// Frames since the last new game; every periodic rule counts from it.
extern int32_t frame_counter;

// The unit that takes each side's orders; survives a new game.
extern int32_t selected_unit[side_count];

// 1 for a side a person plays (by the player's rules), 0 for the computer's
// side, whose own steps recruit, mine and raid for it.
extern uint8_t side_played_by_person[side_count];

// The frame delay step (F5 to F8): survives a new game.
extern int32_t game_speed;

// End of game: set by the census, cleared by a new game.
extern int32_t empire_0_won;
extern int32_t empire_1_won;
extern int32_t tie;

// True while any end-of-game flag is set.
bool game_over();
// Side 0 a person, side 1 the computer, each selecting its own leader, the
// pace at its start value: the shared state as a fresh program has it.
void reset_shared_state();
