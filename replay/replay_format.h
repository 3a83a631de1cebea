// What a replay keeps of a game, and the fixed words and limits of its
// file, shared by the writer and the reader (docs/replays.md). Format 4
// keeps each side's commands frame by frame from a deal or a snapshot, and
// what the players said to each other; format 3 the same without the chat;
// format 2 did the same from a deal with a smaller digest; format 1 kept
// its player's loop passes.
#pragma once

#include <cstdint>

#include "game/pass_input.h"
#include "game/side_command.h"
#include "state/snapshot.h"
#include "state/state_digest.h"

constexpr const char* replay_format_name = "varnhold-replay";
constexpr int replay_format_version = 4;
// The first format that holds chat lines.
constexpr int replay_chat_format_version = 4;
constexpr int replay_oldest_format_version = 1;

// What the header says of the game besides its first seed.
struct ReplayGame {
    uint8_t person[side_count];  // 1 where a person plays the side, 0 for the computer
    int local_side;              // the side whose player's game this file is
    int delay;                   // frames between a command and its frame (0 at home)
};
// The digest a format's census lines carry.
DigestForm digest_form_of_format(int format_version);
// A game that starts from a snapshot keeps its bytes in the header, this
// many to a line of hex digits.
constexpr int replay_snapshot_bytes_per_line = 64;
// A person on side 0 against the computer, at home: every format-1 game.
ReplayGame game_at_home();
constexpr int replay_most_delay = 600;

// The longest line either side handles, newline included: a pass in which
// every key and button changed at once, or a frame in which every field of
// both commands did, still fits.
constexpr int replay_line_capacity = 4096;
// The most passes (frames in format 2) one run line may repeat.
constexpr uint32_t replay_longest_run = 1000000;
// The most passes a replay may hold: over four hundred hours of frames, or
// a long while of a minimised game spinning with a key held; no more, so
// that no file, however small, keeps a reader busy for long.
constexpr uint64_t replay_most_passes = 100000000;
// A chat line's text: 1 to this many printable characters, as a network
// game's packets carry it.
constexpr int replay_chat_capacity = 80;
// Chat lines a reader keeps until the player takes them; a file that
// holds more between two frames loses the oldest.
constexpr int replay_chats_kept = 8;
struct ReplayChat {
    int side;
    char text[replay_chat_capacity + 1];
};
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
