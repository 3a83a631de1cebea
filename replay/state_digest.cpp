#include "replay/state_digest.h"

#include <cstdio>
#include <cstring>

#include "game/commands.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/world_arrays.h"

namespace {

constexpr uint64_t fnv_offset = 0xcbf29ce484222325ull;
constexpr uint64_t fnv_prime = 0x100000001b3ull;

// How a field's value is written out for a person.
enum class Shown { whole, signed_whole, real };

// A field's value as little-endian bytes of its own width; floats by their bits.
struct FieldBytes {
    uint8_t bytes[4];
    int count;
    Shown shown;
};

FieldBytes bytes_of(uint32_t value, int count, Shown shown = Shown::whole) {
    FieldBytes out = {{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)},
                      count,
                      shown};
    return out;
}

FieldBytes float_bytes(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bytes_of(bits, 4, Shown::real);
}

FieldBytes int_bytes(int32_t value) { return bytes_of(static_cast<uint32_t>(value), 4, Shown::signed_whole); }

uint64_t hash_bytes(uint64_t hash, const FieldBytes& field) {
    for (int i = 0; i < field.count; ++i) hash = (hash ^ field.bytes[i]) * fnv_prime;
    return hash;
}

const char* const game_field_names[digest_game_fields] = {
    "frame_counter", "rand_state", "selected_unit", "empire_0_won", "empire_1_won", "tie",
    "help_visible",  "game_speed", "unit_size",     "camera_zoom",  "camera_pitch", "camera_yaw",
    "camera_spin",   "map_sx",     "map_sy",        "cursor_dx",    "cursor_dy"};

FieldBytes game_field(int i) {
    switch (i) {
    case 0: return int_bytes(frame_counter);
    case 1: return bytes_of(rng::state(), 4);
    case 2: return int_bytes(selected_unit);
    case 3: return int_bytes(empire_0_won);
    case 4: return int_bytes(empire_1_won);
    case 5: return int_bytes(tie);
    case 6: return int_bytes(help_visible);
    case 7: return int_bytes(game_speed);
    case 8: return float_bytes(unit_size);
    case 9: return float_bytes(camera_zoom);
    case 10: return float_bytes(camera_pitch);
    case 11: return float_bytes(camera_yaw);
    case 12: return float_bytes(camera_spin);
    case 13: return int_bytes(map_sx);
    case 14: return int_bytes(map_sy);
    case 15: return int_bytes(cursor_dx);
    default: return int_bytes(cursor_dy);
    }
}

const char* const unit_field_names[digest_unit_fields] = {
    "active", "owner",  "tile_x", "tile_y", "level", "goal_x", "goal_y", "next_x", "next_y", "target_unit",
    "order",  "blocks_path", "kind", "mobility", "mining", "gold", "max_hp", "hp", "dead", "attack"};

FieldBytes unit_field(const Unit& u, int i) {
    switch (i) {
    case 0: return bytes_of(u.active, 1);
    case 1: return int_bytes(u.owner);
    case 2: return bytes_of(u.tile_x, 2);
    case 3: return bytes_of(u.tile_y, 2);
    case 4: return bytes_of(u.level, 2);
    case 5: return bytes_of(u.goal_x, 2);
    case 6: return bytes_of(u.goal_y, 2);
    case 7: return bytes_of(u.next_x, 2);
    case 8: return bytes_of(u.next_y, 2);
    case 9: return bytes_of(static_cast<uint16_t>(u.target_unit), 2, Shown::signed_whole);
    case 10: return bytes_of(u.order, 2);
    case 11: return bytes_of(u.blocks_path, 2);
    case 12: return bytes_of(u.kind, 2);
    case 13: return bytes_of(u.mobility, 2);
    case 14: return bytes_of(u.mining, 1);
    case 15: return float_bytes(u.gold);
    case 16: return float_bytes(u.max_hp);
    case 17: return float_bytes(u.hp);
    case 18: return bytes_of(u.dead, 1);
    default: return int_bytes(u.attack);
    }
}

char hex_digit(uint64_t hash) { return "0123456789abcdef"[hash & 15]; }

}  // namespace

StateDigest digest_game_state() {
    StateDigest digest;
    uint64_t whole = fnv_offset;
    int out = 0;
    for (int i = 0; i < digest_game_fields; ++i) {
        const FieldBytes field = game_field(i);
        whole = hash_bytes(whole, field);
        digest.fingerprint[out++] = hex_digit(hash_bytes(fnv_offset, field));
    }
    uint64_t columns[digest_unit_fields];
    uint64_t groups[digest_slot_groups];
    for (uint64_t& c : columns) c = fnv_offset;
    for (uint64_t& g : groups) g = fnv_offset;
    for (int slot = 0; slot < max_units; ++slot) {
        const Unit& unit = unit_table[slot];
        uint64_t& group = groups[slot / digest_slots_per_group];
        for (int f = 0; f < digest_unit_fields; ++f) {
            const FieldBytes field = unit_field(unit, f);
            whole = hash_bytes(whole, field);
            columns[f] = hash_bytes(columns[f], field);
            group = hash_bytes(group, field);
        }
    }
    for (uint64_t c : columns) digest.fingerprint[out++] = hex_digit(c);
    for (uint64_t g : groups) digest.fingerprint[out++] = hex_digit(g);
    digest.fingerprint[out] = '\0';
    digest.whole = whole;
    return digest;
}

const char* digest_field_name(int i) {
    if (i < 0) return "?";
    if (i < digest_game_fields) return game_field_names[i];
    if (i < digest_game_fields + digest_unit_fields) return unit_field_names[i - digest_game_fields];
    return "?";
}

void describe_field(int i, int slot, char* text, int size) {
    const bool game = i < digest_game_fields;
    const FieldBytes field = game ? game_field(i) : unit_field(unit_table[slot], i - digest_game_fields);
    uint32_t value = 0;
    for (int b = field.count - 1; b >= 0; --b) value = value << 8 | field.bytes[b];
    const char* name = digest_field_name(i);
    const size_t room = static_cast<size_t>(size);
    if (field.shown == Shown::real) {
        float f = 0.0f;
        std::memcpy(&f, &value, sizeof f);
        std::snprintf(text, room, "%s=%.9g", name, static_cast<double>(f));
    } else if (field.shown == Shown::signed_whole) {
        // Signed fields are four bytes wide, or two (the target slot).
        const int32_t whole = field.count == 2 ? static_cast<int16_t>(value) : static_cast<int32_t>(value);
        std::snprintf(text, room, "%s=%d", name, whole);
    } else {
        std::snprintf(text, room, "%s=%u", name, value);
    }
}

void print_digest_difference(const StateDigest& before, const StateDigest& now, const char* now_is,
                             std::FILE* out) {
    const char* was = before.fingerprint;
    const char* is = now.fingerprint;
    const int fields = digest_game_fields + digest_unit_fields;
    std::fprintf(out, "fields moved:");
    for (int i = 0; i < fields; ++i)
        if (was[i] != is[i]) std::fprintf(out, " %s", digest_field_name(i));
    std::fprintf(out, "\nslots moved:");
    for (int g = 0; g < digest_slot_groups; ++g)
        if (was[fields + g] != is[fields + g])
            std::fprintf(out, " %d-%d", g * digest_slots_per_group, (g + 1) * digest_slots_per_group - 1);
    std::fprintf(out, "\n");
    char value[64];
    bool any = false;
    for (int i = 0; i < digest_game_fields; ++i) {
        if (was[i] == is[i]) continue;
        describe_field(i, 0, value, sizeof value);
        if (!any) std::fprintf(out, "game %s:", now_is);
        std::fprintf(out, " %s", value);
        any = true;
    }
    if (any) std::fprintf(out, "\n");
    // One hex digit a column: a moved column keeps its digit one time in
    // sixteen, and then the moved slots show every field.
    bool column_moved = false;
    for (int i = digest_game_fields; i < fields; ++i) column_moved = column_moved || was[i] != is[i];
    for (int g = 0; g < digest_slot_groups; ++g) {
        if (was[fields + g] == is[fields + g]) continue;
        for (int slot = g * digest_slots_per_group; slot < (g + 1) * digest_slots_per_group; ++slot) {
            if (!unit_table[slot].active) continue;
            std::fprintf(out, "unit %d %s:", slot, now_is);
            for (int i = digest_game_fields; i < fields; ++i) {
                if (column_moved && was[i] == is[i]) continue;
                describe_field(i, slot, value, sizeof value);
                std::fprintf(out, " %s", value);
            }
            std::fprintf(out, "\n");
        }
    }
}
