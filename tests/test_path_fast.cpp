// The fast queries against the plain search, query by query: random maps
// with walls, winding corridors whose costs pass the pick ceiling, units
// that block paths, and maps changed under kept answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "path/path_fast.h"
#include "path/path_queries.h"
#include "path/path_search.h"
#include "world/world_arrays.h"

namespace {

constexpr int plain_slot = 20;
constexpr int fast_slot = 21;
constexpr uint16_t untouched = 999;

// Everything a query leaves that the game or a test can read.
struct Outcome {
    int result;
    uint16_t next_x, next_y, order;
    uint8_t status;
    int32_t target_x, target_y, step_x, step_y;
    float found_cost;
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.result == b.result && a.next_x == b.next_x && a.next_y == b.next_y && a.order == b.order &&
           a.status == b.status && a.target_x == b.target_x && a.target_y == b.target_y &&
           a.step_x == b.step_x && a.step_y == b.step_y &&
           std::memcmp(&a.found_cost, &b.found_cost, sizeof(float)) == 0;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "result " << o.result << " next " << o.next_x << "," << o.next_y << " order " << o.order
               << " status " << int(o.status) << " target " << o.target_x << "," << o.target_y << " step "
               << o.step_x << "," << o.step_y << " cost " << o.found_cost;
}

struct Query {
    int from_x, from_y, to_x, to_y, window;
    bool toward_unit;
};

std::ostream& operator<<(std::ostream& out, const Query& q) {
    return out << "(" << q.from_x << "," << q.from_y << ") to (" << q.to_x << "," << q.to_y << ") window "
               << q.window << (q.toward_unit ? " toward a unit" : " toward a cell");
}

class FastPathTest : public ::testing::Test {
protected:
    std::mt19937 random{12345};
    int found_past_ceiling = 0;  // found searches whose cost passed 2 x 64 x 64
    int queries = 0;

    void SetUp() override {
        ASSERT_TRUE(alloc_world());
        init_face_table();
        init_map_cells();
        path_search = new PathSearch();
        ASSERT_TRUE(path_search->create_buffers());
        ASSERT_TRUE(kept_paths_ready());
    }
    void TearDown() override {
        std::printf("[ compared ] %d queries against the plain search\n", queries);
        path_search->release_buffers();
        delete path_search;
        path_search = nullptr;
        free_world();
    }

    int below(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
    void set_kind(int x, int y, uint8_t kind) { cell_kinds[cell_index(0, x, y)] = kind; }
    uint8_t kind_at(int x, int y) const { return cell_kinds[cell_index(0, x, y)]; }

    Outcome ask(int slot, const Query& q, bool fast) {
        Unit& unit = unit_table[slot];
        unit.active = 1;
        unit.mobility = 1;
        unit.order = q.toward_unit ? order_attack : order_move;
        unit.tile_x = static_cast<uint16_t>(q.from_x);
        unit.tile_y = static_cast<uint16_t>(q.from_y);
        unit.next_x = untouched;
        unit.next_y = untouched;
        path_search->step_x = -3;  // a failed search must leave these alone
        path_search->step_y = -4;
        int result;
        if (fast)
            result = q.toward_unit ? path_step_to_unit(slot, q.to_x, q.to_y, q.window)
                                   : path_step_to_cell(slot, q.to_x, q.to_y, q.window);
        else
            result = q.toward_unit ? literal_path_step_to_unit(slot, q.to_x, q.to_y, q.window)
                                   : literal_path_step_to_cell(slot, q.to_x, q.to_y, q.window);
        const PathSearch& s = *path_search;
        return Outcome{result,     unit.next_x, unit.next_y, unit.order,  s.status,          s.target_x,
                       s.target_y, s.step_x,    s.step_y,    unit.order == 0 ? 0.0f : last_found_cost()};
    }

    // One query both ways; true when they agree.
    bool compare(const Query& q) {
        const Outcome plain = ask(plain_slot, q, false);
        const float plain_cost = plain.status == status_found ? last_found_cost() : 0.0f;
        if (plain.status == status_found && plain_cost > 8192.0f) ++found_past_ceiling;
        const Outcome fast = ask(fast_slot, q, true);
        ++queries;
        EXPECT_EQ(plain, fast) << q;
        if (plain.status == status_found) {
            const float fast_cost = last_found_cost();
            EXPECT_EQ(std::memcmp(&plain_cost, &fast_cost, sizeof(float)), 0) << q << " " << plain_cost << " "
                                                                              << fast_cost;
        }
        return plain == fast;
    }

    Query random_query(int window) {
        Query q;
        // Mostly inside cells, some on the ring and some off the map.
        auto coordinate = [this]() { return below(10) == 0 ? below(70) - 3 : 1 + below(62); };
        q.from_x = coordinate();
        q.from_y = coordinate();
        if (below(3) == 0) {
            // Near the start: the searches the game asks most.
            q.to_x = q.from_x + below(13) - 6;
            q.to_y = q.from_y + below(13) - 6;
        } else {
            q.to_x = coordinate();
            q.to_y = coordinate();
        }
        q.window = window;
        q.toward_unit = below(3) == 0;
        return q;
    }

    // Follows the fast query step by step from a start, as a walking unit
    // asks it, comparing every step with the plain query.
    void compare_walk(int from_x, int from_y, int to_x, int to_y, bool toward_unit) {
        Query q{from_x, from_y, to_x, to_y, 64, toward_unit};
        for (int step = 0; step < 200; ++step) {
            if (!compare(q)) return;
            const Unit& unit = unit_table[fast_slot];
            if (unit.order == 0 || unit.next_x == untouched) return;
            q.from_x = unit.next_x;
            q.from_y = unit.next_y;
            if (q.from_x == path_search->target_x && q.from_y == path_search->target_y) return;
        }
    }

    void random_map() {
        static const uint8_t others[] = {10, 22, 60, 68, 5, 11, 20, 61, 200};
        const int walls = 5 + below(25), corners = below(15), holes = below(6), strange = below(10);
        for (int y = 0; y < map_size; ++y) {
            for (int x = 0; x < map_size; ++x) {
                const int roll = below(100);
                uint8_t kind = 1;
                if (roll < walls) kind = 3;
                else if (roll < walls + corners) kind = 2;
                else if (roll < walls + corners + holes) kind = 0;
                else if (roll < walls + corners + holes + strange) kind = others[below(9)];
                set_kind(x, y, kind);
            }
        }
        // A few long walls with gaps.
        for (int n = below(5); n > 0; --n) {
            const bool across = below(2) == 0;
            const int at = 2 + below(60), gap = 1 + below(62);
            for (int i = 1; i <= 62; ++i)
                if (i != gap) across ? set_kind(i, at, 3) : set_kind(at, i, 3);
        }
    }

    // Diagonal corridors two cells wide, stepped like stairs so that no
    // diagonal step leaves them, joined end to end: one winding way long
    // enough for its costs to pass 2 x 64 x 64.
    void winding_map() {
        for (int y = 0; y < map_size; ++y)
            for (int x = 0; x < map_size; ++x) set_kind(x, y, ((x - y) % 3 + 3) % 3 == 0 ? 3 : 1);
        for (int line = -63; line <= 63; line += 3) {
            if (((line % 3) + 3) % 3 != 0) continue;
            // Open one cell of this wall line between the two corridors it
            // parts, at alternating ends.
            const bool top = ((line / 3) % 2 + 2) % 2 == 0;
            for (int i = 0; i < 62; ++i) {
                const int y = top ? 1 + i : 62 - i;
                const int x = y + line;
                if (x - 1 >= 1 && x + 1 <= 62 && y >= 1 && y <= 62) {
                    set_kind(x, y, 1);
                    break;
                }
            }
        }
    }

    void place_blocking_units() {
        for (int slot = 0; slot < 12; ++slot) {
            Unit& unit = unit_table[slot];
            unit = Unit{};
            unit.active = below(5) != 0;
            unit.mobility = static_cast<uint16_t>(below(4) == 0 ? 0 : 1);
            unit.blocks_path = static_cast<uint16_t>(below(3) == 0 ? 0 : 1);
            unit.tile_x = static_cast<uint16_t>(below(64));
            unit.tile_y = static_cast<uint16_t>(below(64));
            unit.order = static_cast<uint16_t>(below(4));
            unit.next_x = static_cast<uint16_t>(unit.tile_x + below(3) - 1);
            unit.next_y = static_cast<uint16_t>(unit.tile_y + below(3) - 1);
        }
    }

    void clear_units() {
        for (int slot = 0; slot < 12; ++slot) unit_table[slot] = Unit{};
    }
};

}  // namespace

TEST_F(FastPathTest, OpenMapEveryPairFromSomeStartsAndWalks) {
    for (int start : {0, 1, 2}) {
        const int sx = start == 0 ? 32 : 1 + below(62), sy = start == 0 ? 4 : 1 + below(62);
        for (int ty = 0; ty < 64; ++ty)
            for (int tx = 0; tx < 64; ++tx) ASSERT_TRUE(compare({sx, sy, tx, ty, 64, (tx + ty) % 2 == 0}));
    }
    compare_walk(32, 4, 32, 59, false);
    compare_walk(1, 1, 62, 62, true);
    compare_walk(0, 5, 10, 5, false);
}

TEST_F(FastPathTest, EqualCostsGoToTheNewestNodeAsThePlainScanDoes) {
    // Round a wall cell both ways cost the same; the newest open node, made
    // for direction 6, leads, so the way goes left.
    set_kind(10, 11, 3);
    ASSERT_TRUE(compare({10, 10, 10, 12, 64, false}));
    EXPECT_EQ(unit_table[fast_slot].next_x, 9);
    EXPECT_EQ(unit_table[fast_slot].next_y, 10);
    EXPECT_EQ(last_found_cost(), 17.0f);
    // Along a row the same tie is won by direction 4 over direction 0.
    init_map_cells();
    set_kind(11, 20, 3);
    ASSERT_TRUE(compare({10, 20, 12, 20, 64, false}));
    EXPECT_EQ(unit_table[fast_slot].next_x, 10);
    EXPECT_EQ(unit_table[fast_slot].next_y, 19);
}

TEST_F(FastPathTest, RandomWalledMapsAgreeWithThePlainSearch) {
    for (int map = 0; map < 40; ++map) {
        random_map();
        for (int i = 0; i < 1200; ++i)
            if (!compare(random_query(64))) return;
        for (int i = 0; i < 6; ++i) compare_walk(1 + below(62), 1 + below(62), 1 + below(62), 1 + below(62), i % 2);
        // Smaller windows always search live.
        for (int i = 0; i < 150; ++i)
            if (!compare(random_query(below(4) == 0 ? below(70) - 2 : 8 + below(50)))) return;
    }
    EXPECT_GE(queries, 50000);
}

TEST_F(FastPathTest, WindingCorridorsPastTheCostCeilingAgree) {
    for (int map = 0; map < 12; ++map) {
        winding_map();
        // Shortcuts and dead ends on some maps.
        for (int n = map == 0 ? 0 : below(40); n > 0; --n) set_kind(1 + below(62), 1 + below(62), below(2) ? 1 : 2);
        for (int i = 0; i < 1500; ++i)
            if (!compare(random_query(64))) return;
        // From one end of the way to the far end, and walks along it.
        for (int i = 0; i < 60; ++i)
            if (!compare({1 + below(4), 1 + below(4), 62 - below(6), 62 - below(6), 64, false})) return;
        compare_walk(2, 1, 62, 61, false);
    }
    EXPECT_GT(found_past_ceiling, 0) << "no search passed the cost ceiling";
}

TEST_F(FastPathTest, UnitsThatBlockPathsAreSearchedLive) {
    for (int map = 0; map < 20; ++map) {
        if (map % 4 == 3) winding_map(); else random_map();
        for (int round = 0; round < 10; ++round) {
            place_blocking_units();
            for (int i = 0; i < 100; ++i)
                if (!compare(random_query(64))) return;
        }
        // Blocking units in slots past the first ten change nothing.
        clear_units();
        for (int slot = 10; slot < 12; ++slot) {
            unit_table[slot].active = 1;
            unit_table[slot].mobility = 1;
            unit_table[slot].blocks_path = 1;
            unit_table[slot].tile_x = static_cast<uint16_t>(1 + below(62));
            unit_table[slot].tile_y = static_cast<uint16_t>(1 + below(62));
        }
        for (int i = 0; i < 300; ++i)
            if (!compare(random_query(64))) return;
        clear_units();
    }
}

TEST_F(FastPathTest, ChangedMapIsNoticedAndForgettingDropsKeptAnswers) {
    const Query around{10, 30, 50, 30, 64, false};
    ASSERT_TRUE(compare(around));
    EXPECT_EQ(unit_table[fast_slot].next_x, 11);
    // A wall goes up between them after the answers from (10, 30) are kept.
    for (int y = 1; y <= 62; ++y)
        if (y != 5) set_kind(30, y, 3);
    ASSERT_TRUE(compare(around));
    EXPECT_EQ(unit_table[fast_slot].next_y, 29);  // toward the gap
    // Closed entirely: refused, as the plain search refuses it.
    set_kind(30, 5, 3);
    ASSERT_TRUE(compare(around));
    EXPECT_EQ(unit_table[fast_slot].order, order_idle);
    // Entry costs are part of the map the answers were made from.
    init_map_cells();
    ASSERT_TRUE(compare(around));
    entry_cost[1] = 40;
    entry_cost[10] = 0;
    for (int y = 1; y <= 62; ++y) set_kind(30 + (y % 3), y, 10);
    ASSERT_TRUE(compare(around));
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(compare(random_query(64)));
    for (int32_t& cost : entry_cost) cost = 3;
    forget_kept_paths();
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(compare(random_query(64)));
}

TEST_F(FastPathTest, KeptAnswersStayWithinTheirMemory) {
    EXPECT_LT(kept_paths_bytes(), 16u * 1024 * 1024);
    // Many starts, each filled in part and in full, in an order that makes
    // the suspended search change hands often.
    random_map();
    for (int i = 0; i < 3000; ++i) {
        const int sx = 1 + below(8), sy = 1 + below(8);
        if (!compare({sx, sy, sx + below(5), sy + below(5), 64, false})) return;
        if (!compare({sx, sy, 1 + below(62), 1 + below(62), 64, true})) return;
    }
}

TEST_F(FastPathTest, WithoutKeptAnswersTheQueriesStillAgree) {
    // A second object owns nothing: releasing it leaves the first's answers.
    PathSearch* other = new PathSearch();
    ASSERT_TRUE(other->create_buffers());
    other->release_buffers();
    delete other;
    ASSERT_TRUE(kept_paths_ready());
    random_map();
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(compare(random_query(64)));
}

TEST_F(FastPathTest, QueueOrderedRunLeavesTheSameNodes) {
    random_map();
    PathSearch* plain = new PathSearch();
    ASSERT_TRUE(plain->create_buffers());
    for (int i = 0; i < 200; ++i) {
        const Query q = random_query(8 + below(57));
        plain->prepare(q.from_x, q.from_y, q.to_x, q.to_y, 0, q.window);
        path_search->prepare(q.from_x, q.from_y, q.to_x, q.to_y, 0, q.window);
        // Also a search continued without prepare, as run allows.
        const int first = below(3) == 0 ? below(200) : 0;
        if (first) {
            ASSERT_EQ(plain->run(first), run_with_queue(*path_search, first));
        }
        ASSERT_EQ(plain->run(4096), run_with_queue(*path_search, 4096)) << q;
        ASSERT_EQ(plain->status, path_search->status);
        ASSERT_EQ(plain->current, path_search->current);
        ASSERT_EQ(plain->last_node, path_search->last_node);
        for (int n = 0; n <= plain->last_node; ++n) {
            ASSERT_EQ(plain->node_parent[n], path_search->node_parent[n]);
            ASSERT_EQ(plain->node_state[n], path_search->node_state[n]);
            ASSERT_EQ(plain->node_cost[n], path_search->node_cost[n]);
        }
    }
    PathSearch unprepared{};
    EXPECT_EQ(run_with_queue(unprepared, 4096), run_unprepared);
    plain->release_buffers();
    delete plain;
}
