// Drawing the world each frame: the culled terrain mesh, the units near the
// view centre as pictures with their labels and bars, and the tile marker.
#pragma once

// How pictures and terrain reach GL. The game draws batched. Plain: each
// picture pixel a quad of its own, moved into place on the matrix stack, and
// each terrain triangle a primitive with its own bind; kept for tests and
// benchmarks to hold the batched drawing against.
enum class WorldDrawing { batched, plain };

void cull_mesh();
void draw_mesh(WorldDrawing way = WorldDrawing::batched);
void collect_visible_units();
void draw_standing_sprite(int slot, float size, WorldDrawing way = WorldDrawing::batched);
void draw_lying_sprite(int slot, float size, WorldDrawing way = WorldDrawing::batched);
void draw_unit_pass(WorldDrawing way = WorldDrawing::batched);
void draw_cursor_marker(int dx, int dy);
