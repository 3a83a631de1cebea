// Dealing a new game on the existing map: creatures, leaders, mines, and the
// reset of the clock and the end flags. Each player's view follows on its own.
#pragma once

#include <cstdint>

// Deals a game from the seed and plays the start sound. The seed comes with
// the command that asked for the deal (the clock where a person pressed F1).
void new_game_from_seed(uint32_t seed);
// The same deal without its sound and uncounted: a game played aside
// (the shared state put back afterwards), that no player sees and no
// recording keeps.
void deal_quietly(uint32_t seed);
// Deals made since the program started, and the seed of the latest: what a
// recording keeps of each deal, and how a view sees that one happened.
uint32_t deal_count();
uint32_t last_deal_seed();
// A game loaded whole was dealt from this seed; no deal is counted.
void note_deal_seed(uint32_t seed);

// Set while a replay is played through unseen (seeking): its deals are silent.
extern bool deal_sound_muted;

// The sound of a new game, relative to the data folders.
extern const char* const new_game_sound_path;
