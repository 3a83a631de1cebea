// The world's fixed-capacity arrays, allocated once at start-up and
// released at exit; nothing here grows or shrinks during play.
#pragma once

#include <cstdint>

#include "world/records.h"
#include "world/settings.h"

extern int32_t (*face_table)[face_table_columns];  // face_table_rows rows
extern MeshTriangle* mesh_triangles;                // max_triangles
extern MeshVertex* mesh_vertices;                   // max_vertices
extern uint32_t* visible_triangles;                 // visible_triangle_capacity
extern uint32_t* visible_units;                     // max_units
extern MapCell* map_cells;                          // cell_count * map_levels
extern uint8_t* cell_kinds;                         // cell_count * map_levels
extern uint8_t* overlay_pixels;                     // screen_width * screen_height * 4
extern Unit* unit_table;                            // max_units

extern int32_t vertex_count;
extern int32_t triangle_count;
extern int32_t visible_triangle_count;
extern int32_t visible_unit_count;

// Columns of a face table row.
constexpr int face_floor = 0;
constexpr int face_ceiling = 1;
constexpr int face_wall_ymin = 2;
constexpr int face_wall_ymax = 3;
constexpr int face_wall_xmax = 4;
constexpr int face_wall_xmin = 5;

// Index of a cell in map_cells and cell_kinds.
inline int cell_index(int level, int x, int y) { return level * cell_count + y * map_size + x; }

// Takes every array, zero-filled, in a fixed order. Returns false (with
// nothing left allocated) when memory runs out.
bool alloc_world();
// Releases every array that alloc_world took, and the image table.
void free_world();
// Rows 0 to 3 of the face table: nothing, open floor, roofed floor, closed block.
void init_face_table();
// Every cell flat and open: floor 0.0, ceiling 1.5, grass floor, brick elsewhere.
void init_map_cells();
