// Gold and the computer's play: income, mines, the computer's recruiting,
// raids, recalls and workers, on the real table with pinned seeds.
#include <gtest/gtest.h>

#include "game/economy.h"
#include "game/opponent.h"
#include "tests/support/world_fixture.h"
#include "world/game_state.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

class Economy : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        place_unit(0, owner_player, kind_mage, 2, 2).gold = 1000.0f;
        place_unit(1, owner_computer, kind_mage, 61, 61).gold = 1000.0f;
        frame_counter = 1;
    }
    static Unit& mine(int slot, int owner, int x, int y, float gold) {
        Unit& unit = place_unit(slot, owner, kind_mine, x, y);
        unit.gold = gold;
        return unit;
    }
    static Unit& computer(int slot, uint16_t order, uint8_t mining = 0) {
        Unit& unit = place_unit(slot, owner_computer, 30, 40, 40);
        unit.order = order;
        unit.mining = mining;
        return unit;
    }
};

}  // namespace

// A neutral mine pays 1 to each of the first five living empire units
// within distance 5, into their own treasury; income is paid to a dead leader too.
TEST_F(Economy, NeutralMinePaysTheFirstFiveLivingEmpireUnitsNearIt) {
    unit_table[1].dead = 1;
    Unit& m = mine(10, owner_neutral, 30, 30, 100.0f);
    place_unit(3, owner_neutral, 30, 30, 31);
    place_unit(4, owner_player, 30, 35, 30);    // distance 5
    place_unit(5, owner_computer, 30, 33, 33);  // distance 6
    place_unit(6, owner_computer, 30, 27, 28);
    place_unit(7, owner_player, 30, 30, 30).dead = 1;
    place_unit(8, owner_player, 30, 30, 29);
    place_unit(9, owner_player, 30, 31, 30);
    place_unit(11, owner_computer, 30, 29, 30);
    place_unit(12, owner_player, 30, 30, 30);  // the sixth
    place_unit(13, owner_player, 30, 30, 30).active = 0;
    mine(200, owner_neutral, 2, 3, 100.0f).active = 0;  // an empty slot pays nothing
    economy_tick();
    EXPECT_EQ(m.gold, 95.0f);
    EXPECT_EQ(unit_table[0].gold, 1003.5f);
    EXPECT_EQ(unit_table[1].gold, 1002.5f);
}

TEST_F(Economy, AnOwnedMinePaysFiveToItsLivingLeaderThenItsLastGoldNearby) {
    Unit& m = mine(10, owner_player, 30, 30, 7.0f);
    place_unit(20, owner_computer, 30, 30, 31);
    place_unit(21, owner_player, 30, 31, 30);
    place_unit(22, owner_player, 30, 32, 30);
    const float expected[][3] = {{2.0f, 1005.5f, 1000.5f}, {0.0f, 1007.0f, 1002.0f}, {0.0f, 1007.5f, 1002.5f}};
    for (const auto& tick : expected) {
        economy_tick();
        EXPECT_EQ(m.gold, tick[0]);
        EXPECT_EQ(unit_table[0].gold, tick[1]);
        EXPECT_EQ(unit_table[1].gold, tick[2]);
    }
    m.gold = 100.0f;
    unit_table[0].dead = 1;  // a dead leader is not paid: the units near it are
    economy_tick();
    EXPECT_EQ(m.gold, 97.0f);
}

TEST_F(Economy, AGatheringComputerUnitIsMarkedWhenPaidAndUnmarkedByTheLastGold) {
    Unit& rich = mine(10, owner_neutral, 10, 10, 50.0f);
    Unit& worker = computer(20, order_gather);
    worker.tile_x = worker.tile_y = 11;
    Unit& idle = place_unit(21, owner_computer, 30, 11, 11);
    economy_tick();
    EXPECT_EQ(worker.mining, 1);
    EXPECT_EQ(idle.mining, 0);
    EXPECT_EQ(rich.gold, 48.0f);
    mine(30, owner_neutral, 50, 50, 1.0f);
    Unit& late = computer(31, order_gather);
    late.tile_x = late.tile_y = 50;
    economy_tick();
    EXPECT_EQ(late.mining, 0) << "marked and unmarked by the last gold";
    worker.tile_x = worker.tile_y = 49;
    economy_tick();
    EXPECT_EQ(worker.mining, 0) << "standing by an empty mine";
}

// Each attempt draws slots until a candidate, then the kind's chance: from
// seed 2, slot 63 joins and slots 45 and 44 stay neutral, in nine draws.
TEST_F(Economy, ComputerRecruitingMakesThreePaidAttemptsFromAReserveOfThirty) {
    for (int slot = 2; slot < 85; ++slot) place_unit(slot, owner_neutral, 41, slot % 60 + 1, 10);
    EXPECT_EQ(draws_made(2, computer_recruit), 9);
    EXPECT_EQ(unit_table[1].gold, 970.0f);
    for (int slot = 2; slot < 85; ++slot)
        EXPECT_EQ(unit_table[slot].owner, slot == 63 ? owner_computer : owner_neutral) << slot;
    unit_table[1].gold = 30.0f;
    computer_recruit();
    EXPECT_EQ(unit_table[1].gold, 0.0f) << "the reserve is tested once";
    unit_table[1].gold = 29.5f;
    EXPECT_EQ(draws_made(2, computer_recruit), 0);
    // No candidate (mines and the dead are none): 100 draws an attempt, free.
    for (int slot = 2; slot < 85; ++slot) unit_table[slot].dead = slot % 2;
    for (int slot = 2; slot < 85; slot += 2) unit_table[slot].kind = kind_mine;
    unit_table[1].gold = 1000.0f;
    EXPECT_EQ(draws_made(2, computer_recruit), 300);
    EXPECT_EQ(unit_table[1].gold, 1000.0f);
}

// Raiders: living, not attacking, not mining (1 2 6 7 8). Recalls: any not
// attacking. Victims: every living player unit, the mines too (0 20 21).
TEST_F(Economy, RaidsAndRecallsWaitForFrame1501ThenPickByTheirDraws) {
    unit_table[1].order = order_move;
    for (int slot : {2, 6, 7, 8}) computer(slot, order_move);
    computer(3, order_attack).target_unit = 0;
    computer(4, order_gather, 1);
    computer(5, order_move).dead = 1;
    computer(9, order_gather, 1);
    place_unit(20, owner_player, 30, 10, 10);
    mine(21, owner_player, 12, 10, 100.0f);
    place_unit(22, owner_player, 30, 10, 10).dead = 1;
    frame_counter = 1500;  // only the raid's and the recall's first draws
    EXPECT_EQ(draws_made(1330, computer_strategy), 2);
    EXPECT_EQ(unit_table[6].order, order_move);
    frame_counter = 1501;
    EXPECT_EQ(draws_made(1330, computer_strategy), 6);
    for (int slot = 1; slot < 10; ++slot) {
        const bool sent = slot == 3 || slot == 6 || slot == 9;
        EXPECT_EQ(unit_table[slot].order, sent ? order_attack : slot == 4 ? order_gather : order_move) << slot;
    }
    EXPECT_EQ(unit_table[6].target_unit, 21);
    EXPECT_EQ(unit_table[9].target_unit, 21);
    EXPECT_EQ(unit_table[9].mining, 0);
    EXPECT_EQ(unit_table[4].mining, 1);
}

// Workers: idle and not mining (1 6 7); mines: neutral, living, holding at
// least 1 (12 14). Seed 3 sends unit 1 to mine 14.
TEST_F(Economy, AnIdleWorkerIsSentToADrawnNeutralMineWithGold) {
    computer(2, order_idle, 1);
    computer(3, order_move);
    computer(6, order_idle);
    computer(7, order_idle);
    mine(10, owner_neutral, 20, 20, 0.0f);
    mine(11, owner_player, 20, 25, 50.0f);
    mine(12, owner_neutral, 20, 30, 50.0f);
    mine(13, owner_neutral, 20, 35, 50.0f).dead = 1;
    mine(14, owner_neutral, 20, 40, 1.0f);
    EXPECT_EQ(draws_made(3, computer_strategy), 4);
    for (int slot : {1, 2, 3, 6, 7})
        EXPECT_EQ(unit_table[slot].order, slot == 1 ? order_gather : slot == 3 ? order_move : order_idle) << slot;
    EXPECT_EQ(unit_table[1].target_unit, 14);
    // Without a worker no mine is drawn.
    for (int slot : {6, 7}) unit_table[slot].order = order_move;
    EXPECT_EQ(draws_made(3, computer_strategy), 2);
}
