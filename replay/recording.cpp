#include "replay/recording.h"

#include <cstdio>
#include <cstring>

#include "app/input_state.h"
#include "app/options.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "replay/replay_folder.h"
#include "replay/replay_writer.h"
#include "world/game_state.h"
#include "world/new_game.h"

namespace {

constexpr int path_capacity = 4096;

ReplayWriter writer;
char path[path_capacity];
PassInput pass;
uint64_t frames = 0;
uint32_t deals_before = 0;
int32_t column_before = 0;

// A pass that runs no frame changes the game only through the view keys
// that move the camera or the scroll, or by ending it.
bool view_keys_move_anything() {
    return keys[vk_page_up] || keys[vk_page_down] || keys[vk_up] || keys[vk_down] || keys[vk_left] ||
           keys[vk_right] || keys[vk_escape];
}

}  // namespace

void start_recording(const char* record_path, bool no_record) {
    writer = ReplayWriter();
    frames = 0;
    clear_pass_input(&pass);
    if (no_record) return;
    if (record_path) {
        std::snprintf(path, sizeof path, "%s", record_path);
    } else if (!new_replay_path(path, sizeof path)) {
        return;
    }
    const char* version = version_text();
    const char* number = std::strchr(version, ' ');
    writer_open(&writer, path, number ? number + 1 : version, last_deal_seed());
}

void record_pass_begins() {
    if (!writer_is_open(writer)) return;
    std::memcpy(pass.keys, keys, sizeof pass.keys);
    for (int b = 0; b < 3; ++b) pass.buttons[b] = mouse_buttons[b] == 1;
    pass.cursor_dx = cursor_offset_for_column(mouse_x);
    pass.cursor_dy = cursor_offset_for_row(mouse_y);
    pass.frame_runs = window_active == 1;
    column_before = mouse_x;
    deals_before = deal_count();
}

void record_pass_ends() {
    if (!writer_is_open(writer)) return;
    for (int vk = 0; vk < 256; ++vk)
        if (const uint8_t read = key_read_in_pass(vk)) pass.direct_keys[vk] = read == 2;
    if (pass.frame_runs && key_read_in_pass(vk_space) == 2) pass.spin_column = column_before;
    pass.deals = deal_count() != deals_before;
    pass.deal_seed = pass.deals ? last_deal_seed() : 0;
    if (!pass.frame_runs && !pass.deals && !view_keys_move_anything()) return;
    writer_pass(&writer, pass);
    pass.deals = 0;
    if (!pass.frame_runs) return;
    ++frames;
    if (census_frame()) writer_digest(&writer, frames, digest_game_state());
}

void stop_recording() {
    if (writer_is_open(writer)) writer_close(&writer, frames, digest_game_state());
}

const char* recording_path() { return writer_is_open(writer) ? path : nullptr; }

uint64_t recorded_frames() { return frames; }
