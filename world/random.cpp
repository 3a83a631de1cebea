#include "world/random.h"

namespace rng {

namespace {
uint32_t generator_state = 0;
}

void srand(uint32_t seed) { generator_state = seed; }

int rand() {
    generator_state = generator_state * 214013u + 2531011u;
    return static_cast<int>((generator_state >> 16) & 0x7FFFu);
}

uint32_t state() { return generator_state; }

}  // namespace rng
