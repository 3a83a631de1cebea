// What a person's keyboard and mouse say in one loop pass: the local view
// reads it, and the person's side command is made from it at that view.
#pragma once

#include <cstdint>

struct PassInput {
    uint8_t keys[256];         // the event-driven key table, 0 or 1
    uint8_t direct_keys[256];  // the keyboard read directly in the pass, 0 or 1
    uint8_t buttons[3];        // 0 left, 1 middle, 2 right; 0 or 1
    int32_t cursor_dx;         // the cursor tile's offsets from the view centre
    int32_t cursor_dy;
    int32_t spin_column;       // the mouse's column, which the spin follows while Space is down
    uint8_t frame_runs;        // 1 when the pass runs a frame (the window is not minimised)
    uint8_t deals;             // 1 when F1 deals in this pass's frame...
    uint32_t deal_seed;        // ...from this seed
};

// Nothing down, cursor offsets 0 0, column 0, frames run.
void clear_pass_input(PassInput* input);

// Virtual-key codes a view or a command reads.
constexpr int vk_backspace = 0x08;
constexpr int vk_shift = 0x10;
constexpr int vk_escape = 0x1B;
constexpr int vk_space = 0x20;
constexpr int vk_page_up = 0x21;
constexpr int vk_page_down = 0x22;
constexpr int vk_left = 0x25;
constexpr int vk_up = 0x26;
constexpr int vk_right = 0x27;
constexpr int vk_down = 0x28;
constexpr int vk_0 = 0x30;
constexpr int vk_e = 0x45;
constexpr int vk_h = 0x48;
constexpr int vk_m = 0x4D;
constexpr int vk_f1 = 0x70;
constexpr int vk_f2 = 0x71;
constexpr int vk_f3 = 0x72;
constexpr int vk_f4 = 0x73;
constexpr int vk_f5 = 0x74;
constexpr int vk_f6 = 0x75;
constexpr int vk_f7 = 0x76;
constexpr int vk_f8 = 0x77;
