// Units acting on their orders: wandering neutrals, the eight-slot update
// slice of each frame, and the exchange of blows.
#pragma once

void wander_neutrals();
void update_unit_slice();
void exchange_blows(int attacker, int target);
