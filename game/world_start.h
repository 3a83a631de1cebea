// What the rules need before the first frame, in this order: the world's
// arrays, the path search, the map, and the first deal; and their release.
#pragma once

#include <cstdint>

// Null when the world is ready; else what ran short, for the start-up's
// message. Whatever was taken is left for stop_world.
const char* start_world(uint32_t first_seed);
void stop_world();
