// The terrain mesh: which cells are built, in which order, and the exact
// vertices, texture coordinates and windings of every face.
#include <gtest/gtest.h>

#include <algorithm>

#include "terrain/terrain_mesh.h"
#include "world/world_arrays.h"

namespace {

class TerrainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(alloc_world());
        init_face_table();
        init_map_cells();
    }
    void TearDown() override { free_world(); }

    // As the frame does: counters reset, then one build.
    void build(int cx, int cy, int radius = 20) {
        vertex_count = 0;
        triangle_count = 0;
        build_terrain_mesh(0, cx, cy, radius);
    }

    void set_all_kinds(uint8_t kind) {
        for (int i = 0; i < cell_count; ++i) cell_kinds[i] = kind;
    }
};

struct Vec {
    float x, y, z;
};

Vec position(uint32_t vertex) {
    const float* p = mesh_vertices[vertex].pos;
    return {p[0], p[1], p[2]};
}

// The (unnormalised) normal by the right-hand rule: positive along a
// direction when the triangle runs counter-clockwise seen from that side.
Vec normal_of(int triangle) {
    const MeshTriangle& t = mesh_triangles[triangle];
    Vec a = position(t.vertex[0]), b = position(t.vertex[1]), c = position(t.vertex[2]);
    Vec u = {b.x - a.x, b.y - a.y, b.z - a.z};
    Vec v = {c.x - a.x, c.y - a.y, c.z - a.z};
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

float facing(int triangle, Vec direction) {
    Vec n = normal_of(triangle);
    return n.x * direction.x + n.y * direction.y + n.z * direction.z;
}

// One expected vertex: which corner, floor or ceiling, and its texture coordinates.
struct Corner {
    char name;  // 'A', 'B', 'C' or 'D'
    bool up;    // the ceiling vertex of that corner
    float u, v;
};

void expect_vertex(int vertex, const MapCell& cell, float x0, float y0, const Corner& expected, const char* face) {
    SCOPED_TRACE(::testing::Message() << face << " vertex " << vertex << " corner " << expected.name
                                      << (expected.up ? " ceiling" : " floor"));
    const bool right = expected.name == 'B' || expected.name == 'D';
    const bool far = expected.name == 'C' || expected.name == 'D';
    const float floors[4] = {cell.floor_a, cell.floor_b, cell.floor_c, cell.floor_d};
    const float ceilings[4] = {cell.ceil_a, cell.ceil_b, cell.ceil_c, cell.ceil_d};
    const int k = expected.name - 'A';
    const MeshVertex& got = mesh_vertices[vertex];
    EXPECT_EQ(got.pos[0], x0 + (right ? 1.0f : 0.0f));
    EXPECT_EQ(got.pos[1], y0 + (far ? 1.0f : 0.0f));
    EXPECT_EQ(got.pos[2], expected.up ? ceilings[k] : floors[k]);
    EXPECT_EQ(got.u, expected.u);
    EXPECT_EQ(got.v, expected.v);
}

// One face: two consecutive triangles of three fresh vertices each.
void expect_face(int first_triangle, const MapCell& cell, float x0, float y0, const Corner (&corners)[6],
                 uint32_t texture, const char* face) {
    for (int t = 0; t < 2; ++t) {
        const MeshTriangle& triangle = mesh_triangles[first_triangle + t];
        EXPECT_EQ(triangle.texture, texture) << face;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(triangle.vertex[k], static_cast<uint32_t>(first_triangle * 3 + t * 3 + k)) << face;
            expect_vertex(static_cast<int>(triangle.vertex[k]), cell, x0, y0, corners[t * 3 + k], face);
        }
    }
}

}  // namespace

TEST_F(TerrainTest, ViewWindowsBuildTheCellsInsideTheMapRing) {
    struct Case {
        int cx, cy;
        int cells;
        Vec first;  // the first triangle's first vertex
    };
    // Cell (12,12) is in an even column (split A-D, first vertex A); cells
    // (1,1) and (43,43) are odd (split B-C, first vertex C).
    const Case cases[] = {
        {32, 32, 40 * 40, {-20, -20, 0}},
        {0, 0, 19 * 19, {1, 2, 0}},
        {63, 63, 20 * 20, {-20, -19, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "centre " << c.cx << "," << c.cy);
        build(c.cx, c.cy);
        EXPECT_EQ(triangle_count, 2 * c.cells);
        EXPECT_EQ(vertex_count, 6 * c.cells);
        Vec first = position(mesh_triangles[0].vertex[0]);
        EXPECT_EQ(first.x, c.first.x);
        EXPECT_EQ(first.y, c.first.y);
        EXPECT_EQ(first.z, c.first.z);
    }

    build(-30, 5);
    EXPECT_EQ(triangle_count, 0);
    EXPECT_EQ(vertex_count, 0);
}

TEST_F(TerrainTest, CellsAreBuiltRowByRowAndNeverTouchTheOuterRing) {
    build(32, 32);
    // Two floor triangles per cell; the cell is known from its first
    // triangle's lowest corner, relative to the view centre.
    int previous_x = -100, previous_y = -100;
    for (int cell = 0; cell < triangle_count / 2; ++cell) {
        float low_x = 1e9f, low_y = 1e9f;
        for (int t = 0; t < 2; ++t)
            for (uint32_t v : mesh_triangles[cell * 2 + t].vertex) {
                low_x = std::min(low_x, mesh_vertices[v].pos[0]);
                low_y = std::min(low_y, mesh_vertices[v].pos[1]);
            }
        const int x = static_cast<int>(low_x) + 32, y = static_cast<int>(low_y) + 32;
        ASSERT_GE(x, 12);
        ASSERT_LE(x, 51);
        ASSERT_GE(y, 12);
        ASSERT_LE(y, 51);
        if (y == previous_y) ASSERT_EQ(x, previous_x + 1);
        else ASSERT_EQ(y, previous_y == -100 ? 12 : previous_y + 1);
        previous_x = x;
        previous_y = y;
    }

    // At the map's edge the window stops one cell short of it: column and
    // row 62 are the last built, their far corners one tile past the centre.
    build(62, 62);
    float high_x = -1e9f, high_y = -1e9f;
    for (int i = 0; i < vertex_count; ++i) {
        high_x = std::max(high_x, mesh_vertices[i].pos[0]);
        high_y = std::max(high_y, mesh_vertices[i].pos[1]);
    }
    EXPECT_EQ(high_x, 1.0f);
    EXPECT_EQ(high_y, 1.0f);
}

TEST_F(TerrainTest, FloorDiagonalFollowsTheColumnWithFixedTextureCorners) {
    set_all_kinds(0);
    cell_kinds[cell_index(0, 20, 20)] = 1;
    cell_kinds[cell_index(0, 21, 20)] = 1;
    build(20, 20);
    ASSERT_EQ(triangle_count, 4);
    const MapCell& even = map_cells[cell_index(0, 20, 20)];
    const MapCell& odd = map_cells[cell_index(0, 21, 20)];
    ASSERT_EQ(even.checker, 0);
    ASSERT_EQ(odd.checker, 1);
    // Corner texture coordinates: A (1,0), B (0,0), C (1,1), D (0,1) either way.
    const Corner a = {'A', false, 1, 0}, b = {'B', false, 0, 0}, c = {'C', false, 1, 1}, d = {'D', false, 0, 1};
    const Corner split_ad[6] = {a, b, d, c, a, d};
    const Corner split_bc[6] = {c, a, b, c, b, d};
    expect_face(0, even, 0, 0, split_ad, 1, "floor, even column");
    expect_face(2, odd, 1, 0, split_bc, 1, "floor, odd column");
    for (int t = 0; t < 4; ++t) EXPECT_GT(facing(t, {0, 0, 1}), 0.0f) << "floor triangle " << t << " faces up";
}

TEST_F(TerrainTest, ClosedBlockBuildsEveryFaceInOrderWithExactVertices) {
    set_all_kinds(0);
    const int x = 30, y = 40;
    const int i = cell_index(0, x, y);
    cell_kinds[i] = 3;
    // Uneven heights, so each corner's own height and opening can be told apart.
    MapCell& cell = map_cells[i];
    cell.floor_a = 0.25f, cell.ceil_a = 2.0f;
    cell.floor_b = 0.5f, cell.ceil_b = 1.5f;
    cell.floor_c = 0.0f, cell.ceil_c = 3.0f;
    cell.floor_d = 0.75f, cell.ceil_d = 1.25f;
    cell.floor_texture = 1, cell.ceiling_texture = 2;
    cell.wall_ymin_texture = 3, cell.wall_ymax_texture = 4, cell.wall_xmax_texture = 5, cell.wall_xmin_texture = 6;
    const float ha = 1.75f, hb = 1.0f, hc = 3.0f, hd = 0.5f;

    for (uint8_t checker : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "checker " << int(checker));
        cell.checker = checker;
        build(x, y);
        ASSERT_EQ(triangle_count, 12);
        ASSERT_EQ(vertex_count, 36);

        const Corner fa = {'A', false, 1, 0}, fb = {'B', false, 0, 0}, fc = {'C', false, 1, 1},
                     fd = {'D', false, 0, 1};
        const Corner ca = {'A', true, 0, 0}, cb = {'B', true, 1, 0}, cc = {'C', true, 0, 1}, cd = {'D', true, 1, 1};
        const Corner floor_ad[6] = {fa, fb, fd, fc, fa, fd};
        const Corner floor_bc[6] = {fc, fa, fb, fc, fb, fd};
        const Corner ceiling_ad[6] = {cd, cb, ca, cd, ca, cc};
        const Corner ceiling_bc[6] = {cb, ca, cc, cd, cb, cc};
        expect_face(0, cell, 0, 0, checker ? floor_bc : floor_ad, 1, "floor");
        expect_face(2, cell, 0, 0, checker ? ceiling_bc : ceiling_ad, 2, "ceiling");

        const Corner wall_ymin[6] = {{'A', false, 0, 0}, {'B', false, 1, 0}, {'B', true, 1, hb},
                                     {'B', true, 1, hb}, {'A', true, 0, ha}, {'A', false, 0, 0}};
        const Corner wall_ymax[6] = {{'D', true, 1, hd}, {'D', false, 1, 0}, {'C', false, 0, 0},
                                     {'C', false, 0, 0}, {'C', true, 0, hc}, {'D', true, 1, hd}};
        const Corner wall_xmax[6] = {{'D', false, 0, 0}, {'D', true, 0, hd}, {'B', false, 1, 0},
                                     {'B', true, 1, hb}, {'B', false, 1, 0}, {'D', true, 0, hd}};
        const Corner wall_xmin[6] = {{'A', true, 0, ha}, {'C', false, 1, 0}, {'A', false, 0, 0},
                                     {'C', false, 1, 0}, {'A', true, 0, ha}, {'C', true, 1, hc}};
        expect_face(4, cell, 0, 0, wall_ymin, 3, "wall toward y-1");
        expect_face(6, cell, 0, 0, wall_ymax, 4, "wall toward y+1");
        expect_face(8, cell, 0, 0, wall_xmax, 5, "wall toward x+1");
        expect_face(10, cell, 0, 0, wall_xmin, 6, "wall toward x-1");

        // Floor up, ceiling down.
        for (int t : {0, 1}) EXPECT_GT(facing(t, {0, 0, 1}), 0.0f) << t;
        for (int t : {2, 3}) EXPECT_GT(facing(t, {0, 0, -1}), 0.0f) << t;
    }
}

TEST_F(TerrainTest, ClosedBlockAmongOpenFloorFacesItsWallsOutward) {
    const int x = 10, y = 10;
    cell_kinds[cell_index(0, x, y)] = 3;
    build(x, y, 2);  // columns and rows 8 to 11
    // Fifteen open floors of two triangles each, and the block's twelve.
    ASSERT_EQ(triangle_count, 15 * 2 + 12);
    // Rows 8 and 9 and the two cells left of it come first.
    const int first = 10 * 2;
    EXPECT_EQ(mesh_triangles[first].texture, 1u);  // its floor is grass

    const struct {
        int triangle;
        Vec outward;
        int axis;      // 0: the wall lies at constant x, 1: at constant y
        float offset;  // that coordinate, relative to the view centre
    } walls[] = {
        {first + 4, {0, -1, 0}, 1, 0.0f},
        {first + 6, {0, 1, 0}, 1, 1.0f},
        {first + 8, {1, 0, 0}, 0, 1.0f},
        {first + 10, {-1, 0, 0}, 0, 0.0f},
    };
    for (const auto& wall : walls) {
        for (int t = wall.triangle; t < wall.triangle + 2; ++t) {
            SCOPED_TRACE(::testing::Message() << "triangle " << t);
            EXPECT_GT(facing(t, wall.outward), 0.0f);
            for (uint32_t v : mesh_triangles[t].vertex) {
                EXPECT_EQ(mesh_vertices[v].pos[wall.axis], wall.offset);
                // The start heights: v is the opening of 1.5 at the top, 0 at the foot.
                const float z = mesh_vertices[v].pos[2];
                EXPECT_TRUE(z == 0.0f || z == 1.5f);
                EXPECT_EQ(mesh_vertices[v].v, z == 1.5f ? 1.5f : 0.0f);
            }
        }
    }
    // Walls belong to the block alone: every other triangle is a floor.
    for (int t = 0; t < triangle_count; ++t) {
        if (t >= first && t < first + 12) continue;
        EXPECT_GT(facing(t, {0, 0, 1}), 0.0f) << t;
    }
}

TEST_F(TerrainTest, TwoClosedBlocksShareNoWall) {
    set_all_kinds(0);
    cell_kinds[cell_index(0, 20, 20)] = 3;
    cell_kinds[cell_index(0, 21, 20)] = 3;
    build(20, 20);
    // Each keeps floor, ceiling and three walls.
    ASSERT_EQ(triangle_count, 20);
    // The left block has no wall toward x+1, the right none toward x-1: no
    // triangle stands on the shared edge at x = 1.
    for (int t = 0; t < triangle_count; ++t) {
        bool on_shared_edge = true;
        for (uint32_t v : mesh_triangles[t].vertex) on_shared_edge &= mesh_vertices[v].pos[0] == 1.0f;
        EXPECT_FALSE(on_shared_edge) << "triangle " << t;
    }
    // Left block: floor, ceiling, y-1, y+1, x-1 (its x-1 wall at x = 0).
    for (uint32_t v : mesh_triangles[8].vertex) EXPECT_EQ(mesh_vertices[v].pos[0], 0.0f);
    // Right block: floor, ceiling, y-1, y+1, x+1 (at x = 2).
    for (uint32_t v : mesh_triangles[18].vertex) EXPECT_EQ(mesh_vertices[v].pos[0], 2.0f);
}

TEST_F(TerrainTest, KindsWithoutWallsOrWithoutFaces) {
    set_all_kinds(0);
    build(32, 32);
    EXPECT_EQ(triangle_count, 0);

    // A roofed floor beside a closed block: floor and ceiling, never a wall.
    cell_kinds[cell_index(0, 32, 32)] = 2;
    cell_kinds[cell_index(0, 33, 32)] = 3;
    cell_kinds[cell_index(0, 31, 32)] = 1;
    build(32, 32);
    // Kind 1: 2, kind 2: 4, kind 3 next to kind 0 and 2 (no kind 3): 12.
    EXPECT_EQ(triangle_count, 2 + 4 + 12);
    EXPECT_GT(facing(2, {0, 0, 1}), 0.0f);   // kind 2 floor
    EXPECT_GT(facing(4, {0, 0, -1}), 0.0f);  // kind 2 ceiling
}
