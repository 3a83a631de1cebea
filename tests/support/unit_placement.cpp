#include "tests/support/unit_placement.h"

#include "world/unit_kinds.h"
#include "world/world_arrays.h"

Unit& place_unit(int slot, int owner, int kind, int x, int y) {
    Unit& unit = unit_table[slot];
    unit.active = 1;
    unit.owner = owner;
    unit.kind = static_cast<uint16_t>(kind);
    unit.tile_x = static_cast<uint16_t>(x);
    unit.tile_y = static_cast<uint16_t>(y);
    unit.mobility = kind == kind_mine ? 2 : 1;
    unit.max_hp = unit.hp = kind_max_hp(kind);
    unit.attack = 4;
    unit.gold = 1.0f;
    return unit;
}
