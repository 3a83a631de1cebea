// The terrain mesh: which cells are built, and the exact vertices, texture
// coordinates and textures of every face, in their order.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "terrain/terrain_mesh.h"
#include "tests/support/world_fixture.h"
#include "world/world_arrays.h"

namespace {

class Terrain : public WorldTest {
protected:
    static void build(int cx, int cy, int radius = 20) {
        vertex_count = triangle_count = 0;
        build_terrain_mesh(0, cx, cy, radius);
    }
    static void set_all_kinds(uint8_t kind) {
        for (int i = 0; i < cell_count; ++i) cell_kinds[i] = kind;
    }
};

// Six vertices of one face, from triangle `first` on, each written as its
// corner (A low x low y, B high x, C high y, D both), f for the floor or c
// for the ceiling vertex, then u and v, where h is that corner's opening.
void expect_face(int first, const MapCell& cell, const char* corners, uint32_t texture) {
    const float floors[4] = {cell.floor_a, cell.floor_b, cell.floor_c, cell.floor_d};
    const float ceilings[4] = {cell.ceil_a, cell.ceil_b, cell.ceil_c, cell.ceil_d};
    std::istringstream words(corners);
    std::string word;
    for (int k = 0; k < 6 && words >> word; ++k) {
        const MeshTriangle& triangle = mesh_triangles[first + k / 3];
        const MeshVertex& got = mesh_vertices[triangle.vertex[k % 3]];
        const int c = word[0] - 'A';
        const float opening = ceilings[c] - floors[c];
        SCOPED_TRACE(::testing::Message() << corners << ": " << word);
        EXPECT_EQ(triangle.vertex[k % 3], static_cast<uint32_t>(first * 3 + k)) << "vertex number";
        EXPECT_EQ(triangle.texture, texture) << "texture";
        EXPECT_EQ(got.pos[0], c % 2) << "x";
        EXPECT_EQ(got.pos[1], c / 2) << "y";
        EXPECT_EQ(got.pos[2], word[1] == 'c' ? ceilings[c] : floors[c]) << "z";
        EXPECT_EQ(got.u, word[2] - '0') << "u";
        EXPECT_EQ(got.v, word[3] == 'h' ? opening : word[3] - '0') << "v";
    }
}

}  // namespace

TEST_F(Terrain, ViewWindowsBuildTheCellsInsideTheMapRing) {
    // The first cell's first vertex: A of an even column, C of an odd one.
    const int cases[][5] = {{32, 32, 40 * 40, -20, -20}, {0, 0, 19 * 19, 1, 2}, {63, 63, 20 * 20, -20, -19}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "view centre " << c[0] << ", " << c[1]);
        build(c[0], c[1]);
        EXPECT_EQ(triangle_count, 2 * c[2]) << "triangle_count";
        EXPECT_EQ(vertex_count, 6 * c[2]) << "vertex_count";
        const float* first = mesh_vertices[mesh_triangles[0].vertex[0]].pos;
        EXPECT_EQ(first[0], c[3]) << "first vertex's x";
        EXPECT_EQ(first[1], c[4]) << "first vertex's y";
    }
    build(-30, 5);
    EXPECT_EQ(triangle_count, 0) << "triangle_count off the map";
}

TEST_F(Terrain, AClosedBlockBuildsEveryFaceInOrderWithItsOwnCornersAndTextures) {
    set_all_kinds(0);
    MapCell& cell = map_cells[cell_index(0, 30, 40)];
    cell_kinds[cell_index(0, 30, 40)] = 3;
    // Uneven heights, so that every corner's own height and opening show.
    cell = MapCell{2.0f, 0.25f, 1.5f, 0.5f, 3.0f, 0.0f, 1.25f, 0.75f, 0, 2, 1, 3, 4, 5, 6};
    const char* const floors[2] = {"Af10 Bf00 Df01 Cf11 Af10 Df01", "Cf11 Af10 Bf00 Cf11 Bf00 Df01"};
    const char* const ceilings[2] = {"Dc11 Bc10 Ac00 Dc11 Ac00 Cc01", "Bc10 Ac00 Cc01 Dc11 Bc10 Cc01"};
    for (uint8_t checker : {0, 1}) {
        cell.checker = checker;
        build(30, 40);
        ASSERT_EQ(triangle_count, 12) << "triangle_count";
        expect_face(0, cell, floors[checker], 1);
        expect_face(2, cell, ceilings[checker], 2);
        expect_face(4, cell, "Af00 Bf10 Bc1h Bc1h Ac0h Af00", 3);
        expect_face(6, cell, "Dc1h Df10 Cf00 Cf00 Cc0h Dc1h", 4);
        expect_face(8, cell, "Df00 Dc0h Bf10 Bc1h Bf10 Dc0h", 5);
        expect_face(10, cell, "Ac0h Cf10 Af00 Cf10 Ac0h Cc1h", 6);
    }
}

TEST_F(Terrain, WallsStandOnlyTowardCellsThatAreNotClosedBlocks) {
    // Counted in triangles: kind 0 builds nothing, 1 a floor, 2 a floor and
    // a ceiling, 3 those and a wall toward each neighbour that is no block.
    const int rows[][4] = {{0, 3, 0, 12}, {3, 3, 0, 20}, {3, 3, 3, 28}, {1, 2, 3, 2 + 4 + 12}, {0, 25, 1, 2}};
    for (const auto& row : rows) {
        set_all_kinds(0);
        for (int i = 0; i < 3; ++i) cell_kinds[cell_index(0, 31 + i, 32)] = static_cast<uint8_t>(row[i]);
        build(32, 32);
        EXPECT_EQ(triangle_count, row[3]) << "triangle_count for kinds " << row[0] << " " << row[1] << " " << row[2];
    }
}
