// Drawing the world each frame: the culled terrain mesh, the units near the
// view centre as pictures with their labels and bars, and the tile marker.
#pragma once

// Off in the game. When set, pictures are drawn one quad per primitive, each
// moved into place on the matrix stack, and the terrain one triangle per
// primitive with a bind each: the plain way, kept for tests and benchmarks
// to hold the batched drawing against.
extern bool plain_world_drawing;

void cull_mesh();
void draw_mesh();
void collect_visible_units();
void draw_standing_sprite(int slot, float size);
void draw_lying_sprite(int slot, float size);
void draw_unit_pass();
void draw_cursor_marker(int dx, int dy);
