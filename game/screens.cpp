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
    "F9 save the game.",
};

void draw_white(int x, int y) { draw_text(x, y, 255, 255, 255); }

int line_y(int line) { return first_line_y - line * line_step; }

void draw_help() {
    int line = 0;
    for (const char* text : help_lines) {
        format_text("%s", text);
        draw_white(text_x, line_y(line++));
    }
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

void draw_screens(const View& view) {
    if (view.help_visible)
        draw_help();
    else
        draw_status(view);
    if (frame_counter < intro_frames && !view.help_visible) draw_image(intro_x, intro_y, intro_slot);
    draw_end_lines();
    draw_end_screen();
    draw_notice();
}

void show_notice(const char* text) {
    std::snprintf(notice, sizeof notice, "%s", text);
    notice_left = notice_frames;
}
