// The player's mouse: the tile under the cursor, recruiting and selecting
// with the left button, orders with the right.
#pragma once

#include <cstdint>

// Offsets of the cursor tile from (map_sx, map_sy), computed every frame.
extern int32_t cursor_dx;
extern int32_t cursor_dy;

void update_cursor();
// The offsets update_cursor computes from a mouse column and row.
int32_t cursor_offset_for_column(int32_t column);
int32_t cursor_offset_for_row(int32_t row);
void handle_left_button();
void handle_right_button();
// One paid recruiting draw on unit for empire; shared with the computer.
bool recruit_attempt(int unit, int empire);
