// What the player reads: status lines or help, the intro picture, and the
// end-of-game lines, all written into the overlay for the view's side.
#pragma once

#include "game/view.h"

// The lines and pictures, changing nothing.
void draw_screens(const View& view);

// Set where F9 saves the game (a game at home): the status says so.
extern bool save_key_offered;
// A line of the program's own (a save made, or why it could not be) shown
// at the foot of the screen for the next notice_frames frames.
constexpr int notice_frames = 300;
void show_notice(const char* text);
