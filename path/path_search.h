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

    bool create_buffers();
    void release_buffers();
    void prepare(int32_t start_x, int32_t start_y, int32_t target_x, int32_t target_y, int32_t level,
                 int32_t window_size);
    void clear_nodes();
    void mark_units();
    int run(int32_t budget);
    void add_node(int direction);
    void pick_cheapest();
    int32_t advance_scan();
    bool read_found(int32_t whole);
    int trace_first_step();
};

// Null until start-up creates the object.
extern PathSearch* path_search;

// Cost paid for entering a cell, by cell kind.
extern int32_t entry_cost[256];

bool is_enterable(int kind);
bool blocks_diagonal(int kind);
