// What the window procedure keeps of the player's input: keys and buttons
// as the events reported them, the mouse position, and whether frames run.
#pragma once

#include <cstdint>

extern uint8_t keys[256];         // 1 while the virtual key is down, per the events
extern int32_t mouse_buttons[3];  // 0 left, 1 middle, 2 right
extern int32_t mouse_x;           // client pixels from the left edge
extern int32_t mouse_y;           // client pixels from the top edge
extern uint8_t window_active;     // 0 while minimised: no frames run
extern uint8_t fullscreen;        // forced to 0 at start

// The keyboard read directly, not through the events.
bool key_down(int vk);
bool key_up(int vk);

// Virtual-key codes the game reads.
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
