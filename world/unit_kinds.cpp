#include "world/unit_kinds.h"

namespace {

struct KindNumbers {
    float max_hp;
    int attack;
    int recruit_divisor;
};

// Creature kinds 30 to 44, in kind order.
const KindNumbers creature_numbers[creature_kind_count] = {
    {30.0f, 6, 7},   // 30 mage_eye
    {25.0f, 4, 7},   // 31 floating_eye
    {40.0f, 8, 11},  // 32 minotor
    {60.0f, 10, 19}, // 33 dragon
    {50.0f, 6, 9},   // 34 medusa
    {30.0f, 8, 10},  // 35 mantis
    {30.0f, 8, 8},   // 36 ogre
    {25.0f, 5, 7},   // 37 squeletton_floating
    {15.0f, 2, 7},   // 38 serpent_fire
    {20.0f, 3, 7},   // 39 rust_monster
    {28.0f, 4, 10},  // 40 giant_worm
    {10.0f, 2, 6},   // 41 squeletton
    {40.0f, 9, 21},  // 42 dragon_basilic
    {80.0f, 14, 26}, // 43 dragon_hydra
    {25.0f, 12, 13}, // 44 catapult
};

bool is_creature(int kind) { return kind >= kind_first_creature && kind <= kind_last_creature; }

}  // namespace

float kind_max_hp(int kind) {
    if (is_creature(kind)) return creature_numbers[kind - kind_first_creature].max_hp;
    if (kind == kind_mage) return 20.0f;
    if (kind == kind_mine) return 120.0f;
    return 0.0f;
}

int kind_attack(int kind) {
    if (is_creature(kind)) return creature_numbers[kind - kind_first_creature].attack;
    return 0;
}

int kind_recruit_divisor(int kind) {
    if (is_creature(kind)) return creature_numbers[kind - kind_first_creature].recruit_divisor;
    if (kind == kind_mine) return 60;
    return 0;
}
