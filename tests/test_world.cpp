// What a new game resets: a deal late in a busy game is the fresh deal of its
// seed. (The deal itself is the golden games' to pin.)
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/frame_rules.h"
#include "state/state_digest.h"
#include "tests/support/world_fixture.h"
#include "world/new_game.h"

namespace {

// A deal writes neither the goal, the next step nor the target of the slots
// it deals again, and no rule reads them before an order writes them: the
// digest here takes them at zero, as a fresh table has them.
StateDigest digest_without_leftovers() {
    const std::vector<Unit> kept(unit_table, unit_table + max_units);
    for (int i = 0; i < max_units; ++i)
        unit_table[i].goal_x = unit_table[i].goal_y = unit_table[i].next_x = unit_table[i].next_y = 0;
    for (int i = 0; i < max_units; ++i) unit_table[i].target_unit = 0;
    const StateDigest digest = digest_game_state();
    std::copy(kept.begin(), kept.end(), unit_table);
    return digest;
}

void play(int frames, const FrameCommands& commands) {
    for (int frame = 0; frame < frames; ++frame) run_rule_steps(commands);
}

}  // namespace

// Seed 9 fresh, and again after 3701 frames in which the player recruited,
// ordered and chose F8, and the computer took fourteen units, mined and
// raided (one raider fell), the end flags set: the same state, and 2100
// frames later the same game. Both keep the busy game's selection and pace.
TEST_F(WorldTest, ADealLateInABusyGameIsTheFreshDealOfItsSeed) {
    selected_unit[0] = 3;
    game_speed = 4;
    new_game_from_seed(9);
    const StateDigest dealt = digest_without_leftovers();
    play(2100, no_commands());
    const StateDigest later = digest_without_leftovers();
    reset_shared_state();
    new_game_from_seed(2);
    FrameCommands busy = no_commands();
    busy.side[0] = {1, unit_table[3].tile_x, unit_table[3].tile_y, 1, 0, 0, 0, 0};
    play(40, busy);  // paid draws on slot 3 until it joins and is selected
    busy.side[0] = {1, 40, 40, 0, 1, 0, 0, 4};
    play(1, busy);
    play(3660, no_commands());
    empire_0_won = empire_1_won = tie = 1;
    new_game_from_seed(9);
    EXPECT_EQ(headless_last_sound(), "sound/explosion3b.wav") << "sound played";
    EXPECT_EQ(digest_without_leftovers().whole, dealt.whole) << "the state right after the deal";
    play(2100, no_commands());
    EXPECT_EQ(digest_without_leftovers().whole, later.whole) << "the state 2100 frames after the deal";
}
