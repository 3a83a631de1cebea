#include "terrain/terrain_mesh.h"

#include "world/world_arrays.h"

namespace {

// The cell being built, copied before its faces are built: the face
// builders read only this and their position arguments.
struct CellCopy {
    float ceil_a, floor_a, ceil_b, floor_b, ceil_c, floor_c, ceil_d, floor_d;
    uint8_t checker;
    uint8_t ceiling_texture, floor_texture;
    uint8_t wall_ymin_texture, wall_ymax_texture, wall_xmax_texture, wall_xmin_texture;
};

CellCopy cell;
// Which corner of mesh_triangles[triangle_count] the next vertex fills.
int corner = 0;

void copy_cell(const MapCell& source) {
    cell.ceil_a = source.ceil_a;
    cell.floor_a = source.floor_a;
    cell.ceil_b = source.ceil_b;
    cell.floor_b = source.floor_b;
    cell.ceil_c = source.ceil_c;
    cell.floor_c = source.floor_c;
    cell.ceil_d = source.ceil_d;
    cell.floor_d = source.floor_d;
    cell.checker = source.checker;
    cell.ceiling_texture = source.ceiling_texture;
    cell.floor_texture = source.floor_texture;
    cell.wall_ymin_texture = source.wall_ymin_texture;
    cell.wall_ymax_texture = source.wall_ymax_texture;
    cell.wall_xmax_texture = source.wall_xmax_texture;
    cell.wall_xmin_texture = source.wall_xmin_texture;
}

// The one primitive of every face: a fresh vertex, which also becomes the
// next corner of the triangle under construction; the third corner closes it.
void append_vertex(float x, float y, float z, float u, float v, uint32_t texture) {
    MeshVertex& vertex = mesh_vertices[vertex_count];
    vertex.pos[0] = x;
    vertex.pos[1] = y;
    vertex.pos[2] = z;
    vertex.u = u;
    vertex.v = v;
    MeshTriangle& triangle = mesh_triangles[triangle_count];
    triangle.vertex[corner] = static_cast<uint32_t>(vertex_count);
    ++vertex_count;
    if (++corner == 3) {
        triangle.texture = texture;
        ++triangle_count;
        corner = 0;
    }
}

void build_floor(uint8_t checker, float x0, float y0) {
    const float s = tile_size;
    const float x1 = x0 + s, y1 = y0 + s;
    const uint32_t t = cell.floor_texture;
    if (checker == 0) {
        // Split along A-D.
        append_vertex(x0, y0, cell.floor_a, 1, 0, t);  // A
        append_vertex(x1, y0, cell.floor_b, 0, 0, t);  // B
        append_vertex(x1, y1, cell.floor_d, 0, 1, t);  // D
        append_vertex(x0, y1, cell.floor_c, 1, 1, t);  // C
        append_vertex(x0, y0, cell.floor_a, 1, 0, t);  // A
        append_vertex(x1, y1, cell.floor_d, 0, 1, t);  // D
    } else {
        // Split along B-C.
        append_vertex(x0, y1, cell.floor_c, 1, 1, t);  // C
        append_vertex(x0, y0, cell.floor_a, 1, 0, t);  // A
        append_vertex(x1, y0, cell.floor_b, 0, 0, t);  // B
        append_vertex(x0, y1, cell.floor_c, 1, 1, t);  // C
        append_vertex(x1, y0, cell.floor_b, 0, 0, t);  // B
        append_vertex(x1, y1, cell.floor_d, 0, 1, t);  // D
    }
}

// Wound the other way round from the floor, so that it faces down.
void build_ceiling(uint8_t checker, float x0, float y0) {
    const float s = tile_size;
    const float x1 = x0 + s, y1 = y0 + s;
    const uint32_t t = cell.ceiling_texture;
    if (checker == 0) {
        append_vertex(x1, y1, cell.ceil_d, 1, 1, t);  // D
        append_vertex(x1, y0, cell.ceil_b, 1, 0, t);  // B
        append_vertex(x0, y0, cell.ceil_a, 0, 0, t);  // A
        append_vertex(x1, y1, cell.ceil_d, 1, 1, t);  // D
        append_vertex(x0, y0, cell.ceil_a, 0, 0, t);  // A
        append_vertex(x0, y1, cell.ceil_c, 0, 1, t);  // C
    } else {
        append_vertex(x1, y0, cell.ceil_b, 1, 0, t);  // B
        append_vertex(x0, y0, cell.ceil_a, 0, 0, t);  // A
        append_vertex(x0, y1, cell.ceil_c, 0, 1, t);  // C
        append_vertex(x1, y1, cell.ceil_d, 1, 1, t);  // D
        append_vertex(x1, y0, cell.ceil_b, 1, 0, t);  // B
        append_vertex(x0, y1, cell.ceil_c, 0, 1, t);  // C
    }
}

// The walls: u runs along the edge, v climbs with the opening's height so the
// texture repeats once per world unit. Each faces away from its own cell.
void build_wall_ymin(float x0, float y0) {
    const float x1 = x0 + tile_size;
    const float ha = cell.ceil_a - cell.floor_a, hb = cell.ceil_b - cell.floor_b;
    const uint32_t t = cell.wall_ymin_texture;
    append_vertex(x0, y0, cell.floor_a, 0, 0, t);   // A floor
    append_vertex(x1, y0, cell.floor_b, 1, 0, t);   // B floor
    append_vertex(x1, y0, cell.ceil_b, 1, hb, t);   // B ceiling
    append_vertex(x1, y0, cell.ceil_b, 1, hb, t);   // B ceiling
    append_vertex(x0, y0, cell.ceil_a, 0, ha, t);   // A ceiling
    append_vertex(x0, y0, cell.floor_a, 0, 0, t);   // A floor
}

void build_wall_ymax(float x0, float y0) {
    const float x1 = x0 + tile_size, y1 = y0 + tile_size;
    const float hc = cell.ceil_c - cell.floor_c, hd = cell.ceil_d - cell.floor_d;
    const uint32_t t = cell.wall_ymax_texture;
    append_vertex(x1, y1, cell.ceil_d, 1, hd, t);   // D ceiling
    append_vertex(x1, y1, cell.floor_d, 1, 0, t);   // D floor
    append_vertex(x0, y1, cell.floor_c, 0, 0, t);   // C floor
    append_vertex(x0, y1, cell.floor_c, 0, 0, t);   // C floor
    append_vertex(x0, y1, cell.ceil_c, 0, hc, t);   // C ceiling
    append_vertex(x1, y1, cell.ceil_d, 1, hd, t);   // D ceiling
}

void build_wall_xmax(float x0, float y0) {
    const float x1 = x0 + tile_size, y1 = y0 + tile_size;
    const float hb = cell.ceil_b - cell.floor_b, hd = cell.ceil_d - cell.floor_d;
    const uint32_t t = cell.wall_xmax_texture;
    append_vertex(x1, y1, cell.floor_d, 0, 0, t);   // D floor
    append_vertex(x1, y1, cell.ceil_d, 0, hd, t);   // D ceiling
    append_vertex(x1, y0, cell.floor_b, 1, 0, t);   // B floor
    append_vertex(x1, y0, cell.ceil_b, 1, hb, t);   // B ceiling
    append_vertex(x1, y0, cell.floor_b, 1, 0, t);   // B floor
    append_vertex(x1, y1, cell.ceil_d, 0, hd, t);   // D ceiling
}

void build_wall_xmin(float x0, float y0) {
    const float y1 = y0 + tile_size;
    const float ha = cell.ceil_a - cell.floor_a, hc = cell.ceil_c - cell.floor_c;
    const uint32_t t = cell.wall_xmin_texture;
    append_vertex(x0, y0, cell.ceil_a, 0, ha, t);   // A ceiling
    append_vertex(x0, y1, cell.floor_c, 1, 0, t);   // C floor
    append_vertex(x0, y0, cell.floor_a, 0, 0, t);   // A floor
    append_vertex(x0, y1, cell.floor_c, 1, 0, t);   // C floor
    append_vertex(x0, y0, cell.ceil_a, 0, ha, t);   // A ceiling
    append_vertex(x0, y1, cell.ceil_c, 1, hc, t);   // C ceiling
}

int range_start(int centre, int radius) { return centre - radius > 1 ? centre - radius : 1; }
int range_end(int centre, int radius) { return centre + radius < map_size - 1 ? centre + radius : map_size - 1; }

// A wall stands only where its kind asks for one and the neighbour across
// the edge is not a closed block itself.
bool wall_wanted(int flag, int neighbour) { return flag == 2 && cell_kinds[neighbour] != 3; }

void build_cell(int level, int x, int y, int cx, int cy) {
    const int i = level * cell_count + y * map_size + x;
    const float x0 = static_cast<float>(x - cx) * tile_size;
    const float y0 = static_cast<float>(y - cy) * tile_size;
    copy_cell(map_cells[i]);
    const int kind = cell_kinds[i];
    if (kind >= face_table_rows) return;  // no row of the table: nothing to build
    const int32_t* faces = face_table[kind];
    if (faces[face_floor] == 1) build_floor(cell.checker, x0, y0);
    if (faces[face_ceiling] == 1) build_ceiling(cell.checker, x0, y0);
    if (wall_wanted(faces[face_wall_ymin], i - map_size)) build_wall_ymin(x0, y0);
    if (wall_wanted(faces[face_wall_ymax], i + map_size)) build_wall_ymax(x0, y0);
    if (wall_wanted(faces[face_wall_xmax], i + 1)) build_wall_xmax(x0, y0);
    if (wall_wanted(faces[face_wall_xmin], i - 1)) build_wall_xmin(x0, y0);
}

}  // namespace

void build_terrain_mesh(int level, int cx, int cy, int radius) {
    corner = 0;
    // The map's outer ring is never built, so every built cell has all four
    // neighbours inside the map.
    const int x_start = range_start(cx, radius), x_end = range_end(cx, radius);
    const int y_start = range_start(cy, radius), y_end = range_end(cy, radius);
    for (int y = y_start; y < y_end; ++y)
        for (int x = x_start; x < x_end; ++x) build_cell(level, x, y, cx, cy);
}
