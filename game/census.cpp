#include "game/census.h"

#include "app/input_state.h"
#include "world/game_state.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

// The jump puts the counted unit this many tiles up and right of the view centre.
constexpr int jump_offset = 10;

// Mines do not count: a side that owns only mines has lost.
bool counts_for(const Unit& unit, int empire) {
    return unit.owner == empire && unit.active && !unit.dead && unit.kind != kind_mine;
}

// Counts the empire's living units in index order; while the jump key is down,
// the first of them (by index) becomes the view's reference, once per census.
int count_empire(int empire, int jump_key) {
    int count = 0;
    bool jumped = false;
    for (int i = 0; i < max_units; ++i) {
        const Unit& unit = unit_table[i];
        if (!counts_for(unit, empire)) continue;
        ++count;
        if (jumped || !key_down(jump_key)) continue;
        map_sx = unit.tile_x - jump_offset;
        map_sy = unit.tile_y - jump_offset;
        jumped = true;
    }
    return count;
}

}  // namespace

// The flags are only ever set here; a new game clears them.
void census() {
    const int player_units = count_empire(owner_player, vk_backspace);
    const int computer_units = count_empire(owner_computer, vk_0);
    if (player_units == 0) empire_1_won = 1;
    if (computer_units == 0) empire_0_won = 1;
    if (player_units == 0 && computer_units == 0) tie = 1;
}
