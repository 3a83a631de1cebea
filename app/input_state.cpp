#include "app/input_state.h"

#include "platform/platform.h"

uint8_t keys[256] = {};
int32_t mouse_buttons[3] = {};
int32_t mouse_x = 0;
int32_t mouse_y = 0;
uint8_t window_active = 1;
uint8_t fullscreen = 1;

bool key_down(int vk) { return platform_key_down(vk); }
bool key_up(int vk) { return !platform_key_down(vk); }
