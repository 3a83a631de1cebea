// Dealing a new game on the existing map: creatures, leaders, mines, and the
// reset of the clock, the end flags and the view.
#pragma once

#include <cstdint>

// Deals a game seeded from the calendar clock and plays the start sound.
void new_game();
// The same deal from a chosen seed, for tests and the simulator.
void new_game_from_seed(uint32_t seed);
// The next new_game deals from this seed instead of the clock, once.
void choose_next_deal_seed(uint32_t seed);

// The sound of a new game, relative to the data folders.
extern const char* const new_game_sound_path;
