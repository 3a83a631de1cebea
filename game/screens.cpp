#include "game/screens.h"

#include <cstdio>

#include "render/overlay.h"
#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

constexpr int text_x = 40;
constexpr int first_line_y = 420;
constexpr int line_step = 20;
constexpr int end_x = 100;
constexpr int end_line_y = 280;
constexpr int new_game_line_y = 260;
constexpr int intro_slot = 3;
constexpr int intro_x = 200;
constexpr int intro_y = 200;
constexpr int intro_frames = 3000;
constexpr int notice_y = 40;

const char* const help_lines[] = {
    "VARNHOLDSKIRMISHBUILD0042B HELP",
    "F1 start new game.",
    "F2-F4 different unit size.",
    "SHIFT-Dir. change view, PGDWN-PGUP zoom.",
    "Dir. move map.",
    "Space rotate with mouse.",
    "0 and backspace, move screen over last unit.",
    "Left click recruit.",
    "Right click move and attack.",
    "ESC quit.",
    "F5-F8 change speed.",
    "M move window.",
    "Alt+Enter full screen.",
    "Enter chat, in a network game.",
};
const char* const save_help_line = "F9 save the game.";
// A replay watched takes none of the game's commands: its page holds the
// viewer's keys and the view's, above the lines a paused replay shows.
const char* const replay_help_lines[] = {
    "VARNHOLDSKIRMISHBUILD0042B REPLAY HELP",
    "Space pause, + and - replay speed.",
    ", and . back and on 10 seconds.",
    "[ and ] back and on a minute.",
    "Home and End to the start and the end.",
    "T take over: play on from here.",
    "C hide or show the chat.",
    "F2-F4 different unit size.",
    "SHIFT-Dir. change view, PGDWN-PGUP zoom.",
    "Dir. move map.",
    "ESC leave the replay.",
};

constexpr int bar_left = 240;
constexpr int bar_right = 600;
constexpr int bar_bottom = 9;
constexpr int bar_top = 19;
constexpr int bar_text_y = 21;
constexpr uint64_t frames_per_second = 60;

void draw_white(int x, int y) { draw_text(x, y, 255, 255, 255); }

int line_y(int line) { return first_line_y - line * line_step; }

void draw_lines(const char* const* lines, int count) {
    for (int line = 0; line < count; ++line) {
        format_text("%s", lines[line]);
        draw_white(text_x, line_y(line));
    }
}

void draw_help() {
    constexpr int game_lines = sizeof help_lines / sizeof help_lines[0];
    if (time_bar.shown) {
        draw_lines(replay_help_lines, sizeof replay_help_lines / sizeof replay_help_lines[0]);
        return;
    }
    draw_lines(help_lines, game_lines);
    format_text("%s", save_help_line);
    draw_white(text_x, line_y(game_lines));
}

void format_time(uint64_t frames, char* text, int size) {
    const uint64_t seconds = frames / frames_per_second;
    std::snprintf(text, static_cast<size_t>(size), "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
}

// The time played and the whole, and a bar filled as far as the replay is.
void draw_time_bar() {
    if (!time_bar.shown) return;
    char at[32], whole[32];
    format_time(time_bar.frame, at, sizeof at);
    format_time(time_bar.length, whole, sizeof whole);
    format_text("%s / %s", at, whole);
    draw_white(text_x, bar_text_y);
    draw_line(bar_left, bar_bottom, bar_right, bar_bottom, 160, 160, 160);
    draw_line(bar_left, bar_top, bar_right, bar_top, 160, 160, 160);
    draw_line(bar_left, bar_bottom, bar_left, bar_top, 160, 160, 160);
    draw_line(bar_right, bar_bottom, bar_right, bar_top, 160, 160, 160);
    const uint64_t shown = time_bar.frame < time_bar.length ? time_bar.frame : time_bar.length;
    const int filled = time_bar.length ? static_cast<int>(shown * (bar_right - bar_left) / time_bar.length) : 0;
    for (int y = bar_bottom + 2; y <= bar_top - 2; ++y)
        if (filled > 0) draw_line(bar_left + 1, y, bar_left + filled, y, 255, 255, 255);
}

void draw_status(const View& view) {
    format_text("VARNHOLDSKIRMISHBUILD0042B");
    draw_white(text_x, line_y(0));
    format_text("Press H for help.");
    draw_white(text_x, line_y(1));
    format_text("map_sx=%d map_sy=%d", view.map_sx, view.map_sy);
    draw_white(text_x, line_y(2));
    format_text("selected_unit=%d", selected_unit[view.side]);
    draw_white(text_x, line_y(3));
    format_text("map_ex=%d map_ey=%d", view.map_sx + view.cursor_dx, view.map_sy + view.cursor_dy);
    draw_white(text_x, line_y(4));
    format_text("empire_%d_gold=%2.2f", view.side, static_cast<double>(unit_table[view.side].gold));
    draw_white(text_x, line_y(5));
    if (!save_key_offered) return;
    format_text("Press F9 to save.");
    draw_white(text_x, line_y(6));
}

// The typed line at the foot; the said lines above it, clear of a
// replay's time bar and of a notice.
constexpr int chat_x = 8;
constexpr int chat_typed_y = 16;
constexpr int chat_lowest_y = 76;
constexpr int chat_line_step = 16;

void draw_chat() {
    for (int i = 0; i < chat_screen.line_count && i < chat_screen_lines; ++i) {
        format_text("%s", chat_screen.lines[i]);
        draw_white(chat_x, chat_lowest_y + (chat_screen.line_count - 1 - i) * chat_line_step);
    }
    if (!chat_screen.typing) return;
    format_text("%s", chat_screen.typed);
    draw_white(chat_x, chat_typed_y);
}

char notice[160];
int notice_left = 0;

void draw_notice() {
    if (notice_left <= 0) return;
    --notice_left;
    format_text("%s", notice);
    draw_white(text_x, notice_y);
}

// The three end lines share one place; when all are set the tie is on top.
void draw_end_lines() {
    if (empire_0_won) {
        format_text("Victory for empire 0. (player) VICTORY VICTORY VICTORY");
        draw_white(end_x, end_line_y);
    }
    if (empire_1_won) {
        format_text("Victory for empire 1. (computer) VICTORY VICTORY VICTORY");
        draw_white(end_x, end_line_y);
    }
    if (tie) {
        format_text("Victory is a tie. (player and computer) VICTORY VICTORY VICTORY");
        draw_white(end_x, end_line_y);
    }
}

// The picture goes over the end lines.
void draw_end_screen() {
    if (!game_over()) return;
    draw_image(intro_x, intro_y, intro_slot);
    format_text("Press F1 to start a new game.");
    draw_white(end_x, new_game_line_y);
}

}  // namespace

bool save_key_offered = false;
TimeBar time_bar = {false, 0, 0};
ChatScreen chat_screen = {};

void draw_screens(const View& view) {
    if (view.help_visible)
        draw_help();
    else
        draw_status(view);
    if (frame_counter < intro_frames && !view.help_visible) draw_image(intro_x, intro_y, intro_slot);
    draw_end_lines();
    draw_end_screen();
    draw_notice();
    draw_time_bar();
    draw_chat();
}

void show_notice(const char* text) {
    std::snprintf(notice, sizeof notice, "%s", text);
    notice_left = notice_frames;
}
