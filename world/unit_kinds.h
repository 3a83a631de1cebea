// The per-kind numbers of units: hit points, attack and the recruiting divisor.
// A kind number is also the image slot of that kind's picture.
#pragma once

constexpr int kind_mage = 10;
constexpr int kind_first_creature = 30;
constexpr int kind_last_creature = 44;
constexpr int kind_mine = 90;
constexpr int creature_kind_count = 15;

// Maximum hit points of a kind; 0 for a number that is no kind.
float kind_max_hp(int kind);
// Attack of a creature kind; 0 for the mage, the mine and non-kinds,
// which keep the attack their slot was dealt.
int kind_attack(int kind);
// One recruiting draw on a unit of this kind succeeds when rand() % N == 1.
// 0 means the kind can never be recruited (the mage, non-kinds).
int kind_recruit_divisor(int kind);
