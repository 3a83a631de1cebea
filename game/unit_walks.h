// Walks over the unit table in index order: counting the units that meet a
// test, and picking the k-th of them, the way the computer makes its choices.
#pragma once

#include "world/records.h"

// A test on one unit slot.
using UnitTest = bool (*)(const Unit& unit);

// How many slots from 0 upward meet the test.
int count_units(UnitTest test);
// The slot at which the count of units meeting the test reaches k (k from 1),
// or -1 when fewer than k meet it.
int kth_unit(UnitTest test, int k);
