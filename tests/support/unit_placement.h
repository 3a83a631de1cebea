// Rule tests set up their scenes by hand: a unit of a kind, with its
// kind's hit points, standing on a tile for an owner.
#pragma once

#include "world/records.h"

// Fills one slot as the deal would (mobility 2 for a mine, attack 4, gold
// 1.0) and returns it for further changes.
Unit& place_unit(int slot, int owner, int kind, int x, int y);
