#include "path/path_fast.h"

#include <cstdlib>
#include <cstring>

#include "path/path_search.h"
#include "world/world_arrays.h"

namespace {

// The whole-map window: the inside of the map is searched, its ring never.
constexpr int inside_side = map_size - 2;
constexpr int inside_count = inside_side * inside_side;
constexpr int whole_map_budget = map_size * map_size - 9;
// No open node costing more than this is ever picked by cost.
constexpr float pick_ceiling = static_cast<float>(2 * map_size * map_size);
constexpr float start_cost = 1.0f;

static_assert(cell_count <= 65536, "node and cell numbers are packed in 16 bits");

constexpr int32_t step_dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int32_t step_dy[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr float step_length[8] = {1.0f, diagonal_step, 1.0f, diagonal_step, 1.0f, diagonal_step, 1.0f, diagonal_step};
constexpr int32_t step_offset[8] = {
    step_dy[0] * map_size + step_dx[0], step_dy[1] * map_size + step_dx[1], step_dy[2] * map_size + step_dx[2],
    step_dy[3] * map_size + step_dx[3], step_dy[4] * map_size + step_dx[4], step_dy[5] * map_size + step_dx[5],
    step_dy[6] * map_size + step_dx[6], step_dy[7] * map_size + step_dx[7]};

// A pair whose answer is not known (yet, or ever: see row_complete).
constexpr uint8_t unknown_answer = 0xFF;
// How far the answers of a start cell are known.
constexpr uint8_t row_unseen = 0;    // nothing written yet
constexpr uint8_t row_partial = 1;   // known for every cell picked so far
constexpr uint8_t row_complete = 2;  // the whole budget is spent: unknown means never reached

// What the fast queries keep between calls.
struct KeptPaths {
    // Kept answers, [level][start inside index][target inside index]: bits
    // 0-2 the direction of the first step, bits 3-5 the direction by which
    // the target's node was made; and how far each start's row is known.
    uint8_t* answers;
    uint8_t* row_state;  // [level][start inside index]

    // The map the answers were made from, and what was learnt from it.
    uint8_t* seen_kinds;  // copy of cell_kinds
    // Compared with entry_cost at every query; unaligned, that comparison
    // made a repeated query a tenth slower.
    alignas(64) int32_t seen_entry_cost[256];
    uint8_t* move_mask;  // [level][cell]: bit d set when a step in direction d may be taken
    float* cell_entry;   // [level][cell]: entry cost as the search adds it
    int16_t* region;     // [level][cell]: 0 may not be entered, else a connected region
    bool map_known;

    // The search that fills kept answers, suspended between queries. Grid
    // index and map cell index are the same for the whole-map window.
    int16_t* fill_cell;   // [node]
    float* fill_cost;     // [node]
    uint8_t* fill_marks;  // [cell] as grid_marks: 0 free, 1 made, 9 closed; read a word at a time
    uint8_t* fill_dirs;   // [cell] the kept answer of the cell's node
    uint8_t* ring_marks;  // [cell] the marks of a fresh search: the ring taken
    uint64_t* fill_queue;
    int32_t fill_queue_count;
    int32_t fill_level;  // -1: no search suspended
    int32_t fill_start;
    int32_t fill_current;
    int32_t fill_last;
    int32_t fill_expansions;

    // The live search's queue, the region labelling's, and the chain of
    // steps a kept cost is summed along.
    uint64_t* live_queue;
    int16_t* region_queue;
    uint8_t* cost_chain;

    // What the last query's found cost is read from.
    bool last_from_kept;
    int32_t last_level, last_start, last_target;

    // Bytes held by all of the above: the answers and the map knowledge.
    size_t bytes;
};

KeptPaths kept = {};

template <typename T>
bool take(T*& buffer, size_t count) {
    buffer = static_cast<T*>(std::malloc(count * sizeof(T)));
    return buffer != nullptr;
}

template <typename T>
void give_back(T*& buffer) {
    std::free(buffer);
    buffer = nullptr;
}

int32_t inside_index(int32_t cell) {
    const int32_t x = cell % map_size, y = cell / map_size;
    return (y - 1) * inside_side + (x - 1);
}

uint8_t* answers_of(int32_t level, int32_t start_cell) {
    const size_t row = static_cast<size_t>(level) * inside_count + inside_index(start_cell);
    return kept.answers + row * inside_count;
}

uint8_t& state_of(int32_t level, int32_t start_cell) {
    return kept.row_state[static_cast<size_t>(level) * inside_count + inside_index(start_cell)];
}

// Queue keys order nodes as the plain scan does: lowest cost first, and
// among equal costs the highest node number. The cost's bits are made to
// sort as the numbers do, the node number is stored inverted below them,
// and the cell rides in the lowest bits.
uint64_t queue_key(float cost, int32_t node, int32_t cell) {
    cost += 0.0f;  // -0 sorts with +0, as the comparison treats them
    uint32_t bits;
    std::memcpy(&bits, &cost, sizeof bits);
    bits = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
    const uint32_t low = (static_cast<uint32_t>(cell_count - 1 - node) << 16) | static_cast<uint32_t>(cell);
    return (static_cast<uint64_t>(bits) << 32) | low;
}

int32_t key_node(uint64_t key) { return cell_count - 1 - static_cast<int32_t>((key >> 16) & 0xFFFF); }
int32_t key_cell(uint64_t key) { return static_cast<int32_t>(key & 0xFFFF); }

// A binary heap of keys. The slot just past the last key always holds the
// largest key there is, so that choosing the smaller child needs neither a
// bounds test nor a branch: the choice is unpredictable and would cost more
// than the rest of an expansion.
constexpr uint64_t no_key = ~static_cast<uint64_t>(0);

void queue_clear(uint64_t* queue, int32_t& count) {
    count = 0;
    queue[0] = no_key;
}

// Puts key into the hole at i, moving the hole up past every larger parent.
void sift_up(uint64_t* queue, int32_t i, uint64_t key) {
    while (i > 0) {
        const int32_t parent = (i - 1) / 2;
        if (queue[parent] <= key) break;
        queue[i] = queue[parent];
        i = parent;
    }
    queue[i] = key;
}

void queue_push(uint64_t* queue, int32_t& count, uint64_t key) {
    const int32_t hole = count++;
    queue[count] = no_key;
    sift_up(queue, hole, key);
}

// Takes the smallest key: the hole at the top sinks to a leaf along the
// smaller children, and the last key rises into it from there.
uint64_t queue_pop(uint64_t* queue, int32_t& count) {
    const uint64_t top = queue[0];
    const uint64_t last = queue[--count];
    queue[count] = no_key;
    if (count == 0) return top;
    int32_t i = 0;
    for (int32_t child = 1; child < count; child = 2 * i + 1) {
        child += static_cast<int32_t>(queue[child + 1] < queue[child]);
        queue[i] = queue[child];
        i = child;
    }
    sift_up(queue, i, last);
    return top;
}

// ---------------------------------------------------------------------------
// Map knowledge

bool inside_map(int32_t x, int32_t y) { return x >= 1 && x <= map_size - 2 && y >= 1 && y <= map_size - 2; }

// The moves the search may make from a cell, whatever that cell's own kind:
// onto an enterable inside cell, and diagonally only past two cells that
// let a diagonal pass.
uint8_t moves_from(const uint8_t* kinds, int32_t x, int32_t y) {
    uint8_t mask = 0;
    if (!inside_map(x, y)) return 0;
    for (int d = 0; d < 8; ++d) {
        const int32_t nx = x + step_dx[d], ny = y + step_dy[d];
        if (!inside_map(nx, ny) || !is_enterable(kinds[ny * map_size + nx])) continue;
        if (d % 2 == 1 && (blocks_diagonal(kinds[y * map_size + nx]) || blocks_diagonal(kinds[ny * map_size + x])))
            continue;
        mask |= static_cast<uint8_t>(1u << d);
    }
    return mask;
}

// Steps between enterable cells are allowed both ways, so regions are the
// connected parts of the enterable inside cells.
void label_regions(int32_t level) {
    const uint8_t* kinds = cell_kinds + level * cell_count;
    const uint8_t* masks = kept.move_mask + level * cell_count;
    int16_t* labels = kept.region + level * cell_count;
    int16_t* region_queue = kept.region_queue;
    std::memset(labels, 0, sizeof(int16_t) * cell_count);
    int16_t next_label = 0;
    for (int32_t seed = 0; seed < cell_count; ++seed) {
        if (labels[seed] != 0 || !inside_map(seed % map_size, seed / map_size) || !is_enterable(kinds[seed]))
            continue;
        ++next_label;
        int32_t head = 0, tail = 0;
        labels[seed] = next_label;
        region_queue[tail++] = static_cast<int16_t>(seed);
        while (head < tail) {
            const int32_t cell = region_queue[head++];
            for (int d = 0; d < 8; ++d) {
                if (!(masks[cell] & (1u << d))) continue;
                const int32_t next = cell + step_offset[d];
                if (labels[next] != 0) continue;
                labels[next] = next_label;
                region_queue[tail++] = static_cast<int16_t>(next);
            }
        }
    }
}

bool map_unchanged() {
    return kept.map_known &&
           std::memcmp(kept.seen_kinds, cell_kinds, static_cast<size_t>(cell_count) * map_levels) == 0 &&
           std::memcmp(kept.seen_entry_cost, entry_cost, sizeof kept.seen_entry_cost) == 0;
}

// True when some sequence of moves leads from the start to the target.
bool connected(int32_t level, int32_t start, int32_t target) {
    const int16_t* labels = kept.region + level * cell_count;
    const int16_t goal = labels[target];
    if (goal == 0) return false;
    if (labels[start] != 0) return labels[start] == goal;
    // A start that may not be entered is left by its first step only.
    const uint8_t mask = kept.move_mask[level * cell_count + start];
    for (int d = 0; d < 8; ++d)
        if ((mask & (1u << d)) && labels[start + step_offset[d]] == goal) return true;
    return false;
}

bool blocking_unit_on(int32_t level) {
    if (!unit_table) return false;
    for (int slot = 0; slot < path_blocking_slots; ++slot) {
        const Unit& unit = unit_table[slot];
        if (unit.active == 1 && unit.mobility != 0 && unit.blocks_path == 1 && unit.level == level) return true;
    }
    return false;
}

// Learns the map if it changed since the answers were made from it, and
// drops every answer when it did.
void learn_changed_map() {
    if (!cell_kinds || map_unchanged()) return;
    const size_t cells = static_cast<size_t>(cell_count) * map_levels;
    std::memcpy(kept.seen_kinds, cell_kinds, cells);
    std::memcpy(kept.seen_entry_cost, entry_cost, sizeof kept.seen_entry_cost);
    for (int32_t level = 0; level < map_levels; ++level) {
        const uint8_t* kinds = cell_kinds + level * cell_count;
        for (int32_t cell = 0; cell < cell_count; ++cell) {
            kept.move_mask[level * cell_count + cell] = moves_from(kinds, cell % map_size, cell / map_size);
            kept.cell_entry[level * cell_count + cell] = static_cast<float>(entry_cost[kinds[cell]]);
        }
        label_regions(level);
    }
    std::memset(kept.row_state, row_unseen, static_cast<size_t>(inside_count) * map_levels);
    kept.fill_level = -1;
    kept.map_known = true;
}

// ---------------------------------------------------------------------------
// Filling kept answers

// Flags 0x80 in each byte of the word that is 0; marks never exceed 0x80,
// so adding 0x7F to a byte never carries into the next.
uint32_t zero_bytes(const uint8_t* at) {
    uint32_t word;
    std::memcpy(&word, at, sizeof word);
    return ~(word + 0x7F7F7F7Fu) & 0x80808080u;
}

// Bit d set when the neighbour in direction d has mark 0: three loads of the
// rows above, at and below the cell instead of eight tests.
unsigned free_neighbours(const uint8_t* marks, int32_t cell) {
    // Bytes 0, 1 and 2 of each word are columns x - 1, x and x + 1.
    const uint32_t back = zero_bytes(marks + cell - map_size - 1);  // row y - 1
    const uint32_t same = zero_bytes(marks + cell - 1);             // row y
    const uint32_t next = zero_bytes(marks + cell + map_size - 1);  // row y + 1
    return ((next >> 15) & 1) | ((next >> 23) & 1) << 1 | ((same >> 23) & 1) << 2 | ((back >> 23) & 1) << 3 |
           ((back >> 15) & 1) << 4 | ((back >> 7) & 1) << 5 | ((same >> 7) & 1) << 6 | ((next >> 7) & 1) << 7;
}

void begin_fill(int32_t level, int32_t start) {
    std::memcpy(kept.fill_marks, kept.ring_marks, cell_count);
    std::memset(kept.fill_marks + cell_count, mark_taken, 4);
    kept.fill_level = level;
    kept.fill_start = start;
    kept.fill_cell[0] = static_cast<int16_t>(start);
    kept.fill_cost[0] = start_cost;
    kept.fill_current = 0;
    kept.fill_last = 0;
    kept.fill_expansions = 0;
    queue_clear(kept.fill_queue, kept.fill_queue_count);
}

// Runs the suspended search on until it picks the target or ends. Every
// cell it picks gets its kept answer; a search that ends completes its row.
// The search runs in locals and is put back when it stops: the byte stores
// into the marks and answers may alias the object's fields, which the
// compiler would otherwise load again after every store.
void continue_fill(int32_t target) {
    uint8_t* const answers = answers_of(kept.fill_level, kept.fill_start);
    const uint8_t* const masks = kept.move_mask + kept.fill_level * cell_count;
    const float* const entries = kept.cell_entry + kept.fill_level * cell_count;
    int16_t* const fill_cell = kept.fill_cell;
    float* const fill_cost = kept.fill_cost;
    uint8_t* const fill_marks = kept.fill_marks;
    uint8_t* const fill_dirs = kept.fill_dirs;
    uint64_t* const fill_queue = kept.fill_queue;
    int32_t fill_queue_count = kept.fill_queue_count;
    int32_t fill_current = kept.fill_current;
    int32_t fill_last = kept.fill_last;
    int32_t fill_expansions = kept.fill_expansions;
    auto suspend = [&] {
        kept.fill_queue_count = fill_queue_count;
        kept.fill_current = fill_current;
        kept.fill_last = fill_last;
        kept.fill_expansions = fill_expansions;
    };
    while (fill_expansions < whole_map_budget) {
        const int32_t parent = fill_current;
        const int32_t cell = fill_cell[parent];
        const float cost = fill_cost[parent];
        unsigned open = free_neighbours(fill_marks, cell) & masks[cell];
        const uint8_t first = parent == 0 ? 0xFF : static_cast<uint8_t>(fill_dirs[cell] & 7);
        while (open) {
            const int d = __builtin_ctz(open);
            open &= open - 1;
            const int32_t next = cell + step_offset[d];
            const int32_t node = ++fill_last;
            float next_cost = step_length[d] + cost;
            next_cost = next_cost + entries[next];
            fill_cell[node] = static_cast<int16_t>(next);
            fill_cost[node] = next_cost;
            fill_marks[next] = mark_taken;
            fill_dirs[next] = static_cast<uint8_t>((first == 0xFF ? d : first) | (d << 3));
            if (next_cost <= pick_ceiling) queue_push(fill_queue, fill_queue_count, queue_key(next_cost, node, next));
        }
        fill_marks[cell] = mark_closed;
        ++fill_expansions;

        int32_t picked;
        if (fill_queue_count > 0) {
            const uint64_t key = queue_pop(fill_queue, fill_queue_count);
            fill_current = key_node(key);
            picked = key_cell(key);
        } else {
            // Nothing open is cheap enough: the newest node is taken. Once
            // that one is closed the search only repeats itself to the end.
            fill_current = fill_last;
            picked = fill_cell[fill_last];
            if (fill_marks[picked] != mark_taken) break;
        }
        answers[inside_index(picked)] = fill_dirs[picked];
        if (picked == target) {
            suspend();
            return;
        }
    }
    suspend();
    state_of(kept.fill_level, kept.fill_start) = row_complete;
    kept.fill_level = -1;
}

// The kept answer for a pair, searching on as far as needed.
uint8_t kept_answer(int32_t level, int32_t start, int32_t target) {
    uint8_t& state = state_of(level, start);
    uint8_t* answers = answers_of(level, start);
    if (state == row_unseen) {
        std::memset(answers, unknown_answer, inside_count);
        state = row_partial;
        begin_fill(level, start);
    }
    uint8_t answer = answers[inside_index(target)];
    if (answer != unknown_answer || state == row_complete) return answer;
    // The search that made this row was given up for another start: it is
    // made again from the beginning, writing the same answers on its way.
    if (kept.fill_level != level || kept.fill_start != start) begin_fill(level, start);
    continue_fill(target);
    return answers[inside_index(target)];
}

// The cost of the target's node, summed along its chain from the start in
// the order the search summed it.
float kept_cost(int32_t level, int32_t start, int32_t target) {
    uint8_t* const chain = kept.cost_chain;
    const uint8_t* answers = answers_of(level, start);
    int32_t length = 0;
    for (int32_t cell = target; cell != start && length < cell_count;) {
        const int d = (answers[inside_index(cell)] >> 3) & 7;
        chain[length++] = static_cast<uint8_t>(d);
        cell -= step_offset[d];
    }
    const float* entries = kept.cell_entry + level * cell_count;
    float cost = start_cost;
    int32_t cell = start;
    while (length > 0) {
        const int d = chain[--length];
        cell += step_offset[d];
        cost = step_length[d] + cost;
        cost = cost + entries[cell];
    }
    return cost;
}

int refuse(Unit& unit) {
    unit.order = order_idle;
    return 0;
}

void write_step(Unit& unit, const PathSearch& search) {
    unit.next_x = static_cast<uint16_t>(search.step_x);
    unit.next_y = static_cast<uint16_t>(search.step_y);
}

// The live search for windows other than the whole map or with units in
// the way; the first step is read exactly as the plain queries read it.
int live_step(Unit& unit, PathSearch& search, int column, int row, int window, bool toward_unit) {
    search.prepare(unit.tile_x, unit.tile_y, column, row, unit.level, window);
    run_with_queue(search, search.window_size * search.window_size);
    if (search.status != status_found) return refuse(unit);
    if (!search.read_found(toward_unit ? 0 : 1)) return 2;
    search.trace_first_step();
    write_step(unit, search);
    return 1;
}

void give_back_kept_paths() {
    give_back(kept.answers);
    give_back(kept.row_state);
    give_back(kept.seen_kinds);
    give_back(kept.move_mask);
    give_back(kept.cell_entry);
    give_back(kept.region);
    give_back(kept.fill_cell);
    give_back(kept.fill_cost);
    give_back(kept.fill_marks);
    give_back(kept.fill_dirs);
    give_back(kept.ring_marks);
    give_back(kept.fill_queue);
    give_back(kept.live_queue);
    give_back(kept.region_queue);
    give_back(kept.cost_chain);
    kept = KeptPaths{};
    kept.fill_level = -1;
}

// Takes every buffer of the kept answers unless they are taken; false when
// memory runs out, with nothing of them left allocated.
bool take_kept_paths() {
    if (kept.answers) return true;
    kept = KeptPaths{};
    const size_t cells = static_cast<size_t>(cell_count) * map_levels;
    const size_t rows = static_cast<size_t>(inside_count) * map_levels;
    // Every buffer counted as it is taken, so the figure cannot miss one.
    kept.bytes = sizeof kept.seen_entry_cost;
    auto take_counted = [](auto*& buffer, size_t count) {
        kept.bytes += count * sizeof *buffer;
        return take(buffer, count);
    };
    const bool ok = take_counted(kept.answers, rows * inside_count) && take_counted(kept.row_state, rows) &&
                    take_counted(kept.seen_kinds, cells) && take_counted(kept.move_mask, cells) &&
                    take_counted(kept.cell_entry, cells) && take_counted(kept.region, cells) &&
                    take_counted(kept.fill_cell, cell_count) && take_counted(kept.fill_cost, cell_count) &&
                    take_counted(kept.fill_marks, cell_count + 4) && take_counted(kept.fill_dirs, cell_count) &&
                    take_counted(kept.ring_marks, cell_count) && take_counted(kept.fill_queue, cell_count + 1) &&
                    take_counted(kept.live_queue, cell_count + 1) && take_counted(kept.region_queue, cell_count) &&
                    take_counted(kept.cost_chain, cell_count);
    if (!ok) {
        give_back_kept_paths();
        return false;
    }
    for (int32_t cell = 0; cell < cell_count; ++cell)
        kept.ring_marks[cell] = inside_map(cell % map_size, cell / map_size) ? mark_free : mark_taken;
    kept.fill_level = -1;
    return true;
}

}  // namespace

void release_kept_paths() { give_back_kept_paths(); }

size_t kept_paths_bytes() { return kept.answers ? kept.bytes : 0; }

void forget_kept_paths() {
    kept.map_known = false;
    kept.fill_level = -1;
}

void forget_kept_start(int32_t level, int32_t column, int32_t row) {
    if (!kept.answers || level < 0 || level >= map_levels) return;
    const int32_t x = column < 1 ? 1 : (column > map_size - 2 ? map_size - 2 : column);
    const int32_t y = row < 1 ? 1 : (row > map_size - 2 ? map_size - 2 : row);
    const int32_t start = y * map_size + x;
    state_of(level, start) = row_unseen;
    if (kept.fill_level == level && kept.fill_start == start) kept.fill_level = -1;
}

bool learn_map() {
    if (!take_kept_paths()) return false;
    learn_changed_map();
    return true;
}

int fast_path_step(int unit, int column, int row, int window, bool toward_unit) {
    if (!path_search || !unit_table || unit < 0 || unit >= max_units) return 0;
    Unit& walker = unit_table[unit];
    PathSearch& search = *path_search;
    kept.last_from_kept = false;
    if (!cell_kinds || !learn_map()) return live_step(walker, search, column, row, window, toward_unit);

    search.place_window(walker.tile_x, walker.tile_y, column, row, walker.level, window);
    search.ready = 1;
    search.status = status_not_found;
    const int32_t level = search.search_level;
    const int32_t start = search.start_y * map_size + search.start_x;
    const int32_t target = search.target_y * map_size + search.target_x;
    if (start == target) {
        search.status = status_same_cell;
        return refuse(walker);
    }
    if (!connected(level, start, target)) return refuse(walker);
    if (search.window_size != map_size || blocking_unit_on(level))
        return live_step(walker, search, column, row, window, toward_unit);

    const uint8_t answer = kept_answer(level, start, target);
    if (answer == unknown_answer) return refuse(walker);
    search.status = status_found;
    kept.last_from_kept = true;
    kept.last_level = level;
    kept.last_start = start;
    kept.last_target = target;
    const int32_t first = start + step_offset[answer & 7];
    if (toward_unit && first == target) {
        // Reached straight from the start: read, not written to the unit.
        search.step_x = search.target_x;
        search.step_y = search.target_y;
        return 2;
    }
    search.step_x = first % map_size;
    search.step_y = first / map_size;
    write_step(walker, search);
    return 1;
}

int run_with_queue(PathSearch& s, int32_t budget) {
    if (!s.ready) return run_unprepared;
    uint64_t* const queue = kept.live_queue;
    if (!queue) return s.run(budget);
    const int32_t limit = s.window_size * s.window_size - 9;
    if (s.start_x == s.target_x && s.start_y == s.target_y) {
        s.status = status_same_cell;
        return run_same_cell;
    }
    if (static_cast<int64_t>(s.last_node) + budget >= limit) budget = limit - s.last_node;
    // Open nodes left by an earlier run, if any; current is expanded first.
    int32_t queue_count;
    queue_clear(queue, queue_count);
    for (int32_t i = 0; i <= s.last_node; ++i)
        if (i != s.current && s.node_state[i] < node_closed && s.node_cost[i] <= pick_ceiling)
            queue_push(queue, queue_count, queue_key(s.node_cost[i], i, 0));
    for (int32_t i = 0; i < budget; ++i) {
        const int32_t made_before = s.last_node;
        s.expand_current();
        for (int32_t n = made_before + 1; n <= s.last_node; ++n)
            if (s.node_cost[n] <= pick_ceiling) queue_push(queue, queue_count, queue_key(s.node_cost[n], n, 0));
        s.current = queue_count > 0 ? key_node(queue_pop(queue, queue_count)) : s.last_node;
        if (s.node_x[s.current] == s.target_x && s.node_y[s.current] == s.target_y) {
            s.status = status_found;
            s.found_node = s.current;
            return run_found;
        }
    }
    return run_not_found;
}

float last_found_cost() {
    if (!path_search || path_search->status != status_found) return 0.0f;
    if (kept.last_from_kept) return kept_cost(kept.last_level, kept.last_start, kept.last_target);
    return path_search->node_cost[path_search->found_node];
}

void note_search_answer() { kept.last_from_kept = false; }
