#include "game/commands.h"

#include "app/input_state.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

int32_t cursor_dx = 0;
int32_t cursor_dy = 0;

namespace {

constexpr float recruit_cost = 10.0f;
// The window maps onto a square of this many tiles around the view centre,
// whatever the camera does.
constexpr float cursor_span_tiles = 40.0f;
constexpr float cursor_half_span = 20.0f;

int cursor_tile_x() { return map_sx + cursor_dx; }
int cursor_tile_y() { return map_sy + cursor_dy; }

bool stands_on(const Unit& unit, int x, int y) { return unit.tile_x == x && unit.tile_y == y; }

uint16_t clamp_to_map(int value) {
    if (value < 0) return 0;
    if (value > map_size - 1) return map_size - 1;
    return static_cast<uint16_t>(value);
}

}  // namespace

// Single precision throughout, truncated toward zero: offset 0 covers the
// two middle fortieths of the window in each direction.
void update_cursor() {
    cursor_dx = cursor_offset_for_column(mouse_x);
    cursor_dy = cursor_offset_for_row(mouse_y);
}

int32_t cursor_offset_for_column(int32_t column) {
    return static_cast<int32_t>(static_cast<float>(column) / static_cast<float>(screen_width) * cursor_span_tiles -
                                cursor_half_span);
}

int32_t cursor_offset_for_row(int32_t row) {
    return static_cast<int32_t>(static_cast<float>(screen_height - row) / static_cast<float>(screen_height) *
                                    cursor_span_tiles -
                                cursor_half_span);
}

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
// and the selection ends on the highest-indexed player unit, including one
// that joined in this very pass.
void handle_left_button() {
    const int x = cursor_tile_x();
    const int y = cursor_tile_y();
    for (int i = 0; i < max_units; ++i) {
        Unit& unit = unit_table[i];
        if (!unit.active || !stands_on(unit, x, y)) continue;
        if (unit.owner == owner_neutral && !unit.dead && unit_table[owner_player].gold >= recruit_cost)
            recruit_attempt(i, owner_player);
        if (unit.owner == owner_player && !unit.dead) selected_unit = i;
    }
}

// A move order to the clamped cursor tile, replaced by an attack order when a
// living computer unit stands on the unclamped tile (the highest-indexed one).
void handle_right_button() {
    if (selected_unit < 0 || selected_unit >= max_units) return;
    Unit& chosen = unit_table[selected_unit];
    if (chosen.owner != owner_player || chosen.dead) return;
    const int x = cursor_tile_x();
    const int y = cursor_tile_y();
    chosen.goal_x = clamp_to_map(x);
    chosen.goal_y = clamp_to_map(y);
    chosen.order = order_move;
    for (int i = 0; i < max_units; ++i) {
        const Unit& unit = unit_table[i];
        if (!unit.active || !stands_on(unit, x, y)) continue;
        if (unit.owner != owner_computer || unit.dead) continue;
        chosen.target_unit = static_cast<int16_t>(i);
        chosen.order = order_attack;
    }
}
