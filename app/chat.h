// Chat in the window: the line the player types (which keys it takes from
// the game while it is open) and the board of what both sides said.
#pragma once

#include <cstdint>

// The most characters a message holds, and the most messages on screen.
constexpr int chat_text_capacity = 80;
constexpr int chat_board_messages = 4;
// How long a message stays on the board, in game time: its frames at 60 a
// second, so that a slow machine, a stalled game or a replay watched at any
// speed shows it for the same frames.
constexpr int64_t chat_shown_ms = 10000;
int64_t chat_clock_ms(uint64_t frames);

struct ChatEntry {
    int side;
    int64_t said_ms;  // on the board's clock
    char text[chat_text_capacity + 1];
};

struct ChatBoard {
    ChatEntry entries[chat_board_messages];  // oldest first
    int count;
    bool hidden;
};

struct ChatLine {
    bool open;
    bool shift;  // as the key events left it: a key typed is read with the Shift of its moment
    int length;
    char text[chat_text_capacity + 1];
};

enum ChatKeyResult {
    chat_key_passed,  // the line is closed and the key is not Enter: the game's
    chat_key_taken,   // the line opened, closed, or typed: nobody else sees it
    chat_key_send,    // Enter on a line with text: send line.text
};

// A key going down or up (a Windows virtual-key code) while the network
// game runs. A key going up always passes, so that a key held as the line
// opens is let go in the game's table too; so does Shift, which the line
// only notes.
ChatKeyResult chat_line_key(ChatLine* line, int vk, bool down);
// After a send the line closes empty; a send held back by the rate stays.
void chat_line_sent(ChatLine* line);
// The character a key types, or 0: letters, digits, space and the
// punctuation of a US keyboard, with Shift.
char chat_character(int vk, bool shift);

// A message on the board at now_ms; the oldest goes when it is full.
void chat_board_add(ChatBoard* board, int side, const char* text, int64_t now_ms);
void chat_board_clear(ChatBoard* board);
// What the frame draws: the board's messages younger than chat_shown_ms
// (none when hidden), each after its side's name and broken to fit, and the
// typed line when it is open (null for none).
void chat_board_to_screen(const ChatBoard& board, const ChatLine* line, int64_t now_ms);
