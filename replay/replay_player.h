// Playing a replay back: each pass's recorded inputs put where the rules
// read them, the pass run by the caller's own function (the window's frame
// or the rule steps alone), and the recorded digests checked.
#pragma once

#include <cstdint>

#include "replay/replay_reader.h"

enum ReplayStep {
    replay_step_played,    // one pass played; more follow
    replay_step_finished,  // the game's end reached, every digest matched
    replay_step_cut,       // the file stops before the game's end
    replay_step_bad,       // the file is damaged
    replay_step_differs,   // the replayed game parts from the recorded one
};

// Runs one pass of the game on the inputs as they are now; true when the
// pass ended the game (Escape).
using ReplayPassFunction = bool (*)();

struct ReplayPlayer {
    ReplayReader reader;
    ReplayHeader header;
    const char* path;
    PassInput inputs;
    bool has_pending;
    ReplayRecordType pending_type;
    ReplayRecord pending;
    uint32_t run_left;
    uint64_t frames;           // frames run so far
    uint64_t passes;           // passes played so far
    uint32_t digests_checked;  // digests that matched, the end's included
    uint32_t deals_at_open;
    // When a digest differs: the recorded one, the replayed one, and where.
    StateDigest recorded;
    StateDigest replayed;
    uint64_t differs_at_frame;
    bool differs_by_digest;  // recorded and replayed hold the two digests
    char message[replay_error_capacity + 96];  // one line on anything but played
};

// Opens the file and reads its header; false with message set.
bool replay_open(ReplayPlayer* player, const char* path);
// Call once the first deal is made (from header.first_seed); false with
// message set when the deal is not the recorded one.
bool replay_check_first_deal(ReplayPlayer* player);
// One pass: its inputs, run_pass, and the checks that follow it.
ReplayStep replay_play_pass(ReplayPlayer* player, ReplayPassFunction run_pass);
void replay_close(ReplayPlayer* player);

// A mouse column and row that give these cursor offsets (and so this tile).
int32_t mouse_column_for_offset(int32_t dx);
int32_t mouse_row_for_offset(int32_t dy);
