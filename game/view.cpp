#include "game/view.h"

#include <cstring>

#include "game/census.h"
#include "game/frame_rules.h"
#include "game/pauses.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/settings.h"
#include "world/world_arrays.h"

namespace {

float float_from_bits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr float full_turn_degrees = 360.0f;
constexpr float cursor_span_tiles = 40.0f;
constexpr float cursor_half_span = 20.0f;
// The jump puts the counted unit this many tiles up and right of the view centre.
constexpr int jump_offset = 10;
constexpr int help_sleep_ms = 400;
constexpr float zoom_step = 0.12f;
constexpr float turn_step = 0.5f;
constexpr int scroll_pause_ms = 100;
constexpr int e_key_pause_ms = 500;

void jump_to_first_unit_of(View* view, int empire) {
    const int unit = first_counted_unit(empire);
    if (unit < 0) return;
    view->map_sx = unit_table[unit].tile_x - jump_offset;
    view->map_sy = unit_table[unit].tile_y - jump_offset;
}

// Shift with an arrow turns the camera.
void apply_turn_keys(View* view, const PassInput& in) {
    if (in.keys[vk_up]) view->camera_pitch -= turn_step;
    if (in.keys[vk_down]) view->camera_pitch += turn_step;
    if (in.keys[vk_right]) view->camera_yaw += turn_step;
    if (in.keys[vk_left]) view->camera_yaw -= turn_step;
}

// An arrow alone scrolls one tile; the pause is the only thing that keeps
// a held arrow from racing across the map.
void apply_scroll_keys(View* view, const PassInput& in) {
    if (in.keys[vk_up]) {
        view->map_sy += 1;
        pause_ms(scroll_pause_ms);
    }
    if (in.keys[vk_down]) {
        view->map_sy -= 1;
        pause_ms(scroll_pause_ms);
    }
    if (in.keys[vk_right]) {
        view->map_sx += 1;
        pause_ms(scroll_pause_ms);
    }
    if (in.keys[vk_left]) {
        view->map_sx -= 1;
        pause_ms(scroll_pause_ms);
    }
}

}  // namespace

const float unit_size_small = 0.96f;
const float unit_size_normal = float_from_bits(0x3FCCCCCCu);
const float unit_size_large = float_from_bits(0x404CCCCCu);

View local_view = start_view(0);

// The camera's values before the first deal are never drawn: the deal
// replaces them with the opening view.
View start_view(int side) {
    View view = {};
    view.side = side;
    view.camera_zoom = -5.0f;
    view.camera_pitch = 25.0f;
    view.unit_size = unit_size_normal;
    return view;
}

void follow_deal(View* view) {
    if (view->deals_seen == deal_count()) return;
    view->deals_seen = deal_count();
    view->camera_pitch = -45.0f;
    view->camera_yaw = 0.0f;
    view->camera_zoom = -30.0f;
    view->camera_spin = 0.0f;
    view->map_sx = 32;
    view->map_sy = 32;
}

// Single precision throughout, truncated toward zero: offset 0 covers the
// two middle fortieths of the window in each direction.
int32_t cursor_offset_for_column(int32_t column) {
    return static_cast<int32_t>(static_cast<float>(column) / static_cast<float>(screen_width) * cursor_span_tiles -
                                cursor_half_span);
}

int32_t cursor_offset_for_row(int32_t row) {
    return static_cast<int32_t>(static_cast<float>(screen_height - row) / static_cast<float>(screen_height) *
                                    cursor_span_tiles -
                                cursor_half_span);
}

// The left edge of the window is 0 degrees, the right edge 360.
void spin_by_mouse(View* view, const PassInput& in) {
    if (!in.direct_keys[vk_space]) return;
    view->camera_spin =
        static_cast<float>(in.spin_column) / static_cast<float>(screen_width) * full_turn_degrees;
}

void aim_cursor(View* view, const PassInput& in) {
    view->cursor_dx = in.cursor_dx;
    view->cursor_dy = in.cursor_dy;
}

// The later key wins when several are held.
void apply_picture_size(View* view, const PassInput& in) {
    if (in.direct_keys[vk_f2]) view->unit_size = unit_size_small;
    if (in.direct_keys[vk_f3]) view->unit_size = unit_size_normal;
    if (in.direct_keys[vk_f4]) view->unit_size = unit_size_large;
}

// Both may jump in one census; empire 1's jump is applied last.
void jump_at_census(View* view, const PassInput& in) {
    if (!census_frame()) return;
    for (int empire = 0; empire < side_count; ++empire) {
        const int key = empire == view->side ? vk_backspace : vk_0;
        if (in.direct_keys[key]) jump_to_first_unit_of(view, empire);
    }
}

// Holding H flips the help in every frame, each time with the pause.
void toggle_help(View* view, const PassInput& in) {
    if (!in.direct_keys[vk_h]) return;
    view->help_visible = view->help_visible ? 0 : 1;
    pause_ms(help_sleep_ms);
}

// So after a game the help only shows in frames in which H is down.
void close_help_when_over(View* view) {
    if (game_over()) view->help_visible = 0;
}

void apply_view_keys(View* view, const PassInput& in) {
    if (in.keys[vk_page_up]) view->camera_zoom -= zoom_step;
    if (in.keys[vk_page_down]) view->camera_zoom += zoom_step;
    if (in.keys[vk_e]) pause_ms(e_key_pause_ms);
    if (in.direct_keys[vk_shift])
        apply_turn_keys(view, in);
    else
        apply_scroll_keys(view, in);
}
