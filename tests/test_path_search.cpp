// The plain path search and the two queries: window and clamping, node
// costs, the tie and corner rules, unit marks, and what a query writes into
// the unit. What the fast queries share with it (costs, kinds, window) only
// these tests hold; the rest the oracle holds too.
#include <gtest/gtest.h>

#include <cstdio>

#include "path/path_queries.h"
#include "path/path_search.h"
#include "tests/support/world_fixture.h"

namespace {

class PathSearchTest : public WorldTest {
protected:
    PathSearch* search = nullptr;
    void SetUp() override {
        WorldTest::SetUp();
        search = path_search;
    }
    void TearDown() override {
        for (int32_t& cost : entry_cost) cost = 3;
        WorldTest::TearDown();
    }
    static void set_kind(int x, int y, int kind) { cell_kinds[cell_index(0, x, y)] = static_cast<uint8_t>(kind); }
    uint8_t mark_at(int x, int y) const { return search->grid_marks[search->grid_index(x, y)]; }
    int search_between(int sx, int sy, int tx, int ty) {
        search->prepare(sx, sy, tx, ty, 0, 64);
        return search->run(64 * 64);
    }
    // The found search's first step as x * 100 + y.
    int first_step() {
        search->read_found(1);
        search->trace_first_step();
        return search->step_x * 100 + search->step_y;
    }
};

}  // namespace

// From, to and side, then the window's corner and side, the start and the target.
TEST_F(PathSearchTest, WindowsStayOnTheMapAndStartAndTargetInsideTheirRing) {
    const struct {
        int sx, sy, tx, ty, side;
        const char* placed;
    } cases[] = {{-5, 70, 0, 0, 64, "0,0 64 1,62 1,1"},      {63, 0, -1000, 1000, 64, "0,0 64 62,1 1,62"},
                 {17, 40, 62, 1, 64, "0,0 64 17,40 62,1"},   {2, 60, 63, 0, 16, "0,48 16 2,60 14,49"},
                 {30, 31, 30, 31, 15, "23,24 15 30,31 30,31"}, {10, 10, 50, 50, 1000, "0,0 64 10,10 50,50"},
                 {10, 10, 50, 50, 1, "9,9 3 10,10 10,10"}};
    for (const auto& c : cases) {
        search->prepare(c.sx, c.sy, c.tx, c.ty, 7, c.side);
        char placed[80];
        std::snprintf(placed, sizeof placed, "%d,%d %d %d,%d %d,%d", search->window_x, search->window_y,
                      search->window_size, search->start_x, search->start_y, search->target_x, search->target_y);
        EXPECT_STREQ(placed, c.placed) << c.sx << "," << c.sy << " to " << c.tx << "," << c.ty << " side " << c.side;
        EXPECT_EQ(search->search_level, 0);
    }
}

// Searches over a flat map with at most one cell changed.
TEST_F(PathSearchTest, FirstStepsCostsTiesAndCorners) {
    const struct {
        int changed_x, changed_y, kind, sx, sy, tx, ty, result, step;
        float cost;
    } cases[] = {
        {0, 0, 1, 10, 10, 15, 10, run_found, 1110, 21.0f},
        {0, 0, 1, 10, 10, 14, 14, run_found, 1111, 1 + 4 * (1.4142f + 3)},
        {0, 0, 1, 5, 5, 0, 0, run_found, 404, 0},            // the target clamped to (1, 1)
        {0, 0, 1, 30, 30, 30, 20, run_found, 3029, 0},       // down before up: the newest tie
        {10, 11, 3, 10, 10, 10, 12, run_found, 910, 17.0f},  // round a wall: left before right
        {11, 10, 3, 10, 10, 11, 11, run_found, 1011, 9.0f},  // no corner cut past a wall
        {10, 11, 11, 10, 10, 11, 11, run_found, 1110, 9.0f},
        {11, 10, 2, 10, 10, 11, 11, run_found, 1110, 9.0f},  // through a roofed cell, never past it
        {11, 10, 10, 10, 10, 11, 11, run_found, 1111, 0},    // kinds 1 10 22 60 68 let a diagonal pass
        {11, 10, 68, 10, 10, 11, 11, run_found, 1111, 0},
        {40, 30, 61, 10, 10, 40, 30, run_not_found, 0, 0},   // kinds 0 3 11 20 61 are never entered
        {40, 30, 20, 10, 10, 40, 30, run_not_found, 0, 0},
        {0, 0, 1, 0, 0, 1, 1, run_same_cell, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.kind << " at " << c.changed_x << "," << c.changed_y
                                          << ", " << c.sx << "," << c.sy << " to " << c.tx << "," << c.ty);
        init_map_cells();
        set_kind(c.changed_x, c.changed_y, c.kind);
        ASSERT_EQ(search_between(c.sx, c.sy, c.tx, c.ty), c.result);
        EXPECT_TRUE(c.result != run_not_found || search->last_node == 62 * 62 - 2) << "every other cell tried";
        if (c.result != run_found) continue;
        const float cost = search->node_cost[search->found_node];
        EXPECT_TRUE(c.cost == 0 || cost == c.cost) << cost;
        EXPECT_EQ(first_step(), c.step);
    }
}

TEST_F(PathSearchTest, BlockingUnitsInTheFirstTenSlotsAreMarkedButNeverOverStartOrTarget) {
    const int units[][6] = {// slot, x, y, blocks, mobility, level
                            {0, 20, 20, 1, 1, 0}, {9, 21, 21, 1, 1, 0}, {10, 23, 23, 1, 1, 0}, {3, 24, 24, 0, 1, 0},
                            {4, 25, 25, 2, 1, 0}, {5, 26, 26, 1, 0, 0}, {7, 28, 28, 1, 1, 1}, {2, 30, 30, 1, 1, 0}};
    for (const auto& u : units) {
        Unit& unit = place_unit(u[0], owner_neutral, 30, u[1], u[2]);
        unit.blocks_path = static_cast<uint16_t>(u[3]);
        unit.mobility = static_cast<uint16_t>(u[4]);
        unit.level = static_cast<uint16_t>(u[5]);
        unit.next_x = unit.next_y = static_cast<uint16_t>(u[1] + 1);
    }
    unit_table[9].order = order_move;  // only a move order marks the next cell
    search->prepare(10, 10, 50, 50, 0, 64);
    const int marks[][2] = {{20, mark_unit}, {21, mark_unit}, {22, mark_unit_next}, {23, 0}, {24, 0},
                            {25, 0},         {28, 0},         {30, mark_unit},      {31, 0}};
    for (const auto& m : marks) EXPECT_EQ(mark_at(m[0], m[0]), m[1]) << m[0];
    ASSERT_EQ(search_between(20, 20, 22, 22), run_found);
    EXPECT_FLOAT_EQ(search->node_cost[search->found_node], 13.4142f) << "round unit 9";
}

// Toward a cell (c) or a unit (u): the result, the step written and the order left.
TEST_F(PathSearchTest, QueriesWriteTheStepOrEndTheOrder) {
    const struct {
        char toward;
        int x, y, tx, ty, result, next, order;
    } cases[] = {{'c', 10, 10, 15, 10, path_stepped, 1110, order_move},
                 {'c', 0, 5, 10, 5, path_stepped, 205, order_move},
                 {'c', 1, 1, 0, 0, path_no_step, 0, order_idle},
                 {'c', 10, 10, 30, 30, path_no_step, 0, order_idle},
                 {'u', 10, 10, 11, 11, path_beside_target, 0, order_attack},
                 {'u', 10, 10, 9, 10, path_beside_target, 0, order_attack},
                 {'u', 10, 10, 14, 14, path_stepped, 1111, order_attack},
                 {'u', 10, 10, 30, 30, path_no_step, 0, order_idle}};
    set_kind(30, 30, 3);
    for (bool plain : {false, true})
        for (const auto& c : cases) {
            Unit& unit = place_unit(3, owner_player, 30, c.x, c.y);
            unit.order = c.toward == 'u' ? order_attack : order_move;
            unit.next_x = unit.next_y = 0;
            const auto query = c.toward == 'u' ? (plain ? plain_path_step_to_unit : path_step_to_unit)
                                               : (plain ? plain_path_step_to_cell : path_step_to_cell);
            EXPECT_EQ(query(3, c.tx, c.ty, 64), c.result) << c.x << "," << c.y << " to " << c.tx << "," << c.ty;
            EXPECT_EQ(unit.next_x * 100 + unit.next_y, c.next);
            EXPECT_EQ(unit.order, c.order);
        }
    EXPECT_EQ(path_step_to_cell(-1, 5, 5, 64) + path_step_to_unit(max_units, 5, 5, 64), path_no_step);
}
