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

// The fast layer keeps these answers itself: one set for the program,
// taken at the first query that can use them. They depend on the map
// alone (cell_kinds and entry_cost), which every query compares with the
// copy they were made from, so whichever search object asks, an answer
// that is read is the map's own.

// Gives back every buffer of the kept answers (they are taken again at the
// next query). Tools that measure them, and the end of a program that
// wants its memory back, call it.
void release_kept_paths();
// Bytes held by the kept answers and the map knowledge behind them; 0 while
// they are not taken.
size_t kept_paths_bytes();

// The queries below work on the game's one search object, path_search, as
// the queries of path/path_queries.h do.

// Drops every kept answer and relearns the map (its regions and moves) at
// the next query. The game never changes cell_kinds or entry_cost during
// play; tests and tools that do may call this, and the next query also
// notices a changed map by itself.
void forget_kept_paths();
// Drops the kept answers of one start cell (after the clamping a query
// applies), so that its next query searches as from a cell never seen.
void forget_kept_start(int32_t level, int32_t column, int32_t row);
// Takes the kept answers' buffers if they are not yet taken and learns the
// map now if it is not yet known: moves, entry costs, regions. False when
// memory runs out (the queries then search live every time).
bool learn_map();

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
// newest); same nodes, same result, same status. Uses the fast layer's
// queue; without one (memory ran out) it runs the plain scan.
int run_with_queue(PathSearch& search, int32_t budget);
