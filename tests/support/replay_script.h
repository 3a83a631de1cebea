// What the replay tests, the replay fuzz target and the golden games share:
// the input a fresh program starts with, the scripts' dice, and a file played
// back through the rule steps as varnhold-sim --replay plays it.
#pragma once

#include <cstdint>

#include "replay/replay_player.h"

// splitmix64: a script's own choices, the same on every compiler.
struct Dice {
    uint64_t state;
    uint64_t next();
    int below(int n);
};

// Keys, buttons, mouse, window, selection, help, speed and size as a fresh
// program has them before its first deal.
void start_as_the_program_does();
// Opens PATH, deals its first game and plays it with PASS until a step that
// is not a plain pass, or MOST passes: false when the file would not open.
// A first deal that is not the header's ends it as replay_step_differs.
bool play_replay_file(const char* path, ReplayPlayer* player, ReplayStep* step, ReplayPassFunction pass,
                      uint64_t most);
