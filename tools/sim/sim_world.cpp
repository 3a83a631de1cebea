#include "tools/sim/sim_world.h"

#include "game/world_start.h"
#include "platform/headless/headless_platform.h"
#include "world/game_state.h"

// The world as the window's start-up leaves it, on a fresh program's state.
bool start_sim_world(uint32_t first_seed) {
    headless_reset();
    reset_shared_state();
    return start_world(first_seed) == nullptr;
}

void stop_sim_world() { stop_world(); }
