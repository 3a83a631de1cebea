#include "app/input_state.h"

#include <cstring>

#include "game/view.h"
#include "platform/platform.h"

uint8_t keys[256] = {};
int32_t mouse_buttons[3] = {};
int32_t mouse_x = 0;
int32_t mouse_y = 0;
uint8_t window_active = 1;

namespace {

// The keys the view and the command read from the keyboard directly.
constexpr int direct_keys_read[] = {vk_backspace, vk_shift, vk_space, vk_0,  vk_h,  vk_f1, vk_f2,
                                    vk_f3,        vk_f4,    vk_f5,    vk_f6, vk_f7, vk_f8};

}  // namespace

void read_pass_input(PassInput* in) {
    clear_pass_input(in);
    std::memcpy(in->keys, keys, sizeof in->keys);
    for (int vk : direct_keys_read) in->direct_keys[vk] = platform_key_down(vk) ? 1 : 0;
    for (int b = 0; b < 3; ++b) in->buttons[b] = mouse_buttons[b] == 1;
    in->cursor_dx = cursor_offset_for_column(mouse_x);
    in->cursor_dy = cursor_offset_for_row(mouse_y);
    in->spin_column = mouse_x;
    in->frame_runs = window_active == 1;
    if (in->frame_runs && in->direct_keys[vk_f1]) {
        in->deals = 1;
        in->deal_seed = static_cast<uint32_t>(platform_calendar_seconds());
    }
}
