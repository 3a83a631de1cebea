// The shared state of a game described once: every field a later frame reads,
// its name, its bytes and its bounds, for the digest and the snapshot alike.
#pragma once

#include <cstdint>

#include "world/records.h"
#include "world/settings.h"

// Everything of a game that every player's program holds alike and that a
// later frame reads. The map is not in it: it is made at start-up and no
// rule writes it. Nothing of any view is in it.
struct SharedState {
    int32_t frame_counter;
    uint32_t rng_state;
    int32_t selected_unit[side_count];
    int32_t empire_0_won;
    int32_t empire_1_won;
    int32_t tie;
    int32_t game_speed;
    uint8_t person[side_count];  // side_played_by_person
    uint32_t deal_seed;          // the seed the game in the table was dealt from
    Unit units[max_units];
};

// The game's globals into state, and state back into them whole.
void capture_shared_state(SharedState* state);
void apply_shared_state(const SharedState& state);

// How a field's value is written out for a person.
enum class Shown { whole, signed_whole, real };

// A field's value as the little-endian bytes of its own width (floats by
// their bit pattern): what the digest hashes and the snapshot stores.
struct FieldBytes {
    uint8_t bytes[4];
    int count;
    Shown shown;
};

// The game fields in their order: the first shared_fields_of_format_2 are
// the ones replays of format 2 hashed; the people and the deal's seed came
// after, when a game could start from a snapshot.
constexpr int shared_game_fields = 11;
constexpr int shared_fields_of_format_2 = 8;
constexpr int unit_fields = 20;
// The bytes of all the fields: the game's 38, then each slot's 47.
constexpr int shared_game_bytes = 38;
constexpr int unit_bytes = 47;
constexpr int shared_state_bytes = shared_game_bytes + max_units * unit_bytes;

const char* shared_game_field_name(int i);
const char* unit_field_name(int f);
FieldBytes shared_game_field(const SharedState& state, int i);
FieldBytes unit_field(const Unit& unit, int f);

// Stores a field's bytes (count of them, little-endian) into the state when
// its value keeps the field's bounds; false, storing nothing, when not.
bool set_shared_game_field(SharedState* state, int i, const uint8_t* bytes);
bool set_unit_field(Unit* unit, int f, const uint8_t* bytes);
// The bounds a field keeps, for a person: "0 to 63", "a finite number".
void describe_bounds(bool unit, int i, char* text, int size);
