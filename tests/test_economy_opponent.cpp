// Gold and the computer's play: base income, mines, the computer's recruiting,
// and its raids, recalls and workers, on the real table with a seeded generator.
#include <gtest/gtest.h>

#include "game/economy.h"
#include "game/opponent.h"
#include "game/unit_walks.h"
#include "platform/headless/headless_platform.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"
#include "tests/support/unit_placement.h"

namespace {

class EconomyTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        ASSERT_TRUE(alloc_world());
        place_unit(0, owner_player, kind_mage, 2, 2);
        place_unit(1, owner_computer, kind_mage, 61, 61);
        unit_table[0].gold = 1000.0f;
        unit_table[1].gold = 1000.0f;
        frame_counter = 1;
    }
    void TearDown() override { free_world(); }

    static Unit& place_mine(int slot, int owner, int x, int y, float gold) {
        Unit& mine = place_unit(slot, owner, kind_mine, x, y);
        mine.gold = gold;
        return mine;
    }

    // The number of draws the generator makes while body runs.
    template <typename Body>
    static int draws_made(Body body) {
        const uint32_t before = rng::state();
        body();
        const uint32_t after = rng::state();
        rng::srand(before);
        int draws = 0;
        while (rng::state() != after && draws < 100000) {
            rng::rand();
            ++draws;
        }
        rng::srand(after);
        return draws;
    }

    // A seed whose first draw, modulo divisor, is (or is not) 1.
    static uint32_t seed_where_first_draw(int divisor, bool is_one) {
        for (uint32_t seed = 1;; ++seed) {
            rng::srand(seed);
            if ((rng::rand() % divisor == 1) == is_one) return seed;
        }
    }
};

bool is_player_unit(const Unit& unit) { return unit.active && unit.owner == owner_player; }

}  // namespace

TEST_F(EconomyTest, WithoutMinesEachTreasuryGrowsByHalfAGoldPerTickEvenWhenItsLeaderIsDead) {
    unit_table[1].dead = 1;
    for (int tick = 0; tick < 4; ++tick) economy_tick();
    EXPECT_EQ(unit_table[0].gold, 1002.0f);
    EXPECT_EQ(unit_table[1].gold, 1002.0f);
}

TEST_F(EconomyTest, NeutralMinePaysOneToEachOfTheFirstFiveLivingEmpireUnitsNearIt) {
    Unit& mine = place_mine(10, owner_neutral, 30, 30, 100.0f);
    place_unit(3, owner_neutral, 30, 30, 31);   // neutrals are not paid
    place_unit(4, owner_player, 30, 35, 30);    // distance 5: paid
    place_unit(5, owner_computer, 30, 33, 33);  // distance 6: too far
    place_unit(6, owner_computer, 30, 27, 28);  // paid, into the computer's treasury
    place_unit(7, owner_player, 30, 30, 30).dead = 1;
    place_unit(8, owner_player, 30, 30, 29);
    place_unit(9, owner_player, 30, 31, 30);
    place_unit(11, owner_computer, 30, 29, 30);
    place_unit(12, owner_player, 30, 30, 30);  // the sixth: nothing left for it this tick
    place_unit(13, owner_player, 30, 30, 30).active = 0;
    economy_tick();
    EXPECT_EQ(mine.gold, 95.0f);
    EXPECT_EQ(unit_table[0].gold, 1000.5f + 3.0f);  // units 4, 8 and 9
    EXPECT_EQ(unit_table[1].gold, 1000.5f + 2.0f);  // units 6 and 11
}

TEST_F(EconomyTest, ANearlyEmptyMinePaysWhatItHoldsAndStopsAtZero) {
    Unit& mine = place_mine(10, owner_neutral, 30, 30, 3.0f);
    for (int slot = 20; slot < 24; ++slot) place_unit(slot, owner_player, 30, 31, 31);
    economy_tick();
    EXPECT_EQ(mine.gold, 0.0f);
    EXPECT_EQ(unit_table[0].gold, 1003.5f);
    economy_tick();
    EXPECT_EQ(mine.gold, 0.0f);
    EXPECT_EQ(unit_table[0].gold, 1004.0f);
}

TEST_F(EconomyTest, AGatheringComputerUnitIsMarkedWhenPaidAndUnmarkedByTheLastGold) {
    Unit& rich = place_mine(10, owner_neutral, 10, 10, 50.0f);
    Unit& worker = place_unit(20, owner_computer, 30, 11, 11);
    worker.order = order_gather;
    worker.target_unit = 10;
    Unit& idle = place_unit(21, owner_computer, 30, 11, 11);
    economy_tick();
    EXPECT_EQ(worker.mining, 1);
    EXPECT_EQ(idle.mining, 0) << "only a unit under a gather order is marked";
    EXPECT_EQ(rich.gold, 48.0f);

    // The last gold: marked and unmarked in the same step.
    Unit& poor = place_mine(30, owner_neutral, 50, 50, 1.0f);
    Unit& late = place_unit(31, owner_computer, 50, 51, 50);
    late.order = order_gather;
    late.target_unit = 30;
    economy_tick();
    EXPECT_EQ(poor.gold, 0.0f);
    EXPECT_EQ(late.mining, 0);
    // Standing by an empty mine unmarks a unit that was paid before.
    worker.tile_x = 50;
    worker.tile_y = 49;
    rich.gold = 0.0f;
    economy_tick();
    EXPECT_EQ(worker.mining, 0);
}

TEST_F(EconomyTest, AnOwnedMinePaysFiveToItsLivingLeaderThenItsRemainderToUnitsNearby) {
    Unit& mine = place_mine(10, owner_player, 30, 30, 7.0f);
    place_unit(20, owner_computer, 30, 30, 31);
    place_unit(21, owner_player, 30, 31, 30);
    place_unit(22, owner_player, 30, 32, 30);
    economy_tick();
    EXPECT_EQ(mine.gold, 2.0f);
    EXPECT_EQ(unit_table[0].gold, 1005.5f);
    EXPECT_EQ(unit_table[1].gold, 1000.5f);
    economy_tick();
    EXPECT_EQ(mine.gold, 0.0f);
    EXPECT_EQ(unit_table[0].gold, 1007.0f);  // unit 21
    EXPECT_EQ(unit_table[1].gold, 1002.0f);  // unit 20
}

TEST_F(EconomyTest, AnOwnedMineWhoseLeaderIsDeadStillPaysTheUnitsNearIt) {
    Unit& mine = place_mine(10, owner_player, 30, 30, 100.0f);
    unit_table[0].dead = 1;
    place_unit(21, owner_player, 30, 31, 30);
    economy_tick();
    EXPECT_EQ(mine.gold, 99.0f);
    EXPECT_EQ(unit_table[0].gold, 1001.5f);
}

TEST_F(EconomyTest, AnEmptySlotThatOnceHeldAMinePaysNothing) {
    place_mine(200, owner_neutral, 30, 30, 100.0f).active = 0;
    place_unit(21, owner_player, 30, 31, 30);
    economy_tick();
    EXPECT_EQ(unit_table[0].gold, 1000.5f);
}

TEST_F(EconomyTest, TheComputerMakesThreeAttemptsAndSpendsAtMostThirty) {
    for (int slot = 2; slot < 85; ++slot) place_unit(slot, owner_neutral, 43, slot % 60 + 1, 10);
    rng::srand(7);
    computer_recruit();
    EXPECT_EQ(unit_table[1].gold, 970.0f);

    unit_table[1].gold = 30.0f;
    computer_recruit();
    EXPECT_EQ(unit_table[1].gold, 0.0f) << "the reserve is tested once, before the first attempt";

    unit_table[1].gold = 29.5f;
    EXPECT_EQ(draws_made([] { computer_recruit(); }), 0);
    EXPECT_EQ(unit_table[1].gold, 29.5f);
}

TEST_F(EconomyTest, ARecruitingSearchThatFindsNobodyCostsNothing) {
    place_mine(40, owner_neutral, 30, 30, 100.0f);  // mines are never candidates
    place_unit(41, owner_neutral, 30, 31, 30).dead = 1;
    EXPECT_EQ(draws_made([] { computer_recruit(); }), 300);
    EXPECT_EQ(unit_table[1].gold, 1000.0f);
}

TEST_F(EconomyTest, ComputerRecruitingDrawsASlotThenTheKindsChance) {
    for (int slot = 2; slot < 85; ++slot) place_unit(slot, owner_neutral, 41, slot % 60 + 1, 10);  // 1 in 6
    const uint32_t seed = 99;
    // Replay the draws: a slot is a candidate when it lies in 2..84.
    rng::srand(seed);
    int expected_recruits[3] = {-1, -1, -1};
    auto already_recruited = [&](int slot) {
        for (int recruit : expected_recruits)
            if (recruit == slot) return true;
        return false;
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        int slot;
        do slot = rng::rand() % max_units;
        while (slot < 2 || slot >= 85 || already_recruited(slot));
        if (rng::rand() % 6 == 1) expected_recruits[attempt] = slot;
    }
    rng::srand(seed);
    computer_recruit();
    for (int slot : expected_recruits)
        if (slot >= 0) {
            EXPECT_EQ(unit_table[slot].owner, owner_computer);
            EXPECT_EQ(unit_table[slot].order, order_idle);
        }
}

TEST_F(EconomyTest, TheKthUnitWalkCountsFromIndexZero) {
    place_unit(5, owner_player, 30, 1, 1);
    place_unit(9, owner_player, 30, 1, 1);
    place_unit(10, owner_computer, 30, 1, 1);
    EXPECT_EQ(count_units(is_player_unit), 3);
    EXPECT_EQ(kth_unit(is_player_unit, 1), 0);
    EXPECT_EQ(kth_unit(is_player_unit, 3), 9);
    EXPECT_EQ(kth_unit(is_player_unit, 4), -1);
    EXPECT_EQ(kth_unit(is_player_unit, 0), -1);
}

TEST_F(EconomyTest, NoRaidOrRecallBeforeFrame1501OnlyTheirFirstDraws) {
    for (int slot = 2; slot < 12; ++slot) place_unit(slot, owner_computer, 30, 40, 40).order = order_move;
    unit_table[1].order = order_move;  // no idle worker: mining draws nothing
    place_unit(20, owner_player, 30, 10, 10);
    for (int frame : {1, 501, 1001, 1501 - 1}) {
        frame_counter = frame;
        for (uint32_t seed = 1; seed < 40; ++seed) {
            rng::srand(seed);
            ASSERT_EQ(draws_made([] { computer_strategy(); }), 2) << "frame " << frame << " seed " << seed;
            ASSERT_EQ(count_units([](const Unit& u) { return u.order == order_attack; }), 0);
        }
    }
}

TEST_F(EconomyTest, ARaidSendsTheKthEligibleComputerUnitAfterTheKthPlayerUnit) {
    for (int slot = 2; slot < 10; ++slot) place_unit(slot, owner_computer, 30, 40, 40).order = order_move;
    unit_table[1].order = order_move;
    unit_table[3].order = order_attack;  // already attacking: not a raider
    unit_table[3].target_unit = 0;
    unit_table[4].mining = 1;  // left to its work
    unit_table[5].dead = 1;
    place_unit(20, owner_player, 30, 10, 10);
    place_mine(21, owner_player, 12, 10, 100.0f);  // the player's mines are victims too
    place_unit(22, owner_player, 30, 10, 10).dead = 1;
    frame_counter = 1501;
    const int raiders[] = {1, 2, 6, 7, 8, 9};
    const int victims[] = {0, 20, 21};

    // A seed that raids and does not recall; replay its draws.
    uint32_t seed = 1;
    int raider = -1, victim = -1;
    for (;; ++seed) {
        rng::srand(seed);
        if (rng::rand() % 4 != 1) continue;
        raider = raiders[rng::rand() % 6];
        victim = victims[rng::rand() % 3];
        if (rng::rand() % 25 != 1) break;
    }
    rng::srand(seed);
    computer_strategy();
    EXPECT_EQ(unit_table[raider].order, order_attack);
    EXPECT_EQ(unit_table[raider].target_unit, victim);
    EXPECT_EQ(count_units([](const Unit& u) { return u.order == order_attack; }), 2);
}

TEST_F(EconomyTest, ARecallPullsAnyNonAttackingUnitMiningOrNotAndClearsItsMark) {
    // Only mining units remain: the raid finds no raider, the recall does.
    unit_table[1].dead = 1;
    Unit& miner = place_unit(30, owner_computer, 30, 40, 40);
    miner.order = order_gather;
    miner.mining = 1;
    place_unit(20, owner_player, 30, 10, 10);
    frame_counter = 3001;
    uint32_t seed = 1;
    for (;; ++seed) {
        rng::srand(seed);
        if (rng::rand() % 4 == 1) continue;  // no raid
        if (rng::rand() % 25 == 1) break;
    }
    rng::srand(seed);
    computer_strategy();
    EXPECT_EQ(miner.order, order_attack);
    EXPECT_EQ(miner.mining, 0);
    EXPECT_TRUE(miner.target_unit == 0 || miner.target_unit == 20);
}

TEST_F(EconomyTest, AnIdleComputerUnitIsSentToANeutralMineThatStillHoldsGold) {
    place_unit(2, owner_computer, 30, 40, 40).mining = 1;  // idle but mining: not a worker
    place_unit(3, owner_computer, 30, 40, 40).order = order_move;
    place_mine(10, owner_neutral, 20, 20, 0.0f);  // empty
    place_mine(11, owner_player, 20, 25, 50.0f);  // owned
    place_mine(12, owner_neutral, 20, 30, 50.0f);
    place_mine(13, owner_neutral, 20, 35, 50.0f).dead = 1;
    place_mine(14, owner_neutral, 20, 40, 1.0f);
    frame_counter = 1;
    const uint32_t seed = seed_where_first_draw(4, false);
    // Raid draw, recall draw, then the worker among {1} and the mine among {12, 14}.
    rng::srand(seed);
    rng::rand();
    rng::rand();
    rng::rand();
    const int mine = rng::rand() % 2 == 0 ? 12 : 14;
    rng::srand(seed);
    EXPECT_EQ(draws_made([] { computer_strategy(); }), 4);
    EXPECT_EQ(unit_table[1].order, order_gather);
    EXPECT_EQ(unit_table[1].target_unit, mine);
    EXPECT_EQ(unit_table[2].order, order_idle);
}

TEST_F(EconomyTest, WithoutAnIdleWorkerNoMineIsDrawn) {
    unit_table[1].order = order_move;
    place_mine(12, owner_neutral, 20, 30, 50.0f);
    frame_counter = 1;
    rng::srand(seed_where_first_draw(4, false));
    EXPECT_EQ(draws_made([] { computer_strategy(); }), 2);
}
