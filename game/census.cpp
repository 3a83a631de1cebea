#include "game/census.h"

#include "world/game_state.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

// Mines do not count: a side that owns only mines has lost.
bool counts_for(const Unit& unit, int empire) {
    return unit.owner == empire && unit.active && !unit.dead && unit.kind != kind_mine;
}

int count_empire(int empire) {
    int count = 0;
    for (int i = 0; i < max_units; ++i)
        if (counts_for(unit_table[i], empire)) ++count;
    return count;
}

}  // namespace

// The flags are only ever set here; a new game clears them.
void census() {
    const int player_units = count_empire(owner_player);
    const int computer_units = count_empire(owner_computer);
    if (player_units == 0) empire_1_won = 1;
    if (computer_units == 0) empire_0_won = 1;
    if (player_units == 0 && computer_units == 0) tie = 1;
}

int first_counted_unit(int empire) {
    for (int i = 0; i < max_units; ++i)
        if (counts_for(unit_table[i], empire)) return i;
    return -1;
}
