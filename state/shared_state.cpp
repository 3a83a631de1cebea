#include "state/shared_state.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "world/game_state.h"
#include "world/new_game.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

namespace {

// A field's width in bytes, how it reads, and the values a loaded one may
// hold: what the game itself can reach, and what no rule may index past.
struct FieldInfo {
    const char* name;
    int width;
    Shown shown;
    int64_t least;
    int64_t most;
};

constexpr int64_t any_u32 = UINT32_MAX;
constexpr int64_t last_tile = map_size - 1;
constexpr int64_t last_slot = max_units - 1;
// The strongest kind strikes with 14; a thousand times that would still
// keep attack * 10 far inside an int.
constexpr int64_t most_attack = 100;
constexpr int64_t a_kind = -1;  // bounds given by known_kind instead

constexpr FieldInfo game_info[shared_game_fields] = {
    // One frame more must still be countable.
    {"frame_counter", 4, Shown::signed_whole, 0, INT32_MAX - 1},
    {"rand_state", 4, Shown::whole, 0, any_u32},
    {"selected_unit", 4, Shown::signed_whole, 0, last_slot},
    {"selected_unit_1", 4, Shown::signed_whole, 0, last_slot},
    {"empire_0_won", 4, Shown::signed_whole, 0, 1},
    {"empire_1_won", 4, Shown::signed_whole, 0, 1},
    {"tie", 4, Shown::signed_whole, 0, 1},
    {"game_speed", 4, Shown::signed_whole, 1, 4},
    {"person_0", 1, Shown::whole, 0, 1},
    {"person_1", 1, Shown::whole, 0, 1},
    {"deal_seed", 4, Shown::whole, 0, any_u32},
};

constexpr FieldInfo unit_info[unit_fields] = {
    {"active", 1, Shown::whole, 0, 1},
    {"owner", 4, Shown::signed_whole, owner_player, owner_neutral},
    {"tile_x", 2, Shown::whole, 0, last_tile},
    {"tile_y", 2, Shown::whole, 0, last_tile},
    {"level", 2, Shown::whole, 0, map_levels - 1},
    {"goal_x", 2, Shown::whole, 0, last_tile},
    {"goal_y", 2, Shown::whole, 0, last_tile},
    {"next_x", 2, Shown::whole, 0, last_tile},
    {"next_y", 2, Shown::whole, 0, last_tile},
    {"target_unit", 2, Shown::signed_whole, 0, last_slot},
    {"order", 2, Shown::whole, order_idle, order_gather},
    {"blocks_path", 2, Shown::whole, 0, 1},
    {"kind", 2, Shown::whole, a_kind, a_kind},
    {"mobility", 2, Shown::whole, 0, 2},
    {"mining", 1, Shown::whole, 0, 1},
    {"gold", 4, Shown::real, 0, 0},
    {"max_hp", 4, Shown::real, 0, 0},
    {"hp", 4, Shown::real, 0, 0},
    {"dead", 1, Shown::whole, 0, 1},
    {"attack", 4, Shown::signed_whole, 0, most_attack},
};

constexpr int width_of(const FieldInfo* fields, int count) {
    int sum = 0;
    for (int i = 0; i < count; ++i) sum += fields[i].width;
    return sum;
}
static_assert(width_of(game_info, shared_game_fields) == shared_game_bytes, "the game's fields fill their bytes");
static_assert(width_of(unit_info, unit_fields) == unit_bytes, "a slot's fields fill its bytes");

// A slot never dealt holds kind 0; every dealt one a kind of the table.
bool known_kind(int64_t kind) {
    return kind == 0 || kind == kind_mage || kind == kind_mine ||
           (kind >= kind_first_creature && kind <= kind_last_creature);
}

uint32_t float_bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float bits_float(uint32_t bits) {
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

FieldBytes bytes_of(uint32_t value, const FieldInfo& info) {
    FieldBytes out = {{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)},
                      info.width,
                      info.shown};
    return out;
}

// The bytes as the field's value: signed fields sign-extended from their width.
int64_t value_of(const uint8_t* bytes, const FieldInfo& info) {
    uint32_t raw = 0;
    for (int b = info.width - 1; b >= 0; --b) raw = raw << 8 | bytes[b];
    if (info.shown != Shown::signed_whole) return raw;
    if (info.width == 2) return static_cast<int16_t>(raw);
    return static_cast<int32_t>(raw);
}

// A float of play is never a NaN nor an infinity; a whole keeps its bounds.
bool in_bounds(int64_t value, const FieldInfo& info) {
    if (info.shown == Shown::real) return std::isfinite(bits_float(static_cast<uint32_t>(value)));
    if (info.least == a_kind) return known_kind(value);
    return value >= info.least && value <= info.most;
}

uint32_t game_value(const SharedState& s, int i) {
    switch (i) {
    case 0: return static_cast<uint32_t>(s.frame_counter);
    case 1: return s.rng_state;
    case 2: return static_cast<uint32_t>(s.selected_unit[0]);
    case 3: return static_cast<uint32_t>(s.selected_unit[1]);
    case 4: return static_cast<uint32_t>(s.empire_0_won);
    case 5: return static_cast<uint32_t>(s.empire_1_won);
    case 6: return static_cast<uint32_t>(s.tie);
    case 7: return static_cast<uint32_t>(s.game_speed);
    case 8: return s.person[0];
    case 9: return s.person[1];
    default: return s.deal_seed;
    }
}

uint32_t unit_value(const Unit& u, int f) {
    switch (f) {
    case 0: return u.active;
    case 1: return static_cast<uint32_t>(u.owner);
    case 2: return u.tile_x;
    case 3: return u.tile_y;
    case 4: return u.level;
    case 5: return u.goal_x;
    case 6: return u.goal_y;
    case 7: return u.next_x;
    case 8: return u.next_y;
    case 9: return static_cast<uint16_t>(u.target_unit);
    case 10: return u.order;
    case 11: return u.blocks_path;
    case 12: return u.kind;
    case 13: return u.mobility;
    case 14: return u.mining;
    case 15: return float_bits(u.gold);
    case 16: return float_bits(u.max_hp);
    case 17: return float_bits(u.hp);
    case 18: return u.dead;
    default: return static_cast<uint32_t>(u.attack);
    }
}

}  // namespace

void capture_shared_state(SharedState* state) {
    std::memset(state, 0, sizeof *state);
    state->frame_counter = frame_counter;
    state->rng_state = rng::state();
    for (int side = 0; side < side_count; ++side) {
        state->selected_unit[side] = selected_unit[side];
        state->person[side] = side_played_by_person[side];
    }
    state->empire_0_won = empire_0_won;
    state->empire_1_won = empire_1_won;
    state->tie = tie;
    state->game_speed = game_speed;
    state->deal_seed = last_deal_seed();
    std::memcpy(state->units, unit_table, sizeof state->units);
}

void apply_shared_state(const SharedState& state) {
    frame_counter = state.frame_counter;
    rng::srand(state.rng_state);
    for (int side = 0; side < side_count; ++side) {
        selected_unit[side] = state.selected_unit[side];
        side_played_by_person[side] = state.person[side];
    }
    empire_0_won = state.empire_0_won;
    empire_1_won = state.empire_1_won;
    tie = state.tie;
    game_speed = state.game_speed;
    note_deal_seed(state.deal_seed);
    std::memcpy(unit_table, state.units, sizeof state.units);
}

const char* shared_game_field_name(int i) { return game_info[i].name; }
const char* unit_field_name(int f) { return unit_info[f].name; }

FieldBytes shared_game_field(const SharedState& state, int i) { return bytes_of(game_value(state, i), game_info[i]); }
FieldBytes unit_field(const Unit& unit, int f) { return bytes_of(unit_value(unit, f), unit_info[f]); }

bool set_shared_game_field(SharedState* s, int i, const uint8_t* bytes) {
    const int64_t v = value_of(bytes, game_info[i]);
    if (!in_bounds(v, game_info[i])) return false;
    switch (i) {
    case 0: s->frame_counter = static_cast<int32_t>(v); break;
    case 1: s->rng_state = static_cast<uint32_t>(v); break;
    case 2: s->selected_unit[0] = static_cast<int32_t>(v); break;
    case 3: s->selected_unit[1] = static_cast<int32_t>(v); break;
    case 4: s->empire_0_won = static_cast<int32_t>(v); break;
    case 5: s->empire_1_won = static_cast<int32_t>(v); break;
    case 6: s->tie = static_cast<int32_t>(v); break;
    case 7: s->game_speed = static_cast<int32_t>(v); break;
    case 8: s->person[0] = static_cast<uint8_t>(v); break;
    case 9: s->person[1] = static_cast<uint8_t>(v); break;
    default: s->deal_seed = static_cast<uint32_t>(v); break;
    }
    return true;
}

bool set_unit_field(Unit* u, int f, const uint8_t* bytes) {
    const int64_t v = value_of(bytes, unit_info[f]);
    if (!in_bounds(v, unit_info[f])) return false;
    const uint16_t whole = static_cast<uint16_t>(v);
    switch (f) {
    case 0: u->active = static_cast<uint8_t>(v); break;
    case 1: u->owner = static_cast<int32_t>(v); break;
    case 2: u->tile_x = whole; break;
    case 3: u->tile_y = whole; break;
    case 4: u->level = whole; break;
    case 5: u->goal_x = whole; break;
    case 6: u->goal_y = whole; break;
    case 7: u->next_x = whole; break;
    case 8: u->next_y = whole; break;
    case 9: u->target_unit = static_cast<int16_t>(v); break;
    case 10: u->order = whole; break;
    case 11: u->blocks_path = whole; break;
    case 12: u->kind = whole; break;
    case 13: u->mobility = whole; break;
    case 14: u->mining = static_cast<uint8_t>(v); break;
    case 15: u->gold = bits_float(static_cast<uint32_t>(v)); break;
    case 16: u->max_hp = bits_float(static_cast<uint32_t>(v)); break;
    case 17: u->hp = bits_float(static_cast<uint32_t>(v)); break;
    case 18: u->dead = static_cast<uint8_t>(v); break;
    default: u->attack = static_cast<int32_t>(v); break;
    }
    return true;
}

void describe_bounds(bool unit, int i, char* text, int size) {
    const FieldInfo& info = unit ? unit_info[i] : game_info[i];
    const size_t room = static_cast<size_t>(size);
    if (info.shown == Shown::real)
        std::snprintf(text, room, "a finite number");
    else if (info.least == a_kind)
        std::snprintf(text, room, "0, 10, 30 to 44 or 90");
    else
        std::snprintf(text, room, "%" PRId64 " to %" PRId64, info.least, info.most);
}
