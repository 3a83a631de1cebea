#include "tools/sim/sim_world.h"

#include "path/path_fast.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "world/new_game.h"
#include "world/world_arrays.h"

// The first deal goes through new_game, as the window's does, so a replay's
// deals are counted from the same call.
bool start_sim_world(uint32_t first_seed) {
    headless_reset();
    if (!alloc_world()) return false;
    path_search = new PathSearch();
    if (!path_search->create_buffers()) return false;
    init_face_table();
    init_map_cells();
    choose_next_deal_seed(first_seed);
    new_game();
    return true;
}

void stop_sim_world() {
    if (path_search) {
        path_search->release_buffers();
        delete path_search;
        path_search = nullptr;
    }
    release_kept_paths();
    free_world();
}
