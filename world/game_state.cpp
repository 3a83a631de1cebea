#include "world/game_state.h"

#include <cstring>

namespace {
float float_from_bits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
}  // namespace

const float unit_size_small = 0.96f;
const float unit_size_normal = float_from_bits(0x3FCCCCCCu);
const float unit_size_large = float_from_bits(0x404CCCCCu);

float camera_zoom = -5.0f;
float camera_pitch = 25.0f;
float camera_yaw = 0.0f;
float camera_spin = 0.0f;
int32_t map_sx = 0;
int32_t map_sy = 0;

float unit_size = float_from_bits(0x3FCCCCCCu);
int32_t game_speed = 1;

int32_t frame_counter = 0;
int32_t selected_unit = 0;
int32_t help_visible = 0;

int32_t empire_0_won = 0;
int32_t empire_1_won = 0;
int32_t tie = 0;

bool game_over() { return empire_0_won != 0 || empire_1_won != 0 || tie != 0; }
