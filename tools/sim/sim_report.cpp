#include "tools/sim/sim_report.h"

#include <cmath>
#include <cstring>

#include "world/game_state.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {
Unit previous_units[max_units];
bool have_previous = false;
char invariant_text[256];
}  // namespace

bool write_unit_dump(const char* path) {
    std::FILE* file = std::fopen(path, "w");
    if (!file) return false;
    for (int i = 0; i < max_units / 3; ++i) {
        const Unit& u = unit_table[i];
        std::fprintf(file, "%d %d %d %d %d %d %d %.2f %.2f %.2f %d %d\n", i, u.active, u.owner, u.tile_x, u.tile_y,
                     u.kind, u.order, u.hp, u.max_hp, u.gold, u.dead, u.attack);
    }
    return std::fclose(file) == 0;
}

void remember_units() {
    std::memcpy(previous_units, unit_table, sizeof previous_units);
    have_previous = true;
}

const char* broken_invariant() {
    for (int side = 0; side < side_count; ++side) {
        if (selected_unit[side] < 0 || selected_unit[side] >= max_units) {
            std::snprintf(invariant_text, sizeof invariant_text, "side %d's selected_unit %d outside the table",
                          side, selected_unit[side]);
            return invariant_text;
        }
    }
    for (int slot = 0; slot < 2; ++slot) {
        if (!(unit_table[slot].gold >= 0.0f)) {
            std::snprintf(invariant_text, sizeof invariant_text, "treasury %d is %.2f", slot, unit_table[slot].gold);
            return invariant_text;
        }
    }
    for (int i = 0; i < max_units; ++i) {
        const Unit& u = unit_table[i];
        if (!u.active) continue;
        if (!(u.hp >= 0.0f && u.hp <= u.max_hp)) {
            std::snprintf(invariant_text, sizeof invariant_text, "unit %d has %.2f of %.2f hp", i, u.hp, u.max_hp);
            return invariant_text;
        }
        if (u.tile_x >= map_size || u.tile_y >= map_size) {
            std::snprintf(invariant_text, sizeof invariant_text, "unit %d off the map at %d,%d", i, u.tile_x, u.tile_y);
            return invariant_text;
        }
        if (u.kind == kind_mine && !(u.gold >= 0.0f)) {
            std::snprintf(invariant_text, sizeof invariant_text, "mine %d holds %.2f gold", i, u.gold);
            return invariant_text;
        }
        if (!have_previous) continue;
        const Unit& before = previous_units[i];
        if (before.active && before.dead &&
            (!u.dead || u.owner != before.owner || u.tile_x != before.tile_x || u.tile_y != before.tile_y)) {
            std::snprintf(invariant_text, sizeof invariant_text,
                          "dead unit %d changed: owner %d->%d tile %d,%d->%d,%d dead %d", i, before.owner, u.owner,
                          before.tile_x, before.tile_y, u.tile_x, u.tile_y, u.dead);
            return invariant_text;
        }
    }
    for (int i = max_units / 3; i < max_units; ++i) {
        if (unit_table[i].active) {
            std::snprintf(invariant_text, sizeof invariant_text, "empty slot %d came to life", i);
            return invariant_text;
        }
    }
    return nullptr;
}
