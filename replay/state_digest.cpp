#include "replay/state_digest.h"

#include <cstdio>
#include <cstring>

#include "game/view.h"
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

// The game fields of each form, in the fingerprint's order.
enum GameField {
    field_frame_counter, field_rand_state, field_selected_unit, field_selected_unit_1, field_empire_0_won,
    field_empire_1_won, field_tie, field_help_visible, field_game_speed, field_unit_size, field_camera_zoom,
    field_camera_pitch, field_camera_yaw, field_camera_spin, field_map_sx, field_map_sy, field_cursor_dx,
    field_cursor_dy
};

const GameField shared_fields[digest_shared_game_fields] = {
    field_frame_counter, field_rand_state, field_selected_unit, field_selected_unit_1,
    field_empire_0_won,  field_empire_1_won, field_tie,         field_game_speed};
const GameField view_fields[digest_view_game_fields] = {
    field_frame_counter, field_rand_state,  field_selected_unit, field_empire_0_won, field_empire_1_won,
    field_tie,           field_help_visible, field_game_speed,   field_unit_size,    field_camera_zoom,
    field_camera_pitch,  field_camera_yaw,  field_camera_spin,   field_map_sx,       field_map_sy,
    field_cursor_dx,     field_cursor_dy};

const char* const game_field_names[] = {
    "frame_counter", "rand_state", "selected_unit", "selected_unit_1", "empire_0_won", "empire_1_won",
    "tie",           "help_visible", "game_speed",  "unit_size",       "camera_zoom",  "camera_pitch",
    "camera_yaw",    "camera_spin",  "map_sx",      "map_sy",          "cursor_dx",    "cursor_dy"};

GameField game_field_of(DigestForm form, int i) {
    return form == DigestForm::shared ? shared_fields[i] : view_fields[i];
}

// The view's fields read from a view that is always given with them.
FieldBytes game_field(GameField field, const View* view) {
    switch (field) {
    case field_frame_counter: return int_bytes(frame_counter);
    case field_rand_state: return bytes_of(rng::state(), 4);
    case field_selected_unit: return int_bytes(selected_unit[0]);
    case field_selected_unit_1: return int_bytes(selected_unit[1]);
    case field_empire_0_won: return int_bytes(empire_0_won);
    case field_empire_1_won: return int_bytes(empire_1_won);
    case field_tie: return int_bytes(tie);
    case field_game_speed: return int_bytes(game_speed);
    case field_help_visible: return int_bytes(view->help_visible);
    case field_unit_size: return float_bytes(view->unit_size);
    case field_camera_zoom: return float_bytes(view->camera_zoom);
    case field_camera_pitch: return float_bytes(view->camera_pitch);
    case field_camera_yaw: return float_bytes(view->camera_yaw);
    case field_camera_spin: return float_bytes(view->camera_spin);
    case field_map_sx: return int_bytes(view->map_sx);
    case field_map_sy: return int_bytes(view->map_sy);
    case field_cursor_dx: return int_bytes(view->cursor_dx);
    default: return int_bytes(view->cursor_dy);
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

StateDigest digest_of(DigestForm form, const View* view) {
    StateDigest digest;
    uint64_t whole = fnv_offset;
    int out = 0;
    for (int i = 0; i < digest_game_fields(form); ++i) {
        const FieldBytes field = game_field(game_field_of(form, i), view);
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

}  // namespace

int digest_game_fields(DigestForm form) {
    return form == DigestForm::shared ? digest_shared_game_fields : digest_view_game_fields;
}

int digest_fingerprint_length(DigestForm form) {
    return digest_game_fields(form) + digest_unit_fields + digest_slot_groups;
}

StateDigest digest_game_state() { return digest_of(DigestForm::shared, nullptr); }

StateDigest digest_game_state_with_view(const View& view) { return digest_of(DigestForm::with_view, &view); }

const char* digest_field_name(DigestForm form, int i) {
    const int game_fields = digest_game_fields(form);
    if (i < 0) return "?";
    if (i < game_fields) return game_field_names[game_field_of(form, i)];
    if (i < game_fields + digest_unit_fields) return unit_field_names[i - game_fields];
    return "?";
}

void describe_field(DigestForm form, int i, int slot, const View* view, char* text, int size) {
    const int game_fields = digest_game_fields(form);
    const bool game = i < game_fields;
    const FieldBytes field =
        game ? game_field(game_field_of(form, i), view) : unit_field(unit_table[slot], i - game_fields);
    uint32_t value = 0;
    for (int b = field.count - 1; b >= 0; --b) value = value << 8 | field.bytes[b];
    const char* name = digest_field_name(form, i);
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

void print_digest_difference(const StateDigest& before, const StateDigest& now, DigestForm form, const View* view,
                             const char* now_is, std::FILE* out, std::FILE* units) {
    const char* was = before.fingerprint;
    const char* is = now.fingerprint;
    const int game_fields = digest_game_fields(form);
    const int fields = game_fields + digest_unit_fields;
    std::fprintf(out, "fields moved:");
    for (int i = 0; i < fields; ++i)
        if (was[i] != is[i]) std::fprintf(out, " %s", digest_field_name(form, i));
    std::fprintf(out, "\nslots moved:");
    for (int g = 0; g < digest_slot_groups; ++g)
        if (was[fields + g] != is[fields + g])
            std::fprintf(out, " %d-%d", g * digest_slots_per_group, (g + 1) * digest_slots_per_group - 1);
    std::fprintf(out, "\n");
    char value[64];
    bool any = false;
    for (int i = 0; i < game_fields; ++i) {
        if (was[i] == is[i]) continue;
        describe_field(form, i, 0, view, value, sizeof value);
        if (!any) std::fprintf(out, "game %s:", now_is);
        std::fprintf(out, " %s", value);
        any = true;
    }
    if (any) std::fprintf(out, "\n");
    if (!units) return;
    // One hex digit a column: a moved column keeps its digit one time in
    // sixteen, and then the moved slots show every field.
    bool column_moved = false;
    for (int i = game_fields; i < fields; ++i) column_moved = column_moved || was[i] != is[i];
    for (int g = 0; g < digest_slot_groups; ++g) {
        if (was[fields + g] == is[fields + g]) continue;
        for (int slot = g * digest_slots_per_group; slot < (g + 1) * digest_slots_per_group; ++slot) {
            if (!unit_table[slot].active) continue;
            std::fprintf(units, "unit %d %s:", slot, now_is);
            for (int i = game_fields; i < fields; ++i) {
                if (column_moved && was[i] == is[i]) continue;
                describe_field(form, i, slot, view, value, sizeof value);
                std::fprintf(units, " %s", value);
            }
            std::fprintf(units, "\n");
        }
    }
}
