#include "game/units.h"

#include <cstdlib>

#include "path/path_queries.h"
#include "path/path_search.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/world_arrays.h"

namespace {

constexpr int slice_width = 8;
// 33 slices of 8 cover 264 slots, so every slot of the table comes up once
// every 33 frames and one frame in 33 updates nobody.
constexpr int slices_per_cycle = 33;
constexpr int search_window = 64;
constexpr int wander_range = 64;
// Blows are struck up to Manhattan distance 2: a diagonal neighbour, which
// the attacker never steps onto, is in reach.
constexpr int strike_reach = 3;
constexpr uint16_t mobile = 1;

bool valid_unit(int index) { return index >= 0 && index < max_units; }

int manhattan(const Unit& a, const Unit& b) {
    return std::abs(a.tile_x - b.tile_x) + std::abs(a.tile_y - b.tile_y);
}

// After a step, the order ends when the unit stands on the target of the
// search just run, which the search clamped inside the map's outer ring.
void take_step(Unit& unit) {
    unit.tile_x = unit.next_x;
    unit.tile_y = unit.next_y;
    if (unit.tile_x == path_search->target_x && unit.tile_y == path_search->target_y) unit.order = order_idle;
}

void move_step(int i) {
    Unit& unit = unit_table[i];
    if (unit.order != order_move || unit.mobility != mobile) return;
    if (path_step_to_cell(i, unit.goal_x, unit.goal_y, search_window) == 1) take_step(unit);
}

// The attacker walks toward its target and strikes when close, whatever the
// query said: a target already dead is still struck once.
void attack_step(int i) {
    Unit& unit = unit_table[i];
    if (unit.order != order_attack || unit.mobility != mobile) return;
    if (!valid_unit(unit.target_unit)) {
        unit.order = order_idle;  // nothing to attack: stand instead of reading outside the table
        return;
    }
    const int t = unit.target_unit;
    const Unit& target = unit_table[t];
    if (path_step_to_unit(i, target.tile_x, target.tile_y, search_window) == 1) take_step(unit);
    if (manhattan(unit, target) < strike_reach) exchange_blows(i, t);
}

// The gold itself is paid by the economy whenever the unit is near the mine.
void mine_step(int i) {
    Unit& unit = unit_table[i];
    if (unit.order != order_gather || unit.mobility != mobile) return;
    if (!valid_unit(unit.target_unit)) {
        unit.order = order_idle;
        return;
    }
    const Unit& mine = unit_table[unit.target_unit];
    if (path_step_to_unit(i, mine.tile_x, mine.tile_y, search_window) == 1) take_step(unit);
}

// One blow: 0.00 up to attack / 10 - 0.01 hit points, in steps of 0.01.
float blow_damage(int attack) {
    const int spread = attack * 10;
    if (spread <= 0) return 0.0f;  // no unit is dealt so little, but never divide by it
    return static_cast<float>(rng::rand() % spread) / 100.0f;
}

// Each side's selection falls back to its own leader.
void forget_selection_of(int a, int t) {
    for (int side = 0; side < side_count; ++side) {
        if (selected_unit[side] == t) selected_unit[side] = side;
        if (selected_unit[side] == a) selected_unit[side] = side;
    }
}

void kill(Unit& victim, Unit& attacker, Unit& target, int a, int t) {
    victim.hp = 0.0f;
    victim.dead = 1;
    target.order = order_idle;
    attacker.order = order_idle;
    forget_selection_of(a, t);
}

}  // namespace

// Unit 0, the player's leader, is never sent wandering; mines are, and stand.
void wander_neutrals() {
    for (int i = 1; i < max_units; ++i) {
        Unit& unit = unit_table[i];
        if (!unit.active || unit.order != order_idle || unit.owner != owner_neutral) continue;
        unit.goal_x = static_cast<uint16_t>(rng::rand() % wander_range);
        unit.goal_y = static_cast<uint16_t>(rng::rand() % wander_range);
        unit.order = order_move;
    }
}

// Each step sees the order the one before it left: a unit that arrives on
// its move goal does not attack in the same visit.
void update_unit_slice() {
    const int first = (frame_counter % slices_per_cycle) * slice_width;
    for (int i = first; i < first + slice_width && i < max_units; ++i) {
        if (!unit_table[i].active) continue;
        move_step(i);
        attack_step(i);
        mine_step(i);
    }
}

// Two draws per exchange: the blow, then the counter-blow, which lands even
// when the blow has just killed the target (or it was dead already).
void exchange_blows(int a, int t) {
    Unit& attacker = unit_table[a];
    Unit& target = unit_table[t];
    target.hp -= blow_damage(attacker.attack);
    if (target.hp <= 0.0f) kill(target, attacker, target, a, t);
    attacker.hp -= blow_damage(target.attack);
    if (attacker.hp <= 0.0f) kill(attacker, attacker, target, a, t);
}
