#include "app/input_state.h"

#include <cstring>

#include "platform/platform.h"

uint8_t keys[256] = {};
int32_t mouse_buttons[3] = {};
int32_t mouse_x = 0;
int32_t mouse_y = 0;
uint8_t window_active = 1;

bool direct_keys_replayed = false;
uint8_t replayed_direct_keys[256] = {};
bool pauses_counted = false;
int64_t counted_pause_ms = 0;

namespace {

bool key_pass_open = false;
uint8_t pass_key_reads[256] = {};

bool read_key(int vk) {
    if (vk < 0 || vk >= 256) return platform_key_down(vk);
    if (direct_keys_replayed) return replayed_direct_keys[vk] != 0;
    if (!key_pass_open) return platform_key_down(vk);
    if (pass_key_reads[vk] == 0) pass_key_reads[vk] = platform_key_down(vk) ? 2 : 1;
    return pass_key_reads[vk] == 2;
}

}  // namespace

bool key_down(int vk) { return read_key(vk); }
bool key_up(int vk) { return !read_key(vk); }

void begin_key_pass() {
    std::memset(pass_key_reads, 0, sizeof pass_key_reads);
    key_pass_open = true;
}

void end_key_pass() { key_pass_open = false; }

uint8_t key_read_in_pass(int vk) { return vk >= 0 && vk < 256 ? pass_key_reads[vk] : 0; }

void pause_ms(int milliseconds) {
    if (pauses_counted)
        counted_pause_ms += milliseconds;
    else
        platform_sleep_ms(milliseconds);
}
