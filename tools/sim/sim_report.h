// What the simulator writes: the unit table dump, the summary, and the
// invariants that every frame of a game must keep.
#pragma once

#include <cstdio>

#include "world/records.h"
#include "world/settings.h"

// One line per dealt slot: slot active owner tile_x tile_y kind order hp max_hp gold dead attack.
bool write_unit_dump(const char* path);

// Keeps a copy of the table to compare the next frame against.
void remember_units();
// Null when every invariant holds; otherwise a description of the first broken one.
const char* broken_invariant();
