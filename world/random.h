// The game's one pseudo-random generator, a 32-bit linear congruential one.
// Kept in its own namespace so it never meets the C library's rand().
#pragma once

#include <cstdint>

namespace rng {

// Sets the generator's state.
void srand(uint32_t seed);
// Advances the state and returns a value from 0 to 32767.
int rand();
// The state itself, for tests and the simulator's reports.
uint32_t state();

}  // namespace rng
