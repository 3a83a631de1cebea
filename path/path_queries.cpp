#include "path/path_queries.h"

#include <cstdint>

#include "path/path_fast.h"
#include "path/path_search.h"
#include "world/world_arrays.h"

namespace {

bool can_ask(int unit) { return path_search && unit_table && unit >= 0 && unit < max_units; }

// A complete search from the unit's cell; true when the target was reached.
bool search_from_unit(const Unit& unit, int column, int row, int window) {
    PathSearch& search = *path_search;
    note_search_answer();
    search.prepare(unit.tile_x, unit.tile_y, column, row, unit.level, window);
    // The budget is the window's area, which run lowers to what the window
    // holds; the clamped side keeps the product in range.
    search.run(search.window_size * search.window_size);
    return search.status == status_found;
}

void write_step(Unit& unit) {
    unit.next_x = static_cast<uint16_t>(path_search->step_x);
    unit.next_y = static_cast<uint16_t>(path_search->step_y);
}

// A complete search from the unit's cell, its first step written to the
// unit. Toward a unit, a target reached in one step from the start stands
// next to us: nothing is written.
int plain_path_step(int unit, int column, int row, int window, bool toward_unit) {
    if (!can_ask(unit)) return path_no_step;
    Unit& walker = unit_table[unit];
    if (!search_from_unit(walker, column, row, window)) {
        walker.order = order_idle;
        return path_no_step;
    }
    if (!path_search->read_found(toward_unit ? 0 : 1)) return path_beside_target;
    path_search->trace_first_step();
    write_step(walker);
    return path_stepped;
}

}  // namespace

int plain_path_step_to_cell(int unit, int column, int row, int window) {
    return plain_path_step(unit, column, row, window, false);
}

int plain_path_step_to_unit(int unit, int column, int row, int window) {
    return plain_path_step(unit, column, row, window, true);
}

void (*path_query_hook)() = nullptr;

int path_step_to_cell(int unit, int column, int row, int window) {
    if (path_query_hook) path_query_hook();
    return fast_path_step(unit, column, row, window, false);
}

int path_step_to_unit(int unit, int column, int row, int window) {
    if (path_query_hook) path_query_hook();
    return fast_path_step(unit, column, row, window, true);
}
