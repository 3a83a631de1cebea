// Units acting on their orders: the eight-slot slice, wandering, walking
// with the real path search, and the exchange of blows.
#include <gtest/gtest.h>

#include "game/units.h"
#include "tests/support/world_fixture.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

class Units : public WorldTest {
protected:
    static Unit& with_order(Unit& unit, uint16_t order, int target, int goal_x = 0, int goal_y = 0) {
        unit.order = order;
        unit.target_unit = static_cast<int16_t>(target);
        unit.goal_x = static_cast<uint16_t>(goal_x);
        unit.goal_y = static_cast<uint16_t>(goal_y);
        return unit;
    }
    // Slots 0 to 7 come up when frame_counter % 33 == 0.
    static void visit_first_slice() {
        frame_counter = 33;
        update_unit_slice();
    }
};

}  // namespace

TEST_F(Units, EachFrameAdvancesItsEightSlotsAndOneFrameIn33None) {
    for (int slot = 0; slot < max_units; ++slot)
        with_order(place_unit(slot, owner_player, 30, 10, slot % 60 + 2), order_move, 0, 50, slot % 60 + 2);
    const int frames[][3] = {{1, 8, 15}, {32, 0, -1}, {33, 0, 7}, {31, 248, 255}, {65, 256, 255}};
    for (const auto& frame : frames) {
        for (int slot = 0; slot < max_units; ++slot) unit_table[slot].tile_x = 10;
        unit_table[frame[1] % max_units].active = 0;  // empty slots are skipped...
        unit_table[frame[1] % max_units + 1].dead = 1;  // ...the dead are not
        frame_counter = frame[0];
        update_unit_slice();
        for (int slot = 0; slot < max_units; ++slot) {
            const bool stepped = slot >= frame[1] && slot <= frame[2] && slot != frame[1];
            ASSERT_EQ(unit_table[slot].tile_x, stepped ? 11 : 10) << "frame " << frame[0] << " slot " << slot;
        }
        unit_table[frame[1] % max_units].active = 1;
    }
}

TEST_F(Units, WanderingSendsIdleNeutralsTwoDrawsEachButNeverSlotZero) {
    place_unit(0, owner_neutral, 30, 5, 5);
    with_order(place_unit(3, owner_neutral, 30, 5, 5), order_move, 0, 7, 9);
    place_unit(4, owner_computer, 30, 5, 5);
    place_unit(5, owner_neutral, 31, 5, 5);
    place_unit(6, owner_neutral, kind_mine, 5, 5);  // sent too, and never goes
    place_unit(7, owner_neutral, 32, 5, 5);
    place_unit(8, owner_neutral, 32, 5, 5).active = 0;
    EXPECT_EQ(draws_made(4242, wander_neutrals), 6);
    const int goals[][3] = {{0, 0, 0}, {3, 7, 9}, {4, 0, 0}, {5, 3, 27}, {6, 29, 37}, {7, 15, 57}, {8, 0, 0}};
    for (const auto& g : goals) {
        EXPECT_EQ(unit_table[g[0]].goal_x, g[1]) << g[0];
        EXPECT_EQ(unit_table[g[0]].goal_y, g[2]) << g[0];
        EXPECT_EQ(unit_table[g[0]].order, g[1] ? order_move : order_idle) << g[0];
    }
    visit_first_slice();
    EXPECT_EQ(unit_table[6].tile_x, 5);
}

TEST_F(Units, AMoveEndsOnTheTargetTheSearchClampedOneTileInside) {
    Unit& unit = with_order(place_unit(2, owner_player, 30, 4, 5), order_move, 0, 0, 0);
    // Straight and diagonal ways cost the same; the search's tie rule goes straight first.
    const int tiles[][2] = {{4, 4}, {3, 3}, {2, 2}, {1, 1}, {1, 1}};
    for (const auto& tile : tiles) {
        visit_first_slice();
        EXPECT_EQ(unit.tile_x, tile[0]);
        EXPECT_EQ(unit.tile_y, tile[1]);
    }
    EXPECT_EQ(unit.order, order_idle);
}

// Blows reach Manhattan distance 2; each exchange draws the blow, then the
// counter-blow: seed 1 draws 41 and 18467.
TEST_F(Units, BlowsAreStruckFromDistanceTwoAfterTheStep) {
    Unit& target = place_unit(5, owner_computer, 36, 11, 11);
    Unit& a = with_order(place_unit(2, owner_player, 30, 10, 10), order_attack, 5);
    a.attack = 6;
    target.attack = 8;
    EXPECT_EQ(draws_made(1, visit_first_slice), 2);
    EXPECT_EQ(a.tile_x, 10);
    EXPECT_EQ(target.hp, 30.0f - 0.41f);
    EXPECT_EQ(a.hp, 30.0f - 0.67f);
    EXPECT_EQ(a.order, order_attack);
    const struct {
        int target_x, draws, attacker_x;
    } steps[] = {{14, 0, 11}, {14, 2, 12}, {16, 0, 13}};
    for (const auto& step : steps) {
        target.tile_x = static_cast<uint16_t>(step.target_x);
        target.tile_y = 10;
        EXPECT_EQ(draws_made(7, visit_first_slice), step.draws) << step.target_x;
        EXPECT_EQ(a.tile_x, step.attacker_x);
    }
}

TEST_F(Units, BothCanDieInOneExchangeAndTheSelectionGoesBackToTheLeader) {
    for (int selected : {2, 5}) {
        Unit& a = with_order(place_unit(2, owner_player, 30, 10, 10), order_attack, 5);
        Unit& t = with_order(place_unit(5, owner_computer, 38, 11, 10), order_attack, 2);
        a.attack = t.attack = 2;
        a.hp = selected == 2 ? 0.005f : 30.0f;
        t.hp = 0.005f;
        a.dead = t.dead = 0;
        selected_unit = selected;
        rng::srand(1);  // blows of 0.01 and 0.07
        exchange_blows(2, 5);
        EXPECT_EQ(t.dead, 1);
        EXPECT_EQ(t.hp, 0.0f);
        EXPECT_EQ(a.dead, selected == 2 ? 1 : 0);
        EXPECT_EQ(a.hp, selected == 2 ? 0.0f : 30.0f - 0.07f);
        EXPECT_EQ(a.order, order_idle);
        EXPECT_EQ(t.order, order_idle);
        EXPECT_EQ(selected_unit, 0);
        EXPECT_EQ(t.owner, owner_computer);
    }
}

TEST_F(Units, ATargetAlreadyDeadIsStruckOnceAndStillStrikesBack) {
    Unit& t = place_unit(5, owner_computer, 36, 12, 10);
    t.dead = 1;
    t.hp = 0.0f;
    t.attack = 8;
    Unit& a = with_order(place_unit(2, owner_player, 30, 10, 10), order_attack, 5);
    EXPECT_EQ(draws_made(1, visit_first_slice), 2);
    EXPECT_EQ(a.tile_x, 11);
    EXPECT_EQ(t.hp, 0.0f);
    EXPECT_EQ(a.order, order_idle);
    EXPECT_EQ(a.hp, 30.0f - 0.67f);
    EXPECT_EQ(draws_made(1, visit_first_slice), 0);
}

TEST_F(Units, WorkersWalkToTheirMineWithoutBlowsAndBadTargetsEndTheOrder) {
    place_unit(6, owner_neutral, kind_mine, 14, 10);
    Unit& worker = with_order(place_unit(2, owner_computer, 30, 10, 10), order_gather, 6);
    Unit& lost = with_order(place_unit(3, owner_computer, 30, 10, 12), order_attack, -1);
    Unit& astray = with_order(place_unit(4, owner_computer, 30, 10, 14), order_gather, 300);
    for (int visit = 0; visit < 5; ++visit) EXPECT_EQ(draws_made(1, visit_first_slice), 0);
    EXPECT_EQ(worker.tile_x, 13);
    EXPECT_EQ(worker.order, order_gather);
    EXPECT_EQ(lost.order, order_idle);
    EXPECT_EQ(lost.tile_x, 10);
    EXPECT_EQ(astray.order, order_idle);
}
