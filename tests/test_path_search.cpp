// The plain path search: node costs, the tie and corner rules, the kinds
// never entered and the units that block. The fast queries share the costs,
// the kinds and the blocking slots with it, so only these tests hold them;
// the rest the oracle holds too, and what the queries leave in the units
// the golden games hold.
#include <gtest/gtest.h>

#include "path/path_search.h"
#include "tests/support/world_fixture.h"

namespace {

class PathSearchTest : public WorldTest {
protected:
    PathSearch*& search = path_search;
    static void set_kind(int x, int y, int kind) { cell_kinds[cell_index(0, x, y)] = static_cast<uint8_t>(kind); }
    uint8_t mark_at(int x, int y) const { return search->grid_marks[search->grid_index(x, y)]; }
    int search_between(int sx, int sy, int tx, int ty) {
        search->prepare(sx, sy, tx, ty, 0, 64);
        return search->run(64 * 64);
    }
    void trace_first_step() {
        search->read_found(1);
        search->trace_first_step();
    }
};

}  // namespace

// Searches over a flat map with at most one cell changed.
TEST_F(PathSearchTest, FirstStepsCostsTiesAndCorners) {
    const struct {
        int changed_x, changed_y, kind, sx, sy, tx, ty, result, step_x, step_y;
        float cost;
    } cases[] = {
        {0, 0, 1, 10, 10, 15, 10, run_found, 11, 10, 21.0f},
        {0, 0, 1, 10, 10, 14, 14, run_found, 11, 11, 1 + 4 * (1.4142f + 3)},
        {0, 0, 1, 5, 5, 0, 0, run_found, 4, 4, 0},             // the target clamped to (1, 1)
        {0, 0, 1, 30, 30, 30, 20, run_found, 30, 29, 0},       // down before up: the newest tie
        {10, 11, 3, 10, 10, 10, 12, run_found, 9, 10, 17.0f},  // round a wall: left before right
        {11, 10, 3, 10, 10, 11, 11, run_found, 10, 11, 9.0f},  // no corner cut past a wall
        {10, 11, 11, 10, 10, 11, 11, run_found, 11, 10, 9.0f},
        {11, 10, 2, 10, 10, 11, 11, run_found, 11, 10, 9.0f},  // through a roofed cell, never past it
        {11, 10, 10, 10, 10, 11, 11, run_found, 11, 11, 0},    // kinds 1 10 22 60 68 let a diagonal pass
        {11, 10, 68, 10, 10, 11, 11, run_found, 11, 11, 0},
        {40, 30, 61, 10, 10, 40, 30, run_not_found, 0, 0, 0},  // kinds 0 3 11 20 61 are never entered
        {40, 30, 20, 10, 10, 40, 30, run_not_found, 0, 0, 0},
        {0, 0, 1, 0, 0, 1, 1, run_same_cell, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << &c - cases);
        init_map_cells();
        set_kind(c.changed_x, c.changed_y, c.kind);
        ASSERT_EQ(search_between(c.sx, c.sy, c.tx, c.ty), c.result) << "run's result";
        if (c.result == run_not_found) {
            EXPECT_EQ(search->last_node, 62 * 62 - 2) << "last_node: every other cell tried";
        }
        if (c.result != run_found) continue;
        if (c.cost != 0) {
            EXPECT_EQ(search->node_cost[search->found_node], c.cost) << "found node's cost";
        }
        trace_first_step();
        EXPECT_EQ(search->step_x, c.step_x) << "first step's x";
        EXPECT_EQ(search->step_y, c.step_y) << "first step's y";
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
    for (const auto& m : marks) EXPECT_EQ(mark_at(m[0], m[0]), m[1]) << "mark at " << m[0] << "," << m[0];
    ASSERT_EQ(search_between(20, 20, 22, 22), run_found) << "run's result";
    EXPECT_FLOAT_EQ(search->node_cost[search->found_node], 13.4142f) << "round unit 9";
}
