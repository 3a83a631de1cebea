// The one search object: a uniform-cost search over a square window of the
// map in eight directions, owning every buffer a search needs.
#pragma once

#include <cstdint>

class PathSearch {
public:
    int16_t* node_x;
    int16_t* node_y;
    int32_t* node_parent;
    uint8_t* node_state;  // 0 open, 9 closed
    float* node_cost;
    int32_t start_x, start_y;
    int32_t target_x, target_y;  // after clamping; the frame reads them after a query
    int32_t window_x, window_y;
    int32_t window_size;
    int32_t* dir_dx;
    int32_t* dir_dy;
    float* dir_cost;
    uint8_t* grid_marks;  // 0 free, 1 taken or border, 9 closed
    int32_t search_level;
    int32_t current;
    int32_t last_node;
    int32_t scan_from;
    float best_cost;
    int32_t best_node;
    uint8_t status;  // 0 not found, 1 found, 3 start equals target
    int32_t found_node;
    uint8_t ready;
    int32_t step_x, step_y;

    // Takes every buffer once; false (with nothing left allocated) when
    // memory runs out.
    bool create_buffers();
    void release_buffers();
    void prepare(int32_t start_x, int32_t start_y, int32_t target_x, int32_t target_y, int32_t level,
                 int32_t window_size);
    // The first steps of prepare: level, window and the clamped start and
    // target, without touching the nodes or the grid.
    void place_window(int32_t start_x, int32_t start_y, int32_t target_x, int32_t target_y, int32_t level,
                      int32_t window_size);
    void clear_nodes();
    void mark_units();
    void fill_directions();
    int run(int32_t budget);
    // One expansion of run: every neighbour of current that may be entered
    // gets a node, then current is closed.
    void expand_current();
    void close_current();
    void add_node(int direction);
    void pick_cheapest();
    int32_t advance_scan();
    bool read_found(int32_t whole);
    int trace_first_step();
    // Index of a map cell in grid_marks.
    int32_t grid_index(int32_t column, int32_t row) const {
        return (row - window_y) * window_size + (column - window_x);
    }
};

// Null until start-up creates the object.
extern PathSearch* path_search;

// Cost paid for entering a cell, by cell kind.
extern int32_t entry_cost[256];

bool is_enterable(int kind);
bool blocks_diagonal(int kind);

// Grid marks.
constexpr uint8_t mark_free = 0;
constexpr uint8_t mark_taken = 1;
constexpr uint8_t mark_closed = 9;
constexpr uint8_t mark_unit_next = 11;
constexpr uint8_t mark_unit = 12;

// Node states.
constexpr uint8_t node_open = 0;
constexpr uint8_t node_closed = 9;

// Results of run.
constexpr int run_not_found = 0;
constexpr int run_found = 1;
constexpr int run_same_cell = 4;
constexpr int run_unprepared = 5;

// Values of status.
constexpr uint8_t status_not_found = 0;
constexpr uint8_t status_found = 1;
constexpr uint8_t status_same_cell = 3;

// Unit slots that may stand in the way of a search.
constexpr int path_blocking_slots = 10;

// The length of a diagonal step: the single-precision number nearest 1.4142
// (not the square root of two), as the game has always walked.
constexpr float diagonal_step = 1.4142f;
