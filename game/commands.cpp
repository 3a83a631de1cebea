#include "game/commands.h"

#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

constexpr float recruit_cost = 10.0f;

bool stands_on(const Unit& unit, int x, int y) { return unit.tile_x == x && unit.tile_y == y; }

uint16_t clamp_to_map(int value) {
    if (value < 0) return 0;
    if (value > map_size - 1) return map_size - 1;
    return static_cast<uint16_t>(value);
}

}  // namespace

bool recruit_attempt(int unit, int empire) {
    unit_table[empire].gold -= recruit_cost;
    Unit& candidate = unit_table[unit];
    const int divisor = kind_recruit_divisor(candidate.kind);
    if (divisor == 0) return false;  // leaders never join anyone
    if (rng::rand() % divisor != 1) return false;
    candidate.owner = empire;
    candidate.order = order_idle;
    return true;
}

// Every unit on the tile is handled: each neutral one costs its own draw,
// and the selection ends on the side's highest-indexed unit, including one
// that joined in this very pass.
void handle_left_button(int side, const SideCommand& command) {
    if (!command.has_cursor) return;
    const int x = command.cursor_x;
    const int y = command.cursor_y;
    for (int i = 0; i < max_units; ++i) {
        Unit& unit = unit_table[i];
        if (!unit.active || !stands_on(unit, x, y)) continue;
        if (unit.owner == owner_neutral && !unit.dead && unit_table[side].gold >= recruit_cost)
            recruit_attempt(i, side);
        if (unit.owner == side && !unit.dead) selected_unit[side] = i;
    }
}

// A move order to the clamped cursor tile, replaced by an attack order when a
// living unit of the other side stands on the unclamped tile (the
// highest-indexed one).
void handle_right_button(int side, const SideCommand& command) {
    if (!command.has_cursor) return;
    const int chosen_slot = selected_unit[side];
    if (chosen_slot < 0 || chosen_slot >= max_units) return;
    Unit& chosen = unit_table[chosen_slot];
    if (chosen.owner != side || chosen.dead) return;
    const int enemy = side == owner_player ? owner_computer : owner_player;
    const int x = command.cursor_x;
    const int y = command.cursor_y;
    chosen.goal_x = clamp_to_map(x);
    chosen.goal_y = clamp_to_map(y);
    chosen.order = order_move;
    for (int i = 0; i < max_units; ++i) {
        const Unit& unit = unit_table[i];
        if (!unit.active || !stands_on(unit, x, y)) continue;
        if (unit.owner != enemy || unit.dead) continue;
        chosen.target_unit = static_cast<int16_t>(i);
        chosen.order = order_attack;
    }
}
