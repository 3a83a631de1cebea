#include "world/new_game.h"

#include "platform/platform.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

const char* const new_game_sound_path = "sound/explosion3b.wav";
bool deal_sound_muted = false;

namespace {

constexpr int dealt_slots = max_units / 3;  // 85: slots 0 to 84
constexpr int mine_attempts = 5;
constexpr int first_mine_candidate = 3;

void clear_every_slot() {
    for (int i = 0; i < max_units; ++i) {
        unit_table[i].active = 0;
        unit_table[i].mining = 0;
    }
}

// Three draws per slot, in this order: column, row, kind.
void deal_creatures() {
    for (int i = 0; i < dealt_slots; ++i) {
        Unit& unit = unit_table[i];
        unit.active = 1;
        unit.mobility = 1;
        unit.tile_x = static_cast<uint16_t>(rng::rand() % 62 + 1);
        unit.tile_y = static_cast<uint16_t>(rng::rand() % 62 + 1);
        unit.level = 0;
        unit.kind = static_cast<uint16_t>(rng::rand() % creature_kind_count + kind_first_creature);
        unit.order = order_idle;
        unit.owner = owner_neutral;
        unit.max_hp = kind_max_hp(unit.kind);
        unit.attack = kind_attack(unit.kind);
        unit.hp = unit.max_hp;
        unit.dead = 0;
        unit.gold = 1.0f;
    }
}

// A leader keeps the attack, dead and mining values its slot was dealt.
void place_leader(int slot, uint16_t tile_y) {
    Unit& leader = unit_table[slot];
    leader.active = 1;
    leader.mobility = 1;
    leader.tile_x = 32;
    leader.tile_y = tile_y;
    leader.level = 0;
    leader.kind = kind_mage;
    leader.max_hp = 20.0f;
    leader.hp = 20.0f;
    leader.order = order_idle;
    leader.owner = slot;
    leader.gold = 1000.0f;
}

// Each attempt walks the neutral living slots from 3 up; every candidate
// draws once, and the first that draws 1 becomes a mine. A mine stays a
// candidate, so a later attempt may only give it new gold.
void place_mines() {
    for (int attempt = 0; attempt < mine_attempts; ++attempt) {
        for (int i = first_mine_candidate; i < max_units; ++i) {
            Unit& unit = unit_table[i];
            if (unit.active != 1 || unit.dead != 0 || unit.owner != owner_neutral) continue;
            if (rng::rand() % 20 != 1) continue;
            unit.kind = kind_mine;
            unit.mobility = 2;
            unit.hp = unit.max_hp = kind_max_hp(kind_mine);
            unit.gold = static_cast<float>(rng::rand() % 4200) + 500.0f;
            break;
        }
    }
}

void reset_game_state() {
    frame_counter = 0;
    empire_0_won = 0;
    empire_1_won = 0;
    tie = 0;
}

uint32_t deals_made = 0;
uint32_t latest_seed = 0;

}  // namespace

uint32_t deal_count() { return deals_made; }
uint32_t last_deal_seed() { return latest_seed; }

void note_deal_seed(uint32_t seed) { latest_seed = seed; }

void deal_quietly(uint32_t seed) {
    latest_seed = seed;
    rng::srand(seed);
    clear_every_slot();
    deal_creatures();
    place_leader(0, 4);
    place_leader(1, 59);
    place_mines();
    reset_game_state();
}

void new_game_from_seed(uint32_t seed) {
    ++deals_made;
    deal_quietly(seed);
    if (!deal_sound_muted) platform_play_wave_async(new_game_sound_path);
}
