// The search object: window and clamping, the grid after prepare, node costs,
// the order of expansion, corner rules, the budget and the unit marks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "path/path_search.h"
#include "world/world_arrays.h"

namespace {

uint32_t bits_of(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

class PathSearchTest : public ::testing::Test {
protected:
    PathSearch* search = nullptr;

    void SetUp() override {
        ASSERT_TRUE(alloc_world());
        init_face_table();
        init_map_cells();
        search = new PathSearch();
        ASSERT_TRUE(search->create_buffers());
    }
    void TearDown() override {
        search->release_buffers();
        delete search;
        for (int32_t& cost : entry_cost) cost = 3;
        free_world();
    }

    void set_kind(int x, int y, uint8_t kind) { cell_kinds[cell_index(0, x, y)] = kind; }
    uint8_t mark_at(int x, int y) const { return search->grid_marks[search->grid_index(x, y)]; }

    // A complete search as the queries run it.
    int search_between(int sx, int sy, int tx, int ty) {
        search->prepare(sx, sy, tx, ty, 0, 64);
        return search->run(64 * 64);
    }
    // The first step of a found search.
    std::pair<int, int> first_step() {
        EXPECT_EQ(search->status, status_found);
        search->read_found(1);
        search->trace_first_step();
        return {search->step_x, search->step_y};
    }
    // The cell chosen at the given expansion of a search that cannot end early.
    std::pair<int, int> cell_picked_at(int sx, int sy, int unreachable_x, int unreachable_y, int expansion) {
        search->prepare(sx, sy, unreachable_x, unreachable_y, 0, 64);
        EXPECT_EQ(search->run(expansion), run_not_found);
        return {search->node_x[search->current], search->node_y[search->current]};
    }
};

}  // namespace

TEST_F(PathSearchTest, CoordinatesOffTheMapOrOnItsRingAreMovedInside) {
    search->prepare(-5, 70, 0, 0, 0, 64);
    EXPECT_EQ(search->start_x, 1);
    EXPECT_EQ(search->start_y, 62);
    EXPECT_EQ(search->target_x, 1);
    EXPECT_EQ(search->target_y, 1);
    EXPECT_EQ(search->window_x, 0);
    EXPECT_EQ(search->window_y, 0);
    EXPECT_EQ(search->window_size, 64);

    search->prepare(63, 0, -1000, 1000, 0, 64);
    EXPECT_EQ(search->start_x, 62);
    EXPECT_EQ(search->start_y, 1);
    EXPECT_EQ(search->target_x, 1);
    EXPECT_EQ(search->target_y, 62);

    // Inside cells are left alone.
    search->prepare(17, 40, 62, 1, 0, 64);
    EXPECT_EQ(search->start_x, 17);
    EXPECT_EQ(search->start_y, 40);
    EXPECT_EQ(search->target_x, 62);
    EXPECT_EQ(search->target_y, 1);
}

TEST_F(PathSearchTest, SmallerWindowIsCentredOnTheStartAndKeptOnTheMap) {
    // Column: 2 - 8 is below 0; row: 60 - 8 = 52 is beyond 64 - 16.
    search->prepare(2, 60, 63, 0, 0, 16);
    EXPECT_EQ(search->window_size, 16);
    EXPECT_EQ(search->window_x, 0);
    EXPECT_EQ(search->window_y, 48);
    EXPECT_EQ(search->start_x, 2);
    EXPECT_EQ(search->start_y, 60);
    EXPECT_EQ(search->target_x, 14);  // lowered to the last inside column of the window
    EXPECT_EQ(search->target_y, 49);  // raised to the first inside row

    search->prepare(30, 31, 30, 31, 0, 15);  // odd side: 15 / 2 truncates to 7
    EXPECT_EQ(search->window_x, 23);
    EXPECT_EQ(search->window_y, 24);
}

TEST_F(PathSearchTest, WindowSidesThatWouldLeaveTheBuffersAreKeptInRange) {
    // Wider than the map would write past the node arrays.
    search->prepare(10, 10, 50, 50, 0, 1000);
    EXPECT_EQ(search->window_size, 64);
    EXPECT_EQ(search->run(1000 * 1000), run_found);
    // Without an inside cell the start and target would lie outside the grid.
    for (int side : {-7, 0, 1, 2}) {
        search->prepare(10, 10, 50, 50, 0, side);
        EXPECT_EQ(search->window_size, 3) << side;
        EXPECT_EQ(search->start_x, search->window_x + 1);
        EXPECT_EQ(search->run(9), run_same_cell);
    }
    // A level that does not exist reads the one that does.
    search->prepare(10, 10, 12, 10, 7, 64);
    EXPECT_EQ(search->search_level, 0);
}

TEST_F(PathSearchTest, PrepareMarksExactlyTheOuterRingAndSeedsTheStart) {
    // Leave traces of an earlier search first: prepare must wipe them.
    search_between(10, 10, 50, 50);
    search->prepare(5, 6, 60, 61, 0, 64);
    int ring = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool on_ring = x == 0 || y == 0 || x == 63 || y == 63;
            ASSERT_EQ(mark_at(x, y), on_ring ? mark_taken : mark_free) << x << "," << y;
            ring += on_ring;
        }
    }
    EXPECT_EQ(ring, 252);
    EXPECT_EQ(search->last_node, 0);
    EXPECT_EQ(search->current, 0);
    EXPECT_EQ(search->node_x[0], 5);
    EXPECT_EQ(search->node_y[0], 6);
    EXPECT_EQ(search->node_cost[0], 1.0f);
    EXPECT_EQ(search->node_state[0], node_open);
    EXPECT_EQ(search->status, status_not_found);
    EXPECT_EQ(search->ready, 1);
    for (int i = 1; i < cell_count; ++i) {
        ASSERT_EQ(search->node_cost[i], 0.0f);
        ASSERT_EQ(search->node_parent[i], 0);
    }
}

TEST_F(PathSearchTest, DirectionTableAndCellKindRules) {
    const int dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    const int dy[8] = {1, 1, 0, -1, -1, -1, 0, 1};
    for (int d = 0; d < 8; ++d) {
        EXPECT_EQ(search->dir_dx[d], dx[d]);
        EXPECT_EQ(search->dir_dy[d], dy[d]);
        EXPECT_EQ(bits_of(search->dir_cost[d]), d % 2 ? 0x3FB50481u : 0x3F800000u) << d;
    }
    for (int kind = 0; kind < 256; ++kind) {
        const bool closed = kind == 0 || kind == 3 || kind == 11 || kind == 20 || kind == 61;
        const bool passes = kind == 1 || kind == 10 || kind == 22 || kind == 60 || kind == 68;
        EXPECT_EQ(is_enterable(kind), !closed) << kind;
        EXPECT_EQ(blocks_diagonal(kind), !passes) << kind;
        EXPECT_EQ(entry_cost[kind], 3);
    }
}

TEST_F(PathSearchTest, FirstNodesCostFiveOrTheRoundedDiagonalSumAndTheNewestCheapestGoesFirst) {
    search->prepare(10, 10, 40, 40, 0, 64);
    EXPECT_EQ(search->run(1), run_not_found);
    ASSERT_EQ(search->last_node, 8);
    const float diagonal = (1.4142f + 1.0f) + 3.0f;
    for (int d = 0; d < 8; ++d) {
        const int n = d + 1;  // nodes are made in direction order
        EXPECT_EQ(search->node_x[n], 10 + search->dir_dx[d]);
        EXPECT_EQ(search->node_y[n], 10 + search->dir_dy[d]);
        EXPECT_EQ(search->node_parent[n], 0);
        EXPECT_EQ(bits_of(search->node_cost[n]), bits_of(d % 2 ? diagonal : 5.0f)) << d;
    }
    // Four neighbours tie at 5.0; the newest, made for direction 6, wins.
    EXPECT_EQ(search->current, 7);
    EXPECT_EQ(search->node_x[7], 9);
    EXPECT_EQ(search->node_y[7], 10);
    EXPECT_EQ(search->node_state[0], node_closed);
    EXPECT_EQ(mark_at(10, 10), mark_closed);
    EXPECT_EQ(mark_at(11, 10), mark_taken);
}

TEST_F(PathSearchTest, OpenGroundFirstSteps) {
    EXPECT_EQ(search_between(10, 10, 15, 10), run_found);
    EXPECT_EQ(search->current, search->found_node);
    EXPECT_EQ(search->node_cost[search->found_node], 21.0f);
    EXPECT_EQ(first_step(), std::make_pair(11, 10));

    EXPECT_EQ(search_between(10, 10, 14, 14), run_found);
    EXPECT_EQ(first_step(), std::make_pair(11, 11));

    EXPECT_EQ(search_between(5, 5, 0, 0), run_found);
    EXPECT_EQ(search->target_x, 1);
    EXPECT_EQ(search->target_y, 1);
    EXPECT_EQ(first_step(), std::make_pair(4, 4));

    // Straight down a column the newest tie leads: direction 4 before 0.
    EXPECT_EQ(search_between(30, 30, 30, 20), run_found);
    EXPECT_EQ(first_step(), std::make_pair(30, 29));
}

TEST_F(PathSearchTest, StartOnTheTargetExpandsNothing) {
    EXPECT_EQ(search_between(10, 10, 10, 10), run_same_cell);
    EXPECT_EQ(search->status, status_same_cell);
    EXPECT_EQ(search->last_node, 0);
    EXPECT_EQ(search->node_state[0], node_open);
    // Both clamp to the same inside cell.
    EXPECT_EQ(search_between(0, 0, 1, 1), run_same_cell);
}

TEST_F(PathSearchTest, TargetOneStepAwayIsReportedAsCreatedFromTheStart) {
    ASSERT_EQ(search_between(10, 10, 11, 11), run_found);
    EXPECT_FALSE(search->read_found(0));
    EXPECT_EQ(search->step_x, 11);  // read_found copies the found cell either way
    EXPECT_EQ(search->step_y, 11);
    EXPECT_TRUE(search->read_found(1));
    EXPECT_EQ(search->trace_first_step(), 0);
    EXPECT_EQ(search->step_x, 11);
    EXPECT_EQ(search->step_y, 11);

    ASSERT_EQ(search_between(10, 10, 12, 12), run_found);
    EXPECT_TRUE(search->read_found(0));
    EXPECT_EQ(search->trace_first_step(), 1);
    EXPECT_EQ(search->step_x, 11);
    EXPECT_EQ(search->step_y, 11);
}

TEST_F(PathSearchTest, NoCornerIsCutPastAKindThatBlocksDiagonals) {
    struct Side {
        int x, y;
    };
    const Side sides[2] = {{11, 10}, {10, 11}};  // same row, same column
    for (const Side& side : sides) {
        for (int kind : {0, 2, 3, 5, 11, 20, 61, 200}) {
            init_map_cells();
            set_kind(side.x, side.y, static_cast<uint8_t>(kind));
            ASSERT_EQ(search_between(10, 10, 11, 11), run_found) << kind;
            EXPECT_TRUE(search->read_found(0)) << "cut the corner past kind " << kind;
            search->trace_first_step();
            // Around the corner: through the other side cell, or through
            // this one when it may be entered and was expanded first.
            const bool through_other = search->step_x != side.x || search->step_y != side.y;
            EXPECT_TRUE(through_other || is_enterable(kind)) << kind;
            EXPECT_NE(std::make_pair(search->step_x, search->step_y), std::make_pair(11, 11));
            EXPECT_EQ(search->node_cost[search->found_node], 9.0f);
        }
        for (int kind : {1, 10, 22, 60, 68}) {
            init_map_cells();
            set_kind(side.x, side.y, static_cast<uint8_t>(kind));
            ASSERT_EQ(search_between(10, 10, 11, 11), run_found);
            EXPECT_FALSE(search->read_found(0)) << "kind " << kind << " lets the diagonal pass";
        }
    }
    // Kind 2 may be entered: going round through it is the shortest way.
    init_map_cells();
    set_kind(11, 10, 2);
    ASSERT_EQ(search_between(10, 10, 11, 11), run_found);
    search->read_found(1);
    search->trace_first_step();
    EXPECT_EQ(std::make_pair(search->step_x, search->step_y), std::make_pair(11, 10));
}

TEST_F(PathSearchTest, UnreachableTargetUsesTheWholeBudgetAndEndsNotFound) {
    for (int kind : {0, 3, 11, 20, 61}) {
        init_map_cells();
        set_kind(40, 30, static_cast<uint8_t>(kind));
        EXPECT_EQ(search_between(10, 10, 40, 30), run_not_found) << kind;
        EXPECT_EQ(search->status, status_not_found);
        // Every other inside cell got a node and was expanded; the search
        // went on past the last open node, falling back to the newest one.
        EXPECT_EQ(search->last_node, 62 * 62 - 2);
        EXPECT_EQ(search->current, search->last_node);
        EXPECT_EQ(search->best_cost, 8192.0f);
        for (int i = 0; i <= search->last_node; ++i) ASSERT_EQ(search->node_state[i], node_closed);
    }
    // A walled-in target ends the same way.
    init_map_cells();
    for (int x = 39; x <= 41; ++x)
        for (int y = 29; y <= 31; ++y)
            if (x != 40 || y != 30) set_kind(x, y, 3);
    EXPECT_EQ(search_between(10, 10, 40, 30), run_not_found);
    EXPECT_EQ(search->last_node, 62 * 62 - 10);
}

TEST_F(PathSearchTest, BudgetCountsExpansionsAndStopsAtTheWindowAreaLessNine) {
    // The budget given is honoured below the limit: one expansion per count.
    EXPECT_EQ(cell_picked_at(10, 10, 70, 70, 1), std::make_pair(9, 10));
    set_kind(62, 62, 3);
    const auto second = cell_picked_at(10, 10, 62, 62, 2);
    search->prepare(10, 10, second.first, second.second, 0, 64);
    EXPECT_EQ(search->run(1), run_not_found);
    search->prepare(10, 10, second.first, second.second, 0, 64);
    EXPECT_EQ(search->run(2), run_found);

    // A search continued without prepare may only make up the rest of the
    // limit, counted from the nodes already made. Costly cells on every
    // other square are made early and expanded last, so the limit bites.
    init_map_cells();
    entry_cost[10] = 1000;
    for (int y = 1; y < 63; ++y)
        for (int x = 1; x < 63; ++x)
            if ((x + y) % 2 == 0) set_kind(x, y, 10);
    set_kind(62, 62, 3);
    const int first_part = 1900;
    search->prepare(31, 30, 62, 62, 0, 64);
    ASSERT_EQ(search->run(first_part), run_not_found);
    const int made = search->last_node;
    const int rest = 4087 - made;
    ASSERT_GT(rest, 10);
    const auto last_allowed = cell_picked_at(31, 30, 62, 62, first_part + rest);
    const auto first_refused = cell_picked_at(31, 30, 62, 62, first_part + rest + 1);
    ASSERT_NE(last_allowed, first_refused);

    search->prepare(31, 30, last_allowed.first, last_allowed.second, 0, 64);
    ASSERT_EQ(search->run(first_part), run_not_found);
    ASSERT_EQ(search->last_node, made);
    EXPECT_EQ(search->run(4096), run_found);

    search->prepare(31, 30, first_refused.first, first_refused.second, 0, 64);
    ASSERT_EQ(search->run(first_part), run_not_found);
    EXPECT_EQ(search->run(INT_MAX), run_not_found);
}

TEST_F(PathSearchTest, RunBeforeAnyPrepareChangesNothing) {
    std::vector<uint8_t> object(sizeof(PathSearch));
    std::memcpy(object.data(), search, sizeof(PathSearch));
    std::vector<uint8_t> marks(search->grid_marks, search->grid_marks + cell_count);
    std::vector<float> costs(search->node_cost, search->node_cost + cell_count);
    EXPECT_EQ(search->ready, 0);
    EXPECT_EQ(search->run(4096), run_unprepared);
    EXPECT_EQ(std::memcmp(object.data(), search, sizeof(PathSearch)), 0);
    EXPECT_TRUE(std::equal(marks.begin(), marks.end(), search->grid_marks));
    EXPECT_TRUE(std::equal(costs.begin(), costs.end(), search->node_cost));
}

TEST_F(PathSearchTest, BlockingUnitsInTheFirstTenSlotsAreMarkedButNeverOverStartOrTarget) {
    auto place = [](int slot, int x, int y, uint16_t blocks) {
        Unit& unit = unit_table[slot];
        unit.active = 1;
        unit.mobility = 1;
        unit.blocks_path = blocks;
        unit.tile_x = static_cast<uint16_t>(x);
        unit.tile_y = static_cast<uint16_t>(y);
        unit.level = 0;
        return &unit;
    };
    place(0, 20, 20, 1);
    Unit* mover = place(9, 21, 21, 1);
    mover->order = order_move;
    mover->next_x = 22;
    mover->next_y = 22;
    place(10, 23, 23, 1);                 // slot 10 is never looked at
    place(3, 24, 24, 0);                  // does not block
    place(4, 25, 25, 2);                  // only 1 blocks
    place(5, 26, 26, 1)->mobility = 0;    // mobility 0 never blocks
    place(6, 27, 27, 1)->active = 0;      // empty slot
    place(7, 28, 28, 1)->level = 1;       // another level
    place(8, 0, 5, 1);                    // on the window border
    Unit* still = place(2, 30, 30, 1);    // a next cell counts only for a move order
    still->order = order_attack;
    still->next_x = 31;
    still->next_y = 31;
    search->prepare(10, 10, 50, 50, 0, 64);
    EXPECT_EQ(mark_at(20, 20), mark_unit);
    EXPECT_EQ(mark_at(21, 21), mark_unit);
    EXPECT_EQ(mark_at(22, 22), mark_unit_next);
    EXPECT_EQ(mark_at(30, 30), mark_unit);
    for (int c : {23, 24, 25, 26, 27, 28, 31}) EXPECT_EQ(mark_at(c, c), mark_free) << c;
    EXPECT_EQ(mark_at(0, 5), mark_taken);

    // A blocking unit on the start or the target does not stop the search.
    search->prepare(20, 20, 22, 22, 0, 64);
    EXPECT_EQ(mark_at(20, 20), mark_free);
    EXPECT_EQ(mark_at(22, 22), mark_free);
    ASSERT_EQ(search->run(4096), run_found);
    search->read_found(1);
    // (21, 21) is taken by unit 9: three steps round it instead of two across.
    EXPECT_EQ(search->trace_first_step(), 2);
    EXPECT_NE(std::make_pair(search->step_x, search->step_y), std::make_pair(21, 21));
    EXPECT_NEAR(search->node_cost[search->found_node], 1.0f + 4.0f + 4.4142f + 4.0f, 1e-4f);
}

TEST_F(PathSearchTest, BuffersAreReleasedAndCanBeTakenAgain) {
    search->release_buffers();
    EXPECT_EQ(search->node_x, nullptr);
    EXPECT_EQ(search->grid_marks, nullptr);
    EXPECT_EQ(search->dir_cost, nullptr);
    search->release_buffers();  // twice is harmless
    ASSERT_TRUE(search->create_buffers());
    EXPECT_EQ(search->ready, 0);
    EXPECT_EQ(search_between(10, 10, 15, 10), run_found);
}
