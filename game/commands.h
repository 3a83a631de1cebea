// The player's mouse: the tile under the cursor, recruiting and selecting
// with the left button, orders with the right.
#pragma once

#include <cstdint>

// Offsets of the cursor tile from (map_sx, map_sy), computed every frame.
extern int32_t cursor_dx;
extern int32_t cursor_dy;

void update_cursor();
void handle_left_button();
void handle_right_button();
// One paid recruiting draw on unit for empire; shared with the computer.
bool recruit_attempt(int unit, int empire);
