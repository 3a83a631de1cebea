// What the player reads: status lines or help, the intro picture, and the
// end-of-game lines, all written into the overlay for the view's side.
#pragma once

#include <cstdint>

#include "game/view.h"

// The lines and pictures, changing nothing.
void draw_screens(const View& view);

// Set where F9 saves the game (a game at home): the status says so.
extern bool save_key_offered;
// Set while a replay is watched: a bar at the foot of the screen shows where
// the replay is and how long it is (its frames at 60 a second), and the help
// page lists the viewer's keys in place of saving.
struct TimeBar {
    bool shown;
    uint64_t frame;
    uint64_t length;
};
extern TimeBar time_bar;

// Set in a network game and in a replay of one: what the players said,
// lines already broken to fit, drawn from the foot of the screen up, the
// last one lowest, and under them the line being typed, when one is.
constexpr int chat_screen_lines = 8;
constexpr int chat_screen_columns = 79;
struct ChatScreen {
    int line_count;
    char lines[chat_screen_lines][chat_screen_columns + 1];
    bool typing;
    char typed[chat_screen_columns + 1];
};
extern ChatScreen chat_screen;

// A line of the program's own (a save made, or why it could not be) shown
// at the foot of the screen for the next notice_frames frames.
constexpr int notice_frames = 300;
void show_notice(const char* text);
