#include "path/path_search.h"

#include <cstdlib>

#include "world/world_arrays.h"

PathSearch* path_search = nullptr;
int32_t entry_cost[256];

namespace {

constexpr int32_t initial_entry_cost = 3;
constexpr float start_cost = 1.0f;
constexpr int trace_limit = 10000;
// The window must leave at least one cell inside its border, and the node
// arrays hold one map's cells.
constexpr int32_t smallest_window = 3;

int32_t clamp(int32_t value, int32_t low, int32_t high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return value;
}

template <typename T>
bool take(T*& buffer, int count) {
    buffer = static_cast<T*>(std::calloc(count, sizeof(T)));
    return buffer != nullptr;
}

template <typename T>
void give_back(T*& buffer) {
    std::free(buffer);
    buffer = nullptr;
}

}  // namespace

bool is_enterable(int kind) {
    switch (kind) {
        case 0:
        case 3:
        case 11:
        case 20:
        case 61:
            return false;
        default:
            return true;
    }
}

bool blocks_diagonal(int kind) {
    switch (kind) {
        case 1:
        case 10:
        case 22:
        case 60:
        case 68:
            return false;
        default:
            return true;
    }
}

bool PathSearch::create_buffers() {
    for (int32_t& cost : entry_cost) cost = initial_entry_cost;
    node_x = nullptr;
    node_y = nullptr;
    node_parent = nullptr;
    node_state = nullptr;
    node_cost = nullptr;
    grid_marks = nullptr;
    dir_dx = nullptr;
    dir_dy = nullptr;
    dir_cost = nullptr;
    bool ok = take(node_x, cell_count) && take(node_y, cell_count) && take(node_parent, cell_count) &&
              take(node_state, cell_count) && take(node_cost, cell_count) && take(grid_marks, cell_count) &&
              take(dir_dx, 8) && take(dir_dy, 8) && take(dir_cost, 8);
    if (!ok) {
        release_buffers();
        return false;
    }
    fill_directions();
    start_x = start_y = target_x = target_y = 0;
    window_x = window_y = window_size = 0;
    search_level = current = last_node = scan_from = best_node = found_node = 0;
    best_cost = 0.0f;
    status = 0;
    step_x = step_y = 0;
    ready = 0;
    return true;
}

void PathSearch::release_buffers() {
    give_back(node_x);
    give_back(node_y);
    give_back(node_parent);
    give_back(node_state);
    give_back(node_cost);
    give_back(grid_marks);
    give_back(dir_dx);
    give_back(dir_dy);
    give_back(dir_cost);
}

void PathSearch::fill_directions() {
    static const int32_t dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static const int32_t dy[8] = {1, 1, 0, -1, -1, -1, 0, 1};
    for (int d = 0; d < 8; ++d) {
        dir_dx[d] = dx[d];
        dir_dy[d] = dy[d];
        dir_cost[d] = (d % 2 == 1) ? diagonal_step : 1.0f;
    }
}

void PathSearch::place_window(int32_t from_x, int32_t from_y, int32_t to_x, int32_t to_y, int32_t level,
                              int32_t size) {
    // Only level 0 exists; a unit on any other would index past the map.
    search_level = clamp(level, 0, map_levels - 1);
    from_x = clamp(from_x, 0, map_size - 1);
    from_y = clamp(from_y, 0, map_size - 1);
    to_x = clamp(to_x, 0, map_size - 1);
    to_y = clamp(to_y, 0, map_size - 1);

    // A window wider than the map would run past the node arrays, and one
    // narrower than three cells has no inside to search.
    size = clamp(size, smallest_window, map_size);
    window_size = size;
    window_x = from_x - size / 2;
    window_y = from_y - size / 2;
    if (window_x < 0) window_x = 0;
    if (window_x > map_size - size) window_x = map_size - size;
    if (window_y < 0) window_y = 0;
    if (window_y > map_size - size) window_y = map_size - size;

    const int32_t low_x = window_x + 1, high_x = window_x + size - 2;
    const int32_t low_y = window_y + 1, high_y = window_y + size - 2;
    start_x = clamp(from_x, low_x, high_x);
    start_y = clamp(from_y, low_y, high_y);
    target_x = clamp(to_x, low_x, high_x);
    target_y = clamp(to_y, low_y, high_y);
}

void PathSearch::prepare(int32_t from_x, int32_t from_y, int32_t to_x, int32_t to_y, int32_t level,
                         int32_t size) {
    place_window(from_x, from_y, to_x, to_y, level, size);
    clear_nodes();

    const int32_t w = window_size;
    for (int32_t i = 0; i < w; ++i) {
        grid_marks[i] = mark_taken;                  // first row
        grid_marks[(w - 1) * w + i] = mark_taken;    // last row
        grid_marks[i * w] = mark_taken;              // first column
        grid_marks[i * w + (w - 1)] = mark_taken;    // last column
    }
    mark_units();
    grid_marks[grid_index(start_x, start_y)] = mark_free;
    grid_marks[grid_index(target_x, target_y)] = mark_free;

    current = 0;
    last_node = 0;
    node_x[0] = static_cast<int16_t>(start_x);
    node_y[0] = static_cast<int16_t>(start_y);
    node_parent[0] = 0;
    node_state[0] = node_open;
    node_cost[0] = start_cost;
    scan_from = 0;
    best_cost = 0.0f;
    status = status_not_found;
    ready = 1;
    fill_directions();
}

void PathSearch::clear_nodes() {
    const int32_t count = window_size * window_size;
    for (int32_t i = 0; i < count; ++i) {
        node_x[i] = 0;
        node_y[i] = 0;
        node_parent[i] = 0;
        node_state[i] = 0;
        grid_marks[i] = 0;
        node_cost[i] = 0.0f;
    }
}

void PathSearch::mark_units() {
    if (!unit_table) return;
    const int32_t w = window_size;
    for (int slot = 0; slot < path_blocking_slots; ++slot) {
        const Unit& unit = unit_table[slot];
        if (unit.active != 1 || unit.mobility == 0 || unit.blocks_path != 1 || unit.level != search_level)
            continue;
        const int32_t gx = unit.tile_x - window_x, gy = unit.tile_y - window_y;
        if (gx > 0 && gx < w - 1 && gy > 0 && gy < w - 1) grid_marks[gy * w + gx] = mark_unit;
        if (unit.order == order_move) {
            const int32_t nx = unit.next_x - window_x, ny = unit.next_y - window_y;
            if (nx > 0 && nx < w - 1 && ny > 0 && ny < w - 1) grid_marks[ny * w + nx] = mark_unit_next;
        }
    }
}

int PathSearch::run(int32_t budget) {
    if (!ready) return run_unprepared;
    const int32_t limit = window_size * window_size - 9;
    if (start_x == target_x && start_y == target_y) {
        status = status_same_cell;
        return run_same_cell;
    }
    if (static_cast<int64_t>(last_node) + budget >= limit) budget = limit - last_node;
    for (int32_t i = 0; i < budget; ++i) {
        expand_current();
        pick_cheapest();
        current = advance_scan();
        if (node_x[current] == target_x && node_y[current] == target_y) {
            status = status_found;
            found_node = current;
            return run_found;
        }
    }
    return run_not_found;
}

void PathSearch::expand_current() {
    const uint8_t* kinds = cell_kinds + search_level * cell_count;
    const int32_t x = node_x[current], y = node_y[current];
    for (int d = 0; d < 8; ++d) {
        if (d % 2 == 1) {
            // No corner is cut: both cells beside a diagonal step must let it pass.
            if (blocks_diagonal(kinds[y * map_size + (x + dir_dx[d])])) continue;
            if (blocks_diagonal(kinds[(y + dir_dy[d]) * map_size + x])) continue;
        }
        const int32_t nx = x + dir_dx[d], ny = y + dir_dy[d];
        if (grid_marks[grid_index(nx, ny)] == mark_free && is_enterable(kinds[ny * map_size + nx])) add_node(d);
    }
    close_current();
}

void PathSearch::close_current() {
    node_state[current] = node_closed;
    grid_marks[grid_index(node_x[current], node_y[current])] = mark_closed;
}

void PathSearch::add_node(int d) {
    const int32_t n = ++last_node;
    node_x[n] = static_cast<int16_t>(node_x[current] + dir_dx[d]);
    node_y[n] = static_cast<int16_t>(node_y[current] + dir_dy[d]);
    node_parent[n] = current;
    node_state[n] = node_open;
    const int kind = cell_kinds[search_level * cell_count + node_y[n] * map_size + node_x[n]];
    // Two single-precision sums in this order: the ties between equal paths
    // depend on it.
    float cost = dir_cost[d] + node_cost[current];
    cost = cost + static_cast<float>(entry_cost[kind]);
    node_cost[n] = cost;
    grid_marks[grid_index(node_x[n], node_y[n])] = mark_taken;
}

// The scan keeps its minimum in locals and stores it once at the end: kept
// in the object's fields, it went through memory on every node, and the
// scan's speed then swung by a quarter with where the linker put the loop.
void PathSearch::pick_cheapest() {
    float cost = static_cast<float>(2 * map_size * map_size);
    int32_t node = last_node;
    for (int32_t i = scan_from; i <= last_node; ++i) {
        // Greater-or-equal: among equal costs the newest node wins.
        if (node_state[i] < node_closed && cost >= node_cost[i]) {
            cost = node_cost[i];
            node = i;
        }
    }
    best_cost = cost;
    best_node = node;
}

int32_t PathSearch::advance_scan() {
    for (int32_t i = scan_from; i <= last_node; ++i) {
        if (node_state[i] < node_closed) {
            scan_from = i;
            break;
        }
    }
    return best_node;
}

bool PathSearch::read_found(int32_t whole) {
    step_x = node_x[current];
    step_y = node_y[current];
    if (whole == 1) return true;
    return node_parent[current] != 0;
}

int PathSearch::trace_first_step() {
    int32_t i = current;
    int links = 0;
    for (int k = 0; k < trace_limit; ++k) {
        if (node_parent[i] == 0) break;
        i = node_parent[i];
        ++links;
    }
    step_x = node_x[i];
    step_y = node_y[i];
    return links;
}
