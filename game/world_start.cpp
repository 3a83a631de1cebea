#include "game/world_start.h"

#include <new>

#include "path/path_fast.h"
#include "path/path_search.h"
#include "world/new_game.h"
#include "world/world_arrays.h"

const char* start_world(uint32_t first_seed) {
    if (!alloc_world()) return "Not Enough Memory For The World.";
    path_search = new (std::nothrow) PathSearch();
    if (!path_search || !path_search->create_buffers()) return "Not Enough Memory For The Path Search.";
    init_face_table();
    init_map_cells();
    new_game_from_seed(first_seed);
    return nullptr;
}

void stop_world() {
    release_kept_paths();
    if (path_search) {
        path_search->release_buffers();
        delete path_search;
        path_search = nullptr;
    }
    free_world();
}
