// What a replay keeps of each loop pass, and the fixed words and limits of
// its file, shared by the writer and the reader (docs/replays.md).
#pragma once

#include <cstdint>

constexpr const char* replay_format_name = "varnhold-replay";
constexpr int replay_format_version = 1;

// The longest line either side handles, newline included: a pass in which
// every key and button changed at once still fits.
constexpr int replay_line_capacity = 4096;
// The most passes one run line may repeat.
constexpr uint32_t replay_longest_run = 1000000;
// The most passes a replay may hold: over four hundred hours of frames, or
// a long while of a minimised game spinning with a key held; no more, so
// that no file, however small, keeps a reader busy for long.
constexpr uint64_t replay_most_passes = 100000000;
// The longest game version the header may name.
constexpr int replay_version_capacity = 32;

// The mouse reaches the rules only through the cursor tile's offsets and,
// while Space is down, the spin's column; these are the offsets and columns
// that a mouse position from 0 to 65535 in each direction can give.
constexpr int32_t replay_least_cursor_dx = -20;
constexpr int32_t replay_most_cursor_dx = 4075;
constexpr int32_t replay_least_cursor_dy = -5441;
constexpr int32_t replay_most_cursor_dy = 20;
constexpr int32_t replay_most_column = 65535;

// Every digest and end line carries a 32-bit FNV-1a hash of all the bytes
// of the file before it, so that a byte changed anywhere, even in an input
// no rule happened to read, is found at the next digest at the latest.
constexpr uint32_t file_hash_start = 0x811c9dc5u;
uint32_t hash_file_bytes(uint32_t hash, const char* bytes, int count);

// What the rules read from outside the world in one loop pass.
struct PassInput {
    uint8_t keys[256];         // the event-driven key table, 0 or 1
    uint8_t direct_keys[256];  // what key_down answered in the pass, 0 or 1
    uint8_t buttons[3];        // mouse_buttons, 0 or 1
    int32_t cursor_dx;         // the cursor tile's offsets as the frame finds them
    int32_t cursor_dy;
    int32_t spin_column;       // mouse_x as the spin reads it while Space is down
    uint8_t frame_runs;        // window_active: 1 when the pass runs a frame
    uint8_t deals;             // 1 when a deal happens in this pass...
    uint32_t deal_seed;        // ...from this seed
};

// Where both sides start: nothing down, cursor offsets 0 0, column 0, frames run.
void clear_pass_input(PassInput* input);
