// Units acting on their orders: the eight-slot slice, wandering, walking to
// a goal with the real path search, and the exchange of blows.
#include <gtest/gtest.h>

#include "game/units.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"
#include "tests/support/unit_placement.h"

namespace {

class UnitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        ASSERT_TRUE(alloc_world());
        init_face_table();
        init_map_cells();
        path_search = new PathSearch;
        ASSERT_TRUE(path_search->create_buffers());
        selected_unit = 0;
        frame_counter = 0;
    }
    void TearDown() override {
        path_search->release_buffers();
        delete path_search;
        path_search = nullptr;
        free_world();
    }

    static Unit& walker(int slot, int x, int y, int goal_x, int goal_y) {
        Unit& unit = place_unit(slot, owner_player, 30, x, y);
        unit.order = order_move;
        unit.goal_x = static_cast<uint16_t>(goal_x);
        unit.goal_y = static_cast<uint16_t>(goal_y);
        return unit;
    }

    static Unit& attacker(int slot, int x, int y, int target) {
        Unit& unit = place_unit(slot, owner_player, 30, x, y);
        unit.order = order_attack;
        unit.target_unit = static_cast<int16_t>(target);
        return unit;
    }

    // The slot's own frame: slots 0 to 7 come up when frame_counter % 33 == 0.
    static void visit_first_slice() {
        frame_counter = 33;
        update_unit_slice();
    }

    static float blow(int draw, int attack) { return static_cast<float>(draw % (attack * 10)) / 100.0f; }
};

}  // namespace

TEST_F(UnitsTest, EachFrameAdvancesItsEightSlotsAndFrame32NoneAtAll) {
    for (int slot = 0; slot < max_units; ++slot) walker(slot, 10, slot % 60 + 2, 50, slot % 60 + 2);
    struct Frame {
        int counter, first, last;  // the slots that step; last < first when none
    };
    const Frame frames[] = {{1, 8, 15}, {32, 0, -1}, {33, 0, 7}, {31, 248, 255}, {65, 256, 255}};
    for (const Frame& frame : frames) {
        for (int slot = 0; slot < max_units; ++slot) unit_table[slot].tile_x = 10;
        frame_counter = frame.counter;
        update_unit_slice();
        for (int slot = 0; slot < max_units; ++slot) {
            const bool stepped = slot >= frame.first && slot <= frame.last;
            ASSERT_EQ(unit_table[slot].tile_x, stepped ? 11 : 10) << "frame " << frame.counter << " slot " << slot;
        }
    }
}

TEST_F(UnitsTest, EmptySlotsAreNotUpdatedButTheDeadAre) {
    walker(2, 10, 10, 50, 10).active = 0;
    walker(3, 10, 12, 50, 12).dead = 1;  // no rule gives the dead an order; the slice does not ask
    visit_first_slice();
    EXPECT_EQ(unit_table[2].tile_x, 10);
    EXPECT_EQ(unit_table[3].tile_x, 11);
}

TEST_F(UnitsTest, WanderingGivesIdleNeutralsTwoDrawsEachAndSkipsUnitZero) {
    place_unit(0, owner_neutral, 30, 5, 5);  // even a neutral slot 0 is left alone
    Unit& busy = walker(3, 5, 5, 7, 9);
    busy.owner = owner_neutral;
    place_unit(4, owner_computer, 30, 5, 5);
    place_unit(5, owner_neutral, 31, 5, 5);
    place_unit(6, owner_neutral, kind_mine, 5, 5);  // mines are sent too, and never go
    place_unit(7, owner_neutral, 32, 5, 5);
    place_unit(8, owner_neutral, 32, 5, 5).active = 0;
    rng::srand(4242);
    int goals[3][2];
    for (auto& goal : goals) {
        goal[0] = rng::rand() % 64;
        goal[1] = rng::rand() % 64;
    }
    rng::srand(4242);
    wander_neutrals();
    EXPECT_EQ(unit_table[0].order, order_idle);
    EXPECT_EQ(busy.goal_x, 7);
    EXPECT_EQ(busy.goal_y, 9);
    EXPECT_EQ(unit_table[4].order, order_idle);
    EXPECT_EQ(unit_table[8].order, order_idle);
    const int sent[] = {5, 6, 7};
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(unit_table[sent[n]].order, order_move);
        EXPECT_EQ(unit_table[sent[n]].goal_x, goals[n][0]) << "slot " << sent[n];
        EXPECT_EQ(unit_table[sent[n]].goal_y, goals[n][1]) << "slot " << sent[n];
    }

    // The mine keeps its order and its tile.
    visit_first_slice();
    EXPECT_EQ(unit_table[6].tile_x, 5);
    EXPECT_EQ(unit_table[6].order, order_move);
}

TEST_F(UnitsTest, AMoveToTheCornerEndsOnTheClampedTargetOneTileInside) {
    Unit& unit = walker(2, 5, 5, 0, 0);
    const int expected[][2] = {{4, 4}, {3, 3}, {2, 2}, {1, 1}};
    for (const auto& tile : expected) {
        ASSERT_EQ(unit.order, order_move);
        visit_first_slice();
        EXPECT_EQ(unit.tile_x, tile[0]);
        EXPECT_EQ(unit.tile_y, tile[1]);
    }
    EXPECT_EQ(unit.order, order_idle);
    visit_first_slice();
    EXPECT_EQ(unit.tile_x, 1);
}

TEST_F(UnitsTest, AMoveToTheUnitsOwnTileEndsAtItsNextVisit) {
    Unit& unit = walker(2, 20, 20, 20, 20);
    visit_first_slice();
    EXPECT_EQ(unit.order, order_idle);
    EXPECT_EQ(unit.tile_x, 20);
    EXPECT_EQ(unit.tile_y, 20);
}

TEST_F(UnitsTest, BlowsAreStruckAtManhattanDistanceTwoNotThree) {
    // Diagonal neighbours: the attacker stays put and strikes.
    Unit& target = place_unit(5, owner_computer, 36, 11, 11);
    Unit& a = attacker(2, 10, 10, 5);
    a.attack = 6;
    target.attack = 8;
    rng::srand(1);
    const int first = rng::rand(), second = rng::rand();
    rng::srand(1);
    visit_first_slice();
    EXPECT_EQ(a.tile_x, 10);
    EXPECT_EQ(a.tile_y, 10);
    EXPECT_EQ(target.hp, 30.0f - blow(first, 6));
    EXPECT_EQ(a.hp, 30.0f - blow(second, 8));
    EXPECT_EQ(a.order, order_attack);

    // Four tiles away: one step leaves three, out of reach.
    target.tile_x = 14;
    target.tile_y = 10;
    const float target_hp = target.hp;
    const uint32_t state = rng::state();
    visit_first_slice();
    EXPECT_EQ(a.tile_x, 11);
    EXPECT_EQ(a.tile_y, 10);
    EXPECT_EQ(target.hp, target_hp);
    EXPECT_EQ(rng::state(), state);

    // Two tiles in a row: a step, then a blow from the neighbouring tile.
    target.tile_x = 13;
    visit_first_slice();
    EXPECT_EQ(a.tile_x, 12);
    EXPECT_NE(rng::state(), state);
}

TEST_F(UnitsTest, BothUnitsCanDieInOneExchangeAndTheSelectionReturnsToTheLeader) {
    Unit& a = attacker(2, 10, 10, 5);
    Unit& t = place_unit(5, owner_computer, 38, 11, 10);
    a.attack = t.attack = 2;
    a.hp = t.hp = 0.005f;
    t.order = order_attack;
    t.target_unit = 2;
    selected_unit = 2;
    rng::srand(1);  // draws 41 and 18467: blows of 0.01 and 0.07
    exchange_blows(2, 5);
    EXPECT_EQ(t.dead, 1);
    EXPECT_EQ(a.dead, 1);
    EXPECT_EQ(t.hp, 0.0f);
    EXPECT_EQ(a.hp, 0.0f);
    EXPECT_EQ(a.order, order_idle);
    EXPECT_EQ(t.order, order_idle);
    EXPECT_EQ(selected_unit, 0);
    // The dead keep their slot, owner and tile.
    EXPECT_EQ(a.active, 1);
    EXPECT_EQ(t.owner, owner_computer);
    EXPECT_EQ(t.tile_x, 11);
}

TEST_F(UnitsTest, KillingTheSelectedTargetAlsoReturnsTheSelectionToTheLeader) {
    attacker(2, 10, 10, 5).attack = 2;
    Unit& t = place_unit(5, owner_player, 38, 11, 10);
    t.hp = 0.005f;
    selected_unit = 5;
    rng::srand(1);
    exchange_blows(2, 5);
    EXPECT_EQ(t.dead, 1);
    EXPECT_EQ(selected_unit, 0);
}

TEST_F(UnitsTest, ATargetAlreadyDeadIsStruckOnceAndStillStrikesBack) {
    Unit& t = place_unit(5, owner_computer, 36, 12, 10);
    t.dead = 1;
    t.hp = 0.0f;
    t.attack = 8;
    Unit& a = attacker(2, 10, 10, 5);
    rng::srand(1);
    rng::rand();
    const int counter = rng::rand();
    rng::srand(1);
    visit_first_slice();
    EXPECT_EQ(a.tile_x, 11);
    EXPECT_EQ(t.hp, 0.0f);
    EXPECT_EQ(a.order, order_idle);
    EXPECT_EQ(a.hp, 30.0f - blow(counter, 8));
    const uint32_t state = rng::state();
    visit_first_slice();
    EXPECT_EQ(rng::state(), state) << "no order, no more blows";
}

TEST_F(UnitsTest, AWorkerWalksToItsMineWithoutBlowsAndWaitsBesideIt) {
    place_unit(6, owner_neutral, kind_mine, 14, 10);
    Unit& worker = place_unit(2, owner_computer, 30, 10, 10);
    worker.order = order_gather;
    worker.target_unit = 6;
    const uint32_t state = rng::state();
    for (int visit = 0; visit < 5; ++visit) visit_first_slice();
    EXPECT_EQ(worker.tile_x, 13);
    EXPECT_EQ(worker.tile_y, 10);
    EXPECT_EQ(worker.order, order_gather);
    EXPECT_EQ(unit_table[6].hp, 120.0f);
    EXPECT_EQ(rng::state(), state);
}

TEST_F(UnitsTest, AnOrderNamingNoSlotIsDroppedInsteadOfReadOutsideTheTable) {
    Unit& a = attacker(2, 10, 10, -1);
    Unit& w = place_unit(3, owner_computer, 30, 10, 12);
    w.order = order_gather;
    w.target_unit = 300;
    visit_first_slice();
    EXPECT_EQ(a.order, order_idle);
    EXPECT_EQ(w.order, order_idle);
    EXPECT_EQ(a.tile_x, 10);
}
