// The two queries units ask every step: results, what they write into the
// unit and the search, and walks that follow them to the goal.
#include <gtest/gtest.h>

#include <cstdlib>

#include "path/path_queries.h"
#include "path/path_search.h"
#include "world/world_arrays.h"

namespace {

using Query = int (*)(int, int, int, int);

class PathQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(alloc_world());
        init_face_table();
        init_map_cells();
        path_search = new PathSearch();
        ASSERT_TRUE(path_search->create_buffers());
    }
    void TearDown() override {
        path_search->release_buffers();
        delete path_search;
        path_search = nullptr;
        free_world();
    }

    Unit& unit_at(int slot, int x, int y, uint16_t order) {
        Unit& unit = unit_table[slot];
        unit = Unit{};
        unit.active = 1;
        unit.mobility = 1;
        unit.tile_x = static_cast<uint16_t>(x);
        unit.tile_y = static_cast<uint16_t>(y);
        unit.order = order;
        unit.next_x = 999;  // a value no query writes
        unit.next_y = 999;
        return unit;
    }
    void set_kind(int x, int y, uint8_t kind) { cell_kinds[cell_index(0, x, y)] = kind; }
    uint8_t kind_at(int x, int y) { return cell_kinds[cell_index(0, x, y)]; }

    // Follows the query step by step as the frame does, checking that every
    // step is one legal move; returns the number of steps, or -1 when the
    // walk fails or runs longer than the limit.
    int walk(Query query, int slot, int goal_x, int goal_y, int limit) {
        Unit& unit = unit_table[slot];
        for (int steps = 0; steps <= limit; ++steps) {
            const int result = query(slot, goal_x, goal_y, 64);
            if (result != path_stepped) return result == path_beside_target ? steps : -1;
            const int dx = unit.next_x - unit.tile_x, dy = unit.next_y - unit.tile_y;
            EXPECT_TRUE(std::abs(dx) <= 1 && std::abs(dy) <= 1 && (dx || dy)) << dx << "," << dy;
            EXPECT_TRUE(is_enterable(kind_at(unit.next_x, unit.next_y)));
            if (dx && dy) {
                EXPECT_FALSE(blocks_diagonal(kind_at(unit.tile_x + dx, unit.tile_y)));
                EXPECT_FALSE(blocks_diagonal(kind_at(unit.tile_x, unit.tile_y + dy)));
            }
            if (::testing::Test::HasFailure()) return -1;
            unit.tile_x = unit.next_x;
            unit.tile_y = unit.next_y;
            if (unit.tile_x == path_search->target_x && unit.tile_y == path_search->target_y) return steps + 1;
        }
        return -1;
    }
};

}  // namespace

TEST_F(PathQueryTest, MoveOrderStepsTowardTheCellAndReportsTheClampedTarget) {
    Unit& unit = unit_at(3, 10, 10, order_move);
    EXPECT_EQ(path_step_to_cell(3, 15, 10, 64), path_stepped);
    EXPECT_EQ(unit.next_x, 11);
    EXPECT_EQ(unit.next_y, 10);
    EXPECT_EQ(path_search->target_x, 15);
    EXPECT_EQ(path_search->target_y, 10);
    EXPECT_EQ(unit.order, order_move);

    EXPECT_EQ(path_step_to_cell(3, 11, 11, 64), path_stepped);  // the goal itself
    EXPECT_EQ(unit.next_x, 11);
    EXPECT_EQ(unit.next_y, 11);

    Unit& corner = unit_at(4, 5, 5, order_move);
    EXPECT_EQ(path_step_to_cell(4, 0, 0, 64), path_stepped);
    EXPECT_EQ(corner.next_x, 4);
    EXPECT_EQ(corner.next_y, 4);
    EXPECT_EQ(path_search->target_x, 1);
    EXPECT_EQ(path_search->target_y, 1);
}

TEST_F(PathQueryTest, NoPathClearsTheOrderAndWritesNoStep) {
    // Already on the clamped target.
    Unit& unit = unit_at(2, 1, 1, order_move);
    EXPECT_EQ(path_step_to_cell(2, 0, 0, 64), path_no_step);
    EXPECT_EQ(unit.order, order_idle);
    EXPECT_EQ(path_search->status, status_same_cell);
    EXPECT_EQ(unit.next_x, 999);

    // A goal that may not be entered.
    for (int kind : {0, 3, 11, 20, 61}) {
        set_kind(30, 30, static_cast<uint8_t>(kind));
        Unit& walker = unit_at(2, 10, 10, order_move);
        path_search->step_x = -7;
        EXPECT_EQ(path_step_to_cell(2, 30, 30, 64), path_no_step) << kind;
        EXPECT_EQ(walker.order, order_idle);
        EXPECT_EQ(walker.next_x, 999);
        EXPECT_EQ(path_search->status, status_not_found);
        EXPECT_EQ(path_search->step_x, -7);  // a failed search leaves the step alone
        EXPECT_EQ(path_search->target_x, 30);
    }

    // The same for an attack.
    Unit& attacker = unit_at(5, 10, 10, order_attack);
    EXPECT_EQ(path_step_to_unit(5, 30, 30, 64), path_no_step);
    EXPECT_EQ(attacker.order, order_idle);
}

TEST_F(PathQueryTest, UnitOnTheOuterRingIsSearchedFromTheCellInside) {
    Unit& unit = unit_at(6, 0, 5, order_move);
    EXPECT_EQ(path_step_to_cell(6, 10, 5, 64), path_stepped);
    EXPECT_EQ(unit.next_x, 2);
    EXPECT_EQ(unit.next_y, 5);
    EXPECT_EQ(path_step_to_cell(6, 1, 5, 64), path_no_step);
    EXPECT_EQ(unit.order, order_idle);
}

TEST_F(PathQueryTest, AttackerBesideItsTargetStaysAndOtherwiseSteps) {
    for (auto [tx, ty] : {std::pair{11, 11}, std::pair{11, 10}, std::pair{9, 11}, std::pair{10, 9}}) {
        Unit& unit = unit_at(1, 10, 10, order_attack);
        EXPECT_EQ(path_step_to_unit(1, tx, ty, 64), path_beside_target) << tx << "," << ty;
        EXPECT_EQ(unit.next_x, 999);
        EXPECT_EQ(unit.next_y, 999);
        EXPECT_EQ(unit.order, order_attack);
        EXPECT_EQ(path_search->status, status_found);
        EXPECT_EQ(path_search->step_x, tx);  // the found cell, read but not written to the unit
        EXPECT_EQ(path_search->step_y, ty);
    }
    Unit& unit = unit_at(1, 10, 10, order_attack);
    EXPECT_EQ(path_step_to_unit(1, 14, 14, 64), path_stepped);
    EXPECT_EQ(unit.next_x, 11);
    EXPECT_EQ(unit.next_y, 11);

    // Beside it but round a blocking corner: not reached in one step, so
    // the attacker walks.
    set_kind(11, 10, 3);
    Unit& walker = unit_at(1, 10, 10, order_attack);
    EXPECT_EQ(path_step_to_unit(1, 11, 11, 64), path_stepped);
    EXPECT_EQ(walker.next_x, 10);
    EXPECT_EQ(walker.next_y, 11);
}

TEST_F(PathQueryTest, OpenGroundWalkGoesStraightToTheGoal) {
    unit_at(3, 10, 10, order_move);
    EXPECT_EQ(walk(path_step_to_cell, 3, 15, 10, 20), 5);
    EXPECT_EQ(unit_table[3].tile_y, 10);
    unit_at(3, 32, 4, order_move);
    EXPECT_EQ(walk(path_step_to_cell, 3, 32, 59, 100), 55);
    unit_at(3, 2, 2, order_move);
    EXPECT_EQ(walk(path_step_to_cell, 3, 61, 61, 100), 59);  // diagonal all the way
}

TEST_F(PathQueryTest, WalkGoesRoundWallsStepByStep) {
    // A wall across the middle with one gap near its bottom end, and a
    // pocket that opens away from the goal.
    for (int y = 1; y <= 62; ++y)
        if (y != 50) set_kind(30, y, 3);
    for (int x = 15; x <= 25; ++x) set_kind(x, 25, 3);
    for (int y = 15; y <= 25; ++y) set_kind(25, y, 3);
    Unit& unit = unit_at(7, 20, 20, order_move);
    const int steps = walk(path_step_to_cell, 7, 40, 20, 200);
    ASSERT_GT(steps, 0);
    EXPECT_EQ(unit.tile_x, 40);
    EXPECT_EQ(unit.tile_y, 20);
    // Out of the pocket past (25, 26) or (14, ...), down to the gap at row 50
    // and back up: at least 30 rows down and 30 up.
    EXPECT_GE(steps, 60);
    EXPECT_LE(steps, 75);

    // The gap closes: the next query finds nothing and the order ends.
    Unit& other = unit_at(8, 20, 20, order_move);
    set_kind(30, 50, 3);
    EXPECT_EQ(path_step_to_cell(8, 40, 20, 64), path_no_step);
    EXPECT_EQ(other.order, order_idle);
}

TEST_F(PathQueryTest, AttackWalkStopsBesideTheTarget) {
    for (int x = 12; x <= 18; ++x) set_kind(x, 14, 2);  // may be entered, never cut past
    unit_at(1, 15, 10, order_attack);
    const int steps = walk(path_step_to_unit, 1, 15, 20, 40);
    EXPECT_EQ(steps, 9);
    const Unit& unit = unit_table[1];
    EXPECT_EQ(std::abs(unit.tile_x - 15) <= 1 && std::abs(unit.tile_y - 20) <= 1, true);
}

TEST_F(PathQueryTest, QueriesWithoutASearchObjectOrOutsideTheTableDoNothing) {
    EXPECT_EQ(path_step_to_cell(-1, 5, 5, 64), path_no_step);
    EXPECT_EQ(path_step_to_unit(max_units, 5, 5, 64), path_no_step);
    PathSearch* kept = path_search;
    path_search = nullptr;
    Unit& unit = unit_at(0, 10, 10, order_move);
    EXPECT_EQ(path_step_to_cell(0, 15, 10, 64), path_no_step);
    EXPECT_EQ(unit.order, order_move);
    path_search = kept;
}
