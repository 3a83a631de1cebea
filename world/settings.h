// The fixed sizes of the world, chosen when the game is built.
// Every other room sizes its arrays and loops from these names.
#pragma once

constexpr float tile_size = 1.0f;
constexpr int map_size = 64;
constexpr int map_levels = 1;
constexpr int max_units = 256;
constexpr int max_images = 2048;
constexpr int max_vertices = 1000000;
constexpr int max_triangles = 300000;
constexpr int screen_width = 640;
constexpr int screen_height = 480;
constexpr int cell_count = map_size * map_size;

// Room reserved for the culled triangle list and the face table.
constexpr int visible_triangle_capacity = 100000;
constexpr int face_table_rows = 20;
constexpr int face_table_columns = 6;

// Two sides share the map: side 0 is empire 0, side 1 empire 1.
constexpr int side_count = 2;
