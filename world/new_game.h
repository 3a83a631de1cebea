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
// Whether a chosen seed still waits for its deal.
bool deal_seed_pending();
// Deals made since the program started (either call above), and the seed of
// the latest: what a recording keeps of each deal.
uint32_t deal_count();
uint32_t last_deal_seed();

// The sound of a new game, relative to the data folders.
extern const char* const new_game_sound_path;
