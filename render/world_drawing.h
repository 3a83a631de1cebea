// Drawing the world each frame: the culled terrain mesh, the units near the
// view centre as pictures with their labels and bars, and the tile marker.
#pragma once

void cull_mesh();
void draw_mesh();
void collect_visible_units();
void draw_standing_sprite(int slot, float size);
void draw_lying_sprite(int slot, float size);
void draw_unit_pass();
void draw_cursor_marker(int dx, int dy);
