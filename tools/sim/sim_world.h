// The simulator's world: allocated, the map laid and the first game dealt
// without a window, and released again; shared by its two ways of playing.
#pragma once

#include <cstdint>

// False when the world or the search buffers cannot be allocated.
bool start_sim_world(uint32_t first_seed);
void stop_sim_world();
