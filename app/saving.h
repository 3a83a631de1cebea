// Saving a game at home from its window: F9 saves it under a dated name, and
// leaving it (Escape or the close button) saves it as an autosave; a line on
// screen names the file or says why there is none. And reading the save a
// game continues from, before any window opens.
#pragma once

#include "app/options.h"
#include "game/pass_input.h"
#include "state/shared_state.h"

constexpr int vk_f9 = 0x78;

// After a pass's frame: F9 pressed since the last pass saves once.
void save_on_key(const PassInput& input);
// F9 pressed since the last pass (a network game asks both sides to save).
bool save_key_pressed(const PassInput& input);
// The empire this player plays, named in its saves from now on (a network
// game's guest plays 1; the game at home 0).
void save_as_side(int side);
// The game as it stands under a dated name, with its line on screen.
void save_now();
// The game as it stands when the player leaves it.
void autosave_on_leaving();
// The save that --load names, or --continue's newest, read and checked
// into *state. False after one line (and a message box): nothing to continue.
bool read_save_to_continue(const GameOptions& options, SharedState* state);
// Once it is loaded: a line on screen and on stdout names the save.
void note_continued_save();
