// The plain path search and the two queries: window and clamping, the grid
// after prepare, node costs, the tie and corner rules, unit marks, and what
// a query writes into the unit.
#include <gtest/gtest.h>

#include <cstring>

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

TEST_F(PathSearchTest, WindowsStayOnTheMapAndStartAndTargetInsideTheirRing) {
    const int cases[][11] = {// from, to, side; then window x, y, side, start, target
                             {-5, 70, 0, 0, 64, 0, 0, 64, 1, 62, 101},    {63, 0, -1000, 1000, 64, 0, 0, 64, 62, 1, 162},
                             {17, 40, 62, 1, 64, 0, 0, 64, 17, 40, 6201}, {2, 60, 63, 0, 16, 0, 48, 16, 2, 60, 1449},
                             {30, 31, 30, 31, 15, 23, 24, 15, 30, 31, 3031}, {10, 10, 50, 50, 1000, 0, 0, 64, 10, 10, 5050},
                             {10, 10, 50, 50, 1, 9, 9, 3, 10, 10, 1010}};
    for (const auto& c : cases) {
        search->prepare(c[0], c[1], c[2], c[3], 7, c[4]);
        SCOPED_TRACE(::testing::Message() << c[0] << "," << c[1] << " to " << c[2] << "," << c[3] << " side " << c[4]);
        EXPECT_EQ(search->window_x, c[5]);
        EXPECT_EQ(search->window_y, c[6]);
        EXPECT_EQ(search->window_size, c[7]);
        EXPECT_EQ(search->start_x * 100 + search->start_y, c[8] * 100 + c[9]);
        EXPECT_EQ(search->target_x * 100 + search->target_y, c[10]);
        EXPECT_EQ(search->search_level, 0);
    }
}

TEST_F(PathSearchTest, PrepareMarksTheRingAndTheFirstExpansionPicksTheNewestCheapest) {
    search_between(10, 10, 50, 50);  // traces that prepare must wipe
    search->prepare(10, 10, 60, 61, 0, 64);
    int ring = 0, free = 0;
    for (int i = 0; i < cell_count; ++i) (search->grid_marks[i] == mark_taken ? ring : free) += 1;
    EXPECT_EQ(ring, 252);
    EXPECT_EQ(search->node_cost[0], 1.0f);
    EXPECT_EQ(search->run(1), run_not_found);
    ASSERT_EQ(search->last_node, 8);
    for (int d = 0; d < 8; ++d) {  // made in direction order: up, then clockwise
        const int dx[8] = {0, 1, 1, 1, 0, -1, -1, -1}, dy[8] = {1, 1, 0, -1, -1, -1, 0, 1};
        EXPECT_EQ(search->node_x[d + 1] * 100 + search->node_y[d + 1], (10 + dx[d]) * 100 + 10 + dy[d]);
        EXPECT_EQ(search->node_cost[d + 1], d % 2 ? (1.4142f + 1.0f) + 3.0f : 5.0f) << d;
    }
    EXPECT_EQ(search->current, 7) << "four tie at 5: the newest, to the left, goes first";
    EXPECT_EQ(mark_at(10, 10), mark_closed);
    EXPECT_EQ(mark_at(11, 10), mark_taken);
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
        if (c.result == run_not_found) EXPECT_EQ(search->last_node, 62 * 62 - 2) << "every other cell was tried";
        if (c.result != run_found) continue;
        if (c.cost > 0) EXPECT_EQ(search->node_cost[search->found_node], c.cost);
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

TEST_F(PathSearchTest, QueriesWriteTheStepOrEndTheOrder) {
    const struct {
        bool toward_unit;
        int x, y, tx, ty, result, next, order;
    } cases[] = {
        {false, 10, 10, 15, 10, path_stepped, 1110, order_move}, {false, 0, 5, 10, 5, path_stepped, 205, order_move},
        {false, 1, 1, 0, 0, path_no_step, 0, order_idle},        {false, 10, 10, 30, 30, path_no_step, 0, order_idle},
        {true, 10, 10, 11, 11, path_beside_target, 0, order_attack}, {true, 10, 10, 9, 10, path_beside_target, 0, order_attack},
        {true, 10, 10, 14, 14, path_stepped, 1111, order_attack}, {true, 10, 10, 30, 30, path_no_step, 0, order_idle},
    };
    set_kind(30, 30, 3);
    for (auto query : {&path_step_to_cell, &plain_path_step_to_cell})
        for (const auto& c : cases) {
            Unit& unit = place_unit(3, owner_player, 30, c.x, c.y);
            unit.order = c.toward_unit ? order_attack : order_move;
            unit.next_x = unit.next_y = 0;
            const bool plain = query == &plain_path_step_to_cell;
            const int result = c.toward_unit ? (plain ? plain_path_step_to_unit : path_step_to_unit)(3, c.tx, c.ty, 64)
                                             : query(3, c.tx, c.ty, 64);
            EXPECT_EQ(result, c.result) << c.x << "," << c.y << " to " << c.tx << "," << c.ty;
            EXPECT_EQ(unit.next_x * 100 + unit.next_y, c.next);
            EXPECT_EQ(unit.order, c.order);
        }
    EXPECT_EQ(path_step_to_cell(-1, 5, 5, 64) + path_step_to_unit(max_units, 5, 5, 64), path_no_step);
}
