// What the window procedure keeps of the player's input: keys and buttons
// as the events reported them, the mouse position, and whether frames run.
#pragma once

#include <cstdint>

extern uint8_t keys[256];         // 1 while the virtual key is down, per the events
extern int32_t mouse_buttons[3];  // 0 left, 1 middle, 2 right
extern int32_t mouse_x;           // client pixels from the left edge
extern int32_t mouse_y;           // client pixels from the top edge
extern uint8_t window_active;     // 0 while minimised: no frames run

// The keyboard read directly, not through the events. Within a loop pass
// (between begin_key_pass and end_key_pass) the first read of a key is kept
// for the rest of the pass, so every step of one pass sees one keyboard and
// a recording can say what the pass saw; outside a pass each call reads the
// keyboard afresh. While a replay plays, both read replayed_direct_keys.
bool key_down(int vk);
bool key_up(int vk);

void begin_key_pass();
void end_key_pass();
// What the open pass read of the key: 0 not read, 1 up, 2 down.
uint8_t key_read_in_pass(int vk);

// Set while a replay plays: key_down answers from replayed_direct_keys.
extern bool direct_keys_replayed;
extern uint8_t replayed_direct_keys[256];  // 1 while down

// The pauses that pace the game and debounce held keys (the frame delay,
// the scroll, E and H). The game sleeps them; a replay being watched counts
// them instead (pauses_counted) and keeps its own pace from the count.
void pause_ms(int milliseconds);
extern bool pauses_counted;
extern int64_t counted_pause_ms;

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
