// The two questions units ask: the next step toward a cell, or toward a unit.
// Each runs one complete search in path_search.
#pragma once

// 1: a step was written to the unit's next_x, next_y. 0: no path, and the
// unit's order has been set to idle.
int path_step_to_cell(int unit, int column, int row, int window);
// As above, and 2 when the target is one of the eight cells around the unit
// (nothing is written).
int path_step_to_unit(int unit, int column, int row, int window);

// The same two questions answered by the plain search, expansion by
// expansion, every time.
int plain_path_step_to_cell(int unit, int column, int row, int window);
int plain_path_step_to_unit(int unit, int column, int row, int window);

// Called before each of the two questions above when set; the game leaves it
// unset. The simulator counts the queries with it for its report.
extern void (*path_query_hook)();

// Query results.
constexpr int path_no_step = 0;
constexpr int path_stepped = 1;
constexpr int path_beside_target = 2;
