// The fast queries against the plain search on random cases from a seed:
// walled maps, a winding way whose costs pass the pick ceiling, units that
// block paths, small windows, and maps changed under kept answers.
#include <gtest/gtest.h>

#include <random>

#include "path/path_fast.h"
#include "path/path_queries.h"
#include "path/path_search.h"
#include "tests/support/world_fixture.h"

namespace {

class FastPath : public WorldTest {
protected:
    std::mt19937 random{12345};
    int past_ceiling = 0;
    int below(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
    static void set_kind(int x, int y, int kind) { cell_kinds[cell_index(0, x, y)] = static_cast<uint8_t>(kind); }

    // Everything a query leaves that the game reads.
    struct Outcome {
        int value[9];
        float cost;
    };
    static constexpr const char* value_names[9] = {"result", "next_x",   "next_y", "order", "status",
                                                   "target_x", "target_y", "step_x", "step_y"};
    Outcome ask(int from_x, int from_y, int to_x, int to_y, int window, bool toward_unit, bool fast) {
        Unit& unit = unit_table[20];
        unit = Unit{};
        unit.active = unit.mobility = 1;
        unit.order = toward_unit ? order_attack : order_move;
        unit.tile_x = static_cast<uint16_t>(from_x);
        unit.tile_y = static_cast<uint16_t>(from_y);
        path_search->step_x = -3;
        int result;
        if (fast) result = (toward_unit ? path_step_to_unit : path_step_to_cell)(20, to_x, to_y, window);
        else result = (toward_unit ? plain_path_step_to_unit : plain_path_step_to_cell)(20, to_x, to_y, window);
        const PathSearch& s = *path_search;
        const float cost = s.status == status_found ? last_found_cost() : 0.0f;
        if (cost > 8192.0f) ++past_ceiling;
        return {{result, unit.next_x, unit.next_y, unit.order, s.status, s.target_x, s.target_y, s.step_x, s.step_y},
                cost};
    }
    // One query asked both ways; false at the first difference.
    bool agree(int fx, int fy, int tx, int ty, int window, bool toward_unit) {
        SCOPED_TRACE(::testing::Message() << fx << "," << fy << " to " << tx << "," << ty << " window " << window
                                          << (toward_unit ? " toward a unit" : " toward a cell"));
        const Outcome plain = ask(fx, fy, tx, ty, window, toward_unit, false);
        const Outcome fast = ask(fx, fy, tx, ty, window, toward_unit, true);
        for (int k = 0; k < 9; ++k) EXPECT_EQ(fast.value[k], plain.value[k]) << value_names[k];
        EXPECT_EQ(fast.cost, plain.cost) << "cost";
        return !::testing::Test::HasFailure();
    }
    // Random queries, mostly from inside cells, some near the start, some
    // off the map, up to the first disagreement.
    void compare(int count, bool any_window) {
        for (int i = 0; i < count; ++i) {
            auto coordinate = [this] { return below(10) == 0 ? below(70) - 3 : 1 + below(62); };
            const int fx = coordinate(), fy = coordinate(), near = below(3) == 0;
            const int tx = near ? fx + below(13) - 6 : coordinate(), ty = near ? fy + below(13) - 6 : coordinate();
            const int window = any_window && below(4) == 0 ? below(70) - 2 : 64;
            if (!agree(fx, fy, tx, ty, window, below(3) == 0)) return;
        }
    }
    void random_map() {
        static const int kinds[] = {3, 3, 3, 2, 0, 10, 22, 60, 68, 5, 11, 20, 61, 200};
        for (int i = 0; i < cell_count; ++i) cell_kinds[i] = static_cast<uint8_t>(below(4) ? 1 : kinds[below(14)]);
    }
    // Diagonal corridors two cells wide, stepped so that no diagonal step
    // leaves them, joined end to end at alternating ends.
    void winding_map() {
        for (int y = 0; y < map_size; ++y)
            for (int x = 0; x < map_size; ++x) set_kind(x, y, ((x - y) % 3 + 3) % 3 == 0 ? 3 : 1);
        for (int line = -63; line <= 63; line += 3)
            for (int i = 0; i < 62; ++i) {
                const int y = (line / 3) % 2 == 0 ? 1 + i : 62 - i, x = y + line;
                if (x - 1 < 1 || x + 1 > 62) continue;
                set_kind(x, y, 1);
                break;
            }
    }
};

}  // namespace

TEST_F(FastPath, RandomMapsAgreeWithThePlainSearch) {
    for (int map = 0; map < 12 && !HasFailure(); ++map) {
        map % 3 == 2 ? winding_map() : random_map();
        compare(400, true);
        for (int slot = 0; slot < 12; ++slot) {  // units in the first ten slots block paths
            Unit& unit = place_unit(slot, owner_neutral, 30, below(64), below(64));
            unit.blocks_path = below(3) != 0;
            unit.order = static_cast<uint16_t>(below(4));
            unit.next_x = static_cast<uint16_t>(unit.tile_x + below(3) - 1);
            unit.next_y = static_cast<uint16_t>(unit.tile_y + below(3) - 1);
        }
        compare(100, false);
        for (int slot = 0; slot < 12; ++slot) unit_table[slot] = Unit{};
    }
    EXPECT_GT(past_ceiling, 0) << "no search passed the cost ceiling";
}

// A change of any entry cost (the floor's, one between, the last) or of a
// cell's kind drops the answers kept before it.
TEST_F(FastPath, AnyChangedCostOrKindDropsTheKeptAnswers) {
    const struct {
        int kind, cost, new_kind;
    } changes[] = {{1, 9, 1}, {128, 40, 128}, {255, 40, 255}, {1, 3, 3}};
    for (const auto& c : changes) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.kind << " at " << c.cost << ", then kind " << c.new_kind);
        init_map_cells();
        set_kind(15, 10, c.kind);
        ask(10, 10, 20, 10, 64, false, true);
        entry_cost[c.kind] = c.cost;
        set_kind(15, 10, c.new_kind);
        if (!agree(10, 10, 20, 10, 64, false)) return;
        entry_cost[c.kind] = 3;
    }
}
