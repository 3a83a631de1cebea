#include "game/unit_walks.h"

#include "world/world_arrays.h"

int count_units(UnitTest test) {
    int count = 0;
    for (int i = 0; i < max_units; ++i)
        if (test(unit_table[i])) ++count;
    return count;
}

int kth_unit(UnitTest test, int k) {
    if (k < 1) return -1;
    int count = 0;
    for (int i = 0; i < max_units; ++i) {
        if (!test(unit_table[i])) continue;
        if (++count == k) return i;
    }
    return -1;
}
