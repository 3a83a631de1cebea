#include "game/economy.h"

#include <cstdlib>

#include "game/commands.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

constexpr float base_income = 0.5f;
constexpr float owned_mine_payment = 5.0f;
constexpr float nearby_payment = 1.0f;
constexpr int mine_reach = 5;
constexpr int nearby_paid_per_tick = 5;
constexpr float computer_recruit_reserve = 30.0f;
constexpr int computer_recruit_attempts = 3;
constexpr int candidate_search_draws = 100;

Unit& leader_of(const Unit& unit) { return unit_table[unit.owner]; }

bool within_reach(const Unit& a, const Unit& b) {
    return std::abs(a.tile_x - b.tile_x) + std::abs(a.tile_y - b.tile_y) <= mine_reach;
}

bool is_empire_unit(const Unit& unit) { return unit.owner == owner_player || unit.owner == owner_computer; }

// An owned mine pays its empire while that empire's leader lives and the
// mine holds enough; true when it did.
bool pay_owner(Unit& mine) {
    if (!is_empire_unit(mine) || mine.gold < owned_mine_payment) return false;
    Unit& leader = leader_of(mine);
    if (leader.dead) return false;
    leader.gold += owned_mine_payment;
    mine.gold -= owned_mine_payment;
    return true;
}

// Otherwise the mine pays 1 to the treasury of each of the first five living
// empire units near it, of either empire. A computer unit on its way to a mine
// is marked as mining when paid, and unmarked once the mine is empty.
void pay_nearby_units(int m) {
    Unit& mine = unit_table[m];
    int paid = 0;
    for (int j = 0; j < max_units; ++j) {
        Unit& unit = unit_table[j];
        if (!unit.active || !within_reach(unit, mine)) continue;
        const bool living_empire_unit = j != m && is_empire_unit(unit) && !unit.dead;
        if (living_empire_unit && mine.gold >= nearby_payment) {
            leader_of(unit).gold += nearby_payment;
            mine.gold -= nearby_payment;
            if (unit.owner == owner_computer && unit.order == order_gather) unit.mining = 1;
            ++paid;
        }
        if (living_empire_unit && mine.gold == 0.0f && unit.owner == owner_computer) unit.mining = 0;
        if (paid >= nearby_paid_per_tick) break;
    }
}

void pay_mines() {
    for (int i = 0; i < max_units; ++i) {
        Unit& mine = unit_table[i];
        // An empty slot takes part in no rule, whatever kind it last held.
        if (mine.kind != kind_mine || !mine.active) continue;
        if (!pay_owner(mine)) pay_nearby_units(i);
    }
}

bool is_recruit_candidate(const Unit& unit) {
    return unit.active && unit.owner == owner_neutral && !unit.dead && unit.kind != kind_mine;
}

// Up to 100 random slots anywhere on the map; -1 when none was a candidate.
int find_recruit_candidate() {
    for (int draw = 0; draw < candidate_search_draws; ++draw) {
        const int r = rng::rand() % max_units;
        if (is_recruit_candidate(unit_table[r])) return r;
    }
    return -1;
}

}  // namespace

// Income is paid whether or not the leaders live.
void economy_tick() {
    unit_table[owner_player].gold += base_income;
    unit_table[owner_computer].gold += base_income;
    pay_mines();
}

// The reserve is tested once, so the three attempts spend at most 30; an
// attempt whose search finds nobody costs nothing.
void computer_recruit() {
    if (unit_table[owner_computer].gold < computer_recruit_reserve) return;
    for (int attempt = 0; attempt < computer_recruit_attempts; ++attempt) {
        const int candidate = find_recruit_candidate();
        if (candidate >= 0) recruit_attempt(candidate, owner_computer);
    }
}
