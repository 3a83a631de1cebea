// Playing a replay back: each frame's recorded commands (format 2), or each
// pass's recorded input with the recorded player's view (format 1), handed
// to the caller's own function (the window's frame or the rule steps
// alone), and the recorded digests checked.
#pragma once

#include <cstdint>

#include "game/pass_input.h"
#include "game/view.h"
#include "replay/replay_reader.h"

enum ReplayStep {
    replay_step_played,    // one pass (frame) played; more follow
    replay_step_finished,  // the game's end reached, every digest matched
    replay_step_cut,       // the file stops before the game's end
    replay_step_bad,       // the file is damaged
    replay_step_differs,   // the replayed game parts from the recorded one
};

// What one turn of the replay gives to run: format 2 a frame on commands;
// format 1 the recorded player's pass (frame or not, view keys and all) on
// person, through view, which the player keeps for it.
struct ReplayTurn {
    const FrameCommands* commands;  // format 2, else null
    const PassInput* person;        // format 1, else null
    View* view;                     // format 1, else null
};
// Runs one turn; true when it ended the game (Escape in format 1).
using ReplayPassFunction = bool (*)(const ReplayTurn& turn);
// The turn through the rule steps alone, drawing nothing: format 2's frame
// on its commands; format 1's recorded pass with its view steps, which that
// format's digests cover. What varnhold-sim --replay plays.
bool replay_turn_by_rules(const ReplayTurn& turn);

struct ReplayPlayer {
    ReplayReader reader;
    ReplayHeader header;
    const char* path;
    PassInput inputs;         // format 1: the recorded pass
    FrameCommands commands;   // format 2: the recorded frame
    View view;                // format 1: the recorded player's, moved by their recorded keys
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
// Call once the first deal is made (from header.first_seed): loads the
// snapshot the game starts from, if it does, and seats the sides as the
// header says. False with message set when the deal is not the recorded
// one or the snapshot cannot be loaded.
bool replay_check_first_deal(ReplayPlayer* player);
// The view's fields that format 1's digests cover.
DigestView digest_view_of(const View& view);
// One pass (frame): its inputs, run_pass, and the checks that follow it.
ReplayStep replay_play_pass(ReplayPlayer* player, ReplayPassFunction run_pass);
void replay_close(ReplayPlayer* player);

// Everything the player has counted and holds between two passes, with the
// reader's place in the file: what goes with a snapshot of the game at that
// frame so that playing on from it reads on from the right line.
struct ReplayPlace {
    ReaderPlace reader;
    PassInput inputs;
    FrameCommands commands;
    View view;
    uint32_t deals_unseen;  // the deals the view had still to follow
    bool has_pending;
    ReplayRecordType pending_type;
    ReplayRecord pending;
    uint32_t run_left;
    uint64_t frames;
    uint64_t passes;
    uint32_t digests_checked;
};
ReplayPlace replay_place(ReplayPlayer* player);
// The player back at a place it was at; the game's state is the caller's
// (a snapshot taken there). False when the file cannot seek.
bool replay_go_to(ReplayPlayer* player, const ReplayPlace& place);
