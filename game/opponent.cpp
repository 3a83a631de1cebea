#include "game/opponent.h"

#include "game/unit_walks.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

// Raids and recalls wait for the opening to pass; mining does not.
constexpr int opening_frames = 1500;
constexpr int raid_odds = 4;
constexpr int recall_odds = 25;
constexpr float least_mine_gold = 1.0f;

bool living_computer_unit(const Unit& unit) {
    return unit.active && unit.owner == owner_computer && !unit.dead;
}

bool possible_raider(const Unit& unit) {
    return living_computer_unit(unit) && unit.order != order_attack && !unit.mining;
}

bool possible_recall(const Unit& unit) { return living_computer_unit(unit) && unit.order != order_attack; }

bool possible_worker(const Unit& unit) {
    return living_computer_unit(unit) && unit.order == order_idle && !unit.mining;
}

// The player's leader and the player's mines are victims like any other unit.
bool possible_victim(const Unit& unit) { return unit.active && unit.owner == owner_player && !unit.dead; }

bool open_neutral_mine(const Unit& unit) {
    return unit.kind == kind_mine && unit.owner == owner_neutral && unit.active && !unit.dead &&
           unit.gold >= least_mine_gold;
}

// One random pick among the units that meet the test: -1, without a draw,
// when none does.
int pick_at_random(UnitTest test) {
    const int n = count_units(test);
    if (n < 1) return -1;
    return kth_unit(test, rng::rand() % n + 1);
}

// After the opening: a unit picked from the candidates attacks a random
// player unit. Victims are counted and drawn only once a unit was picked.
int pick_attacker(UnitTest test) {
    const int n = count_units(test);
    if (n < 1 || frame_counter <= opening_frames) return -1;
    return kth_unit(test, rng::rand() % n + 1);
}

void send_to_attack(int attacker) {
    const int victim = pick_at_random(possible_victim);
    if (victim < 0) return;
    unit_table[attacker].target_unit = static_cast<int16_t>(victim);
    unit_table[attacker].order = order_attack;
}

// Units already paid on the way to a mine are left to their work.
void raid() {
    if (rng::rand() % raid_odds != 1) return;
    const int raider = pick_attacker(possible_raider);
    if (raider < 0) return;
    send_to_attack(raider);
}

// Any unit not already attacking may be pulled off its mine.
void recall() {
    if (rng::rand() % recall_odds != 1) return;
    const int recalled = pick_attacker(possible_recall);
    if (recalled < 0) return;
    unit_table[recalled].mining = 0;
    send_to_attack(recalled);
}

// An idle unit not yet mining is sent to a random neutral mine that still
// holds gold; without a worker no mine is drawn.
void send_worker() {
    const int worker = pick_at_random(possible_worker);
    if (worker < 0) return;
    const int mine = pick_at_random(open_neutral_mine);
    if (mine < 0) return;
    unit_table[worker].target_unit = static_cast<int16_t>(mine);
    unit_table[worker].order = order_gather;
}

}  // namespace

void computer_strategy() {
    raid();
    recall();
    send_worker();
}
