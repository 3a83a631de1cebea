#include "state/state_digest.h"

#include <cstdio>
#include <cstring>

#include "world/world_arrays.h"

namespace {

constexpr uint64_t fnv_offset = 0xcbf29ce484222325ull;
constexpr uint64_t fnv_prime = 0x100000001b3ull;

uint64_t hash_bytes(uint64_t hash, const FieldBytes& field) {
    for (int i = 0; i < field.count; ++i) hash = (hash ^ field.bytes[i]) * fnv_prime;
    return hash;
}

FieldBytes int_bytes(int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    FieldBytes out = {{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                       static_cast<uint8_t>(v >> 24)},
                      4,
                      Shown::signed_whole};
    return out;
}

FieldBytes float_bytes(float value) {
    int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    FieldBytes out = int_bytes(bits);
    out.shown = Shown::real;
    return out;
}

// Format 1's game fields: the shared ones by their number among the shared
// fields, the view's from 100 on.
constexpr int view_field = 100;
const int view_fields[digest_view_game_fields] = {
    0, 1, 2, 4, 5, 6, view_field, 7, view_field + 1, view_field + 2, view_field + 3, view_field + 4,
    view_field + 5, view_field + 6, view_field + 7, view_field + 8, view_field + 9};
const char* const view_field_names[] = {"help_visible", "unit_size",  "camera_zoom", "camera_pitch", "camera_yaw",
                                        "camera_spin",  "map_sx",     "map_sy",      "cursor_dx",    "cursor_dy"};

// The i-th game field of a form: for format 2, the first of the shared ones.
int game_field_of(DigestForm form, int i) { return form == DigestForm::with_view ? view_fields[i] : i; }

FieldBytes view_bytes(int field, const DigestView& view) {
    switch (field - view_field) {
    case 0: return int_bytes(view.help_visible);
    case 1: return float_bytes(view.unit_size);
    case 2: return float_bytes(view.camera_zoom);
    case 3: return float_bytes(view.camera_pitch);
    case 4: return float_bytes(view.camera_yaw);
    case 5: return float_bytes(view.camera_spin);
    case 6: return int_bytes(view.map_sx);
    case 7: return int_bytes(view.map_sy);
    case 8: return int_bytes(view.cursor_dx);
    default: return int_bytes(view.cursor_dy);
    }
}

FieldBytes game_field(const SharedState& state, int field, const DigestView* view) {
    return field >= view_field ? view_bytes(field, *view) : shared_game_field(state, field);
}

char hex_digit(uint64_t hash) { return "0123456789abcdef"[hash & 15]; }

StateDigest digest_of(const SharedState& state, DigestForm form, const DigestView* view) {
    StateDigest digest;
    uint64_t whole = fnv_offset;
    int out = 0;
    for (int i = 0; i < digest_game_fields(form); ++i) {
        const FieldBytes field = game_field(state, game_field_of(form, i), view);
        whole = hash_bytes(whole, field);
        digest.fingerprint[out++] = hex_digit(hash_bytes(fnv_offset, field));
    }
    uint64_t columns[digest_unit_fields];
    uint64_t groups[digest_slot_groups];
    for (uint64_t& c : columns) c = fnv_offset;
    for (uint64_t& g : groups) g = fnv_offset;
    for (int slot = 0; slot < max_units; ++slot) {
        const Unit& unit = state.units[slot];
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
    switch (form) {
    case DigestForm::shared: return digest_shared_game_fields;
    case DigestForm::format_2: return shared_fields_of_format_2;
    default: return digest_view_game_fields;
    }
}

int digest_fingerprint_length(DigestForm form) {
    return digest_game_fields(form) + digest_unit_fields + digest_slot_groups;
}

namespace {
SharedState current;  // the state as it is, taken for a digest
}

StateDigest digest_game_state() { return digest_game_state_as(DigestForm::shared, nullptr); }

StateDigest digest_of_state(const SharedState& state) { return digest_of(state, DigestForm::shared, nullptr); }

StateDigest digest_game_state_as(DigestForm form, const DigestView* view) {
    capture_shared_state(&current);
    return digest_of(current, form, view);
}

const char* digest_field_name(DigestForm form, int i) {
    const int game_fields = digest_game_fields(form);
    if (i < 0) return "?";
    if (i < game_fields) {
        const int field = game_field_of(form, i);
        return field >= view_field ? view_field_names[field - view_field] : shared_game_field_name(field);
    }
    if (i < game_fields + digest_unit_fields) return unit_field_name(i - game_fields);
    return "?";
}

void describe_field(DigestForm form, int i, int slot, const DigestView* view, char* text, int size) {
    const int game_fields = digest_game_fields(form);
    const bool game = i < game_fields;
    capture_shared_state(&current);
    const FieldBytes field = game ? game_field(current, game_field_of(form, i), view)
                                  : unit_field(current.units[slot], i - game_fields);
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

void print_digest_difference(const StateDigest& before, const StateDigest& now, DigestForm form, const DigestView* view,
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
