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
// The units near the tile at the centre of the drawn area.
void collect_visible_units(int centre_x, int centre_y);
// A standing picture turns back by the camera's spin so that it faces the viewer.
void draw_standing_sprite(int slot, float size, WorldDrawing way = WorldDrawing::batched, float spin = 0.0f);
void draw_lying_sprite(int slot, float size, WorldDrawing way = WorldDrawing::batched);
// The collected units as seen from the centre tile, pictures unit_size wide.
void draw_unit_pass(int centre_x, int centre_y, float unit_size, float spin,
                    WorldDrawing way = WorldDrawing::batched);
void draw_cursor_marker(int dx, int dy);
