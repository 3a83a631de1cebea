// A fingerprint of the rules as this program was built: two programs that
// would play one game differently (a rule, a rounding, a compiler's choice)
// tell each other apart by it before they play together.
#pragma once

#include <cstdint>

// Plays a short seeded game aside through the rule steps, both sides
// recruiting, selecting and ordering, and gives its final digest. The world
// must be started; the game in it is put back as it was.
uint64_t rules_fingerprint();
