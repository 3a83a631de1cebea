// Fast answers to the path queries, equal to the plain search's in every
// result: first steps kept per start cell, map regions and an ordered queue.
#pragma once

#include <cstddef>
#include <cstdint>

class PathSearch;

// The map never changes during play and, while no unit blocks paths, a
// search from a cell unfolds the same whatever its target until it picks
// the target. So one search from a start cell, run on when needed, answers
// every target: its first step, its cost and whether the budget reaches it.
// These answers are kept per start cell for the whole-map window.

// What the fast queries keep between calls: part of the search object that
// asks them, taken in its create_buffers and given back in its
// release_buffers, so that no two objects share an answer or a buffer.
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

// Takes the search object's buffers for kept answers; false when memory runs
// out (with nothing of them left allocated). Called by create_buffers.
bool create_kept_paths(PathSearch& owner);
// Gives them back; called by release_buffers.
void release_kept_paths(PathSearch& owner);

// The queries below, and the calls that tend their kept answers, work on
// the game's one search object, path_search, as the queries of
// path/path_queries.h do.

// True when path_search holds its kept answers.
bool kept_paths_ready();
// Drops every kept answer and relearns the map (its regions and moves) at
// the next query. The game never changes cell_kinds or entry_cost during
// play; tests and tools that do may call this, and the next query also
// notices a changed map by itself.
void forget_kept_paths();
// Drops the kept answers of one start cell (after the clamping a query
// applies), so that its next query searches as from a cell never seen.
void forget_kept_start(int32_t level, int32_t column, int32_t row);
// Learns the map now if it is not yet known: moves, entry costs, regions.
void learn_map();

// One query answered the fast way: kept answers when the window is the
// whole map and no unit blocks paths, else a live search whose open nodes
// are ordered by a priority queue. A goal that no sequence of moves can
// reach is refused at once from the map's regions. Leaves status,
// target_x, target_y, step_x and step_y of path_search as the plain search
// does; toward_unit gives path_step_to_unit's result 2.
int fast_path_step(int unit, int column, int row, int window, bool toward_unit);

// Cost of the node at which the last query reached its target (the found
// node's cost of the plain search), or 0 when it found nothing.
float last_found_cost();
// Marks the last query as answered by path_search's own nodes.
void note_search_answer();

// The search of run, with the cheapest open node taken from a priority
// queue ordered as the plain scan orders them (lowest cost, then the
// newest); same nodes, same result, same status. Uses the object's own
// queue; an object without one runs the plain scan.
int run_with_queue(PathSearch& search, int32_t budget);
