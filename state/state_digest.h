// The digest of the whole game state: a 64-bit FNV-1a hash over every field
// written out one by one, and a short fingerprint that says what moved.
#pragma once

#include <cstdint>
#include <cstdio>

#include "state/shared_state.h"
#include "world/settings.h"

// Which state a digest covers. The shared state is what every player's
// game holds alike, and what a snapshot holds. Replays of format 2 hashed
// it without the people and the deal's seed; replays of format 1 also
// hashed their player's view (help, picture size, camera, scroll, cursor)
// and the one selection.
enum class DigestForm { shared, format_2, with_view };

// The view's fields as format 1's digest took them.
struct DigestView {
    int32_t help_visible;
    float unit_size, camera_zoom, camera_pitch, camera_yaw, camera_spin;
    int32_t map_sx, map_sy, cursor_dx, cursor_dy;
};

// The fingerprint holds one hex digit per game field, one per unit field
// (over every slot), and one per group of slots, in that order.
constexpr int digest_shared_game_fields = shared_game_fields;
constexpr int digest_view_game_fields = 17;
constexpr int digest_unit_fields = unit_fields;
constexpr int digest_slots_per_group = 8;
constexpr int digest_slot_groups = max_units / digest_slots_per_group;
constexpr int digest_fingerprint_capacity = digest_view_game_fields + digest_unit_fields + digest_slot_groups;
int digest_game_fields(DigestForm form);
int digest_fingerprint_length(DigestForm form);

struct StateDigest {
    uint64_t whole;
    char fingerprint[digest_fingerprint_capacity + 1];  // lower-case hex, NUL-terminated
};

// The shared state as it is now: every unit slot, the generator, the clock,
// the end flags, each side's selection, the frame delay, who plays each
// side and the deal's seed. Never raw struct bytes: padding is not the game's.
StateDigest digest_game_state();
// The same of a state held aside (a snapshot being loaded).
StateDigest digest_of_state(const SharedState& state);
// The state now as replays of an older format pinned it: format 2 (view
// null) or format 1 with the view's fields.
StateDigest digest_game_state_as(DigestForm form, const DigestView* view);

// The name of fingerprint digit i for i below digest_game_fields(form) +
// digest_unit_fields ("frame_counter", ..., "hp", ...).
const char* digest_field_name(DigestForm form, int i);
// Writes the value of that field as the game has it now, for a unit field of
// the given slot, into text (at most size bytes); view is the one a
// with_view digest covers, else unused.
void describe_field(DigestForm form, int i, int slot, const DigestView* view, char* text, int size);
// What moved from `before` to `now`, the state as it is now, on lines of
// out: the fields by name, the slots by group of digest_slots_per_group, and
// the game's moved fields' values now; each unit of the moved groups goes
// to units ("unit 3 as replayed: hp=19.5"; `now_is` says which state now
// is), or nowhere when units is null.
void print_digest_difference(const StateDigest& before, const StateDigest& now, DigestForm form, const DigestView* view,
                             const char* now_is, std::FILE* out, std::FILE* units);
