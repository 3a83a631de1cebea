// Snapshots read as hostile input: each field loaded at each bound and refused
// one past it, naming the field, the game left as it was. (Exactness and the
// broken files: tests/e2e/test_snapshots.sh.)
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <string>

#include "state/snapshot.h"
#include "state/state_digest.h"
#include "tests/support/world_fixture.h"
#include "world/new_game.h"

namespace {

class Snapshot : public WorldTest {};
uint8_t bytes[snapshot_bytes];

TEST_F(Snapshot, EachBoundLoadsAndOnePastItIsRefusedNamingTheField) {
    Unit& u = unit_table[200];  // a slot no deal fills
    const auto whole = [](int32_t* field) { return [field](double v) { *field = static_cast<int32_t>(v); }; };
    const auto half = [](uint16_t* field) { return [field](double v) { *field = static_cast<uint16_t>(v); }; };
    const auto byte = [](uint8_t* field) { return [field](double v) { *field = static_cast<uint8_t>(v); }; };
    const auto real = [](float* field) { return [field](double v) { *field = static_cast<float>(v); }; };
    const struct {
        const char* name;
        std::function<void(double)> set;
        double bound, past;
    } cases[] = {
        {"frame_counter", whole(&frame_counter), INT32_MAX - 1, INT32_MAX}, {"frame_counter", whole(&frame_counter), 0, -1},
        {"selected_unit", whole(&selected_unit[0]), 255, 256}, {"selected_unit", whole(&selected_unit[0]), 0, -1},
        {"selected_unit_1", whole(&selected_unit[1]), 255, 256}, {"empire_0_won", whole(&empire_0_won), 1, 2},
        {"empire_1_won", whole(&empire_1_won), 0, -1}, {"tie", whole(&tie), 1, 2},
        {"game_speed", whole(&game_speed), 4, 5}, {"game_speed", whole(&game_speed), 1, 0},
        {"person_0", byte(&side_played_by_person[0]), 0, 2}, {"person_1", byte(&side_played_by_person[1]), 1, 2},
        {"active", byte(&u.active), 1, 2}, {"owner", whole(&u.owner), 2, 3}, {"owner", whole(&u.owner), 0, -1},
        {"tile_x", half(&u.tile_x), 63, 64}, {"tile_y", half(&u.tile_y), 63, 64}, {"level", half(&u.level), 0, 1},
        {"goal_x", half(&u.goal_x), 63, 64}, {"goal_y", half(&u.goal_y), 63, 64},
        {"next_x", half(&u.next_x), 63, 64}, {"next_y", half(&u.next_y), 63, 64},
        {"target_unit", [&](double v) { u.target_unit = static_cast<int16_t>(v); }, 255, 256},
        {"target_unit", [&](double v) { u.target_unit = static_cast<int16_t>(v); }, 0, -1},
        {"order", half(&u.order), 3, 4}, {"blocks_path", half(&u.blocks_path), 1, 2},
        {"kind", half(&u.kind), 0, 1}, {"kind", half(&u.kind), 10, 11}, {"kind", half(&u.kind), 30, 29},
        {"kind", half(&u.kind), 44, 45}, {"kind", half(&u.kind), 90, 91}, {"mobility", half(&u.mobility), 2, 3},
        {"mining", byte(&u.mining), 1, 2}, {"dead", byte(&u.dead), 1, 2},
        {"attack", whole(&u.attack), 100, 101}, {"attack", whole(&u.attack), 0, -1},
        {"gold", real(&u.gold), FLT_MAX, INFINITY}, {"max_hp", real(&u.max_hp), -FLT_MAX, -INFINITY},
        {"hp", real(&u.hp), 0, NAN},
    };
    char error[snapshot_error_capacity];
    for (const auto& c : cases) {
        reset_shared_state();  // each case moves one field from a sound state
        u = Unit();
        new_game_from_seed(3);
        c.set(c.bound);
        snapshot_to_bytes(bytes);
        const uint64_t at_bound = digest_game_state().whole;
        new_game_from_seed(4);
        EXPECT_TRUE(load_snapshot(bytes, sizeof bytes, error)) << c.name << " at " << c.bound << ": " << error;
        EXPECT_EQ(digest_game_state().whole, at_bound) << c.name << " at " << c.bound << ": the state loaded";

        c.set(c.past);
        snapshot_to_bytes(bytes);
        new_game_from_seed(4);
        const uint64_t before = digest_game_state().whole;
        EXPECT_FALSE(load_snapshot(bytes, sizeof bytes, error)) << c.name << " at " << c.past;
        EXPECT_NE(std::string(error).find(std::string(c.name) + " is out of its bounds"), std::string::npos)
            << c.name << " at " << c.past << ": " << error;
        EXPECT_EQ(digest_game_state().whole, before) << c.name << " at " << c.past << ": the game as it was";
    }
}

}  // namespace
