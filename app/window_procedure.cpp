#include "app/window_procedure.h"

#include "app/input_state.h"
#include "render/gl_window.h"

namespace {

void record_key(int vk, uint8_t down) {
    // The table has room for the 256 virtual-key codes and nothing else.
    if (vk >= 0 && vk < 256) keys[vk] = down;
}

void record_button(int button, int32_t down) {
    if (button >= 0 && button < 3) mouse_buttons[button] = down;
}

// Positions arrive as the two 16-bit halves of one word, unsigned.
int32_t low_word(int value) { return static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFFFu); }

}  // namespace

void window_procedure(const PlatformEvent& event) {
    switch (event.type) {
    case platform_event_key_down: record_key(event.key, 1); break;
    case platform_event_key_up: record_key(event.key, 0); break;
    case platform_event_mouse_move:
        mouse_x = low_word(event.x);
        mouse_y = low_word(event.y);
        break;
    case platform_event_button_down: record_button(event.button, 1); break;
    case platform_event_button_up: record_button(event.button, 0); break;
    case platform_event_minimized: window_active = 0; break;
    case platform_event_restored: window_active = 1; break;
    case platform_event_resized: resize_view(low_word(event.x), low_word(event.y)); break;
    case platform_event_none:
    case platform_event_quit:
    case platform_event_other: break;
    }
}
