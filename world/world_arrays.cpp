#include "world/world_arrays.h"

#include <cstdlib>

#include "render/image_table.h"

int32_t (*face_table)[face_table_columns] = nullptr;
MeshTriangle* mesh_triangles = nullptr;
MeshVertex* mesh_vertices = nullptr;
uint32_t* visible_triangles = nullptr;
uint32_t* visible_units = nullptr;
MapCell* map_cells = nullptr;
uint8_t* cell_kinds = nullptr;
uint8_t* overlay_pixels = nullptr;
Unit* unit_table = nullptr;

int32_t vertex_count = 0;
int32_t triangle_count = 0;
int32_t visible_triangle_count = 0;
int32_t visible_unit_count = 0;

namespace {

// Every array is zero-filled: no rule may ever read memory nobody wrote
// (an empty unit slot whose stray kind read as a mine would pay gold).
template <typename T>
bool take_zeroed(T*& array, size_t count) {
    array = static_cast<T*>(std::calloc(count, sizeof(T)));
    return array != nullptr;
}

template <typename T>
void give_back(T*& array) {
    std::free(array);
    array = nullptr;
}

}  // namespace

bool alloc_world() {
    bool ok = take_zeroed(face_table, face_table_rows) &&
              take_zeroed(mesh_triangles, max_triangles) &&
              take_zeroed(mesh_vertices, max_vertices) &&
              take_zeroed(visible_triangles, visible_triangle_capacity) &&
              take_zeroed(visible_units, max_units) &&
              take_zeroed(map_cells, static_cast<size_t>(cell_count) * map_levels) &&
              take_zeroed(cell_kinds, static_cast<size_t>(cell_count) * map_levels) &&
              take_zeroed(overlay_pixels, static_cast<size_t>(screen_width) * screen_height * 4) &&
              take_zeroed(unit_table, max_units);
    if (!ok) {
        // No part of the game runs on a partly allocated world.
        free_world();
        return false;
    }
    vertex_count = triangle_count = visible_triangle_count = visible_unit_count = 0;
    return true;
}

void free_world() {
    give_back(face_table);
    give_back(mesh_triangles);
    give_back(mesh_vertices);
    give_back(visible_triangles);
    give_back(visible_units);
    give_back(map_cells);
    give_back(cell_kinds);
    give_back(overlay_pixels);
    give_back(unit_table);
    release_image_table();
}

void init_face_table() {
    static const int32_t rows[4][face_table_columns] = {
        {0, 0, 0, 0, 0, 0},  // nothing is built
        {1, 0, 0, 0, 0, 0},  // open floor
        {1, 1, 0, 0, 0, 0},  // floor under a ceiling
        {1, 1, 2, 2, 2, 2},  // closed block, walls toward other kinds
    };
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < face_table_columns; ++column)
            face_table[row][column] = rows[row][column];
}

void init_map_cells() {
    for (int i = 0; i < cell_count * map_levels; ++i) {
        MapCell& cell = map_cells[i];
        cell.ceil_a = cell.ceil_b = cell.ceil_c = cell.ceil_d = 1.5f;
        cell.floor_a = cell.floor_b = cell.floor_c = cell.floor_d = 0.0f;
        cell.checker = static_cast<uint8_t>(i % 2);
        cell.ceiling_texture = 0;
        cell.floor_texture = 1;
        cell.wall_ymin_texture = 0;
        cell.wall_ymax_texture = 0;
        cell.wall_xmax_texture = 0;
        cell.wall_xmin_texture = 0;
        cell_kinds[i] = 1;
    }
}
