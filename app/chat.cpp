#include "app/chat.h"

#include <cstdio>
#include <cstring>

#include "game/pass_input.h"
#include "game/screens.h"

namespace {

constexpr int vk_enter = 0x0D;

// The keys of a US keyboard's punctuation (the Windows OEM codes), with
// their characters unshifted and shifted.
struct PunctuationKey {
    int vk;
    char plain;
    char shifted;
};
constexpr PunctuationKey punctuation_keys[] = {
    {0xBA, ';', ':'}, {0xBB, '=', '+'}, {0xBC, ',', '<'},  {0xBD, '-', '_'}, {0xBE, '.', '>'}, {0xBF, '/', '?'},
    {0xC0, '`', '~'}, {0xDB, '[', '{'}, {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'},
};
constexpr char shifted_digits[] = ")!@#$%^&*(";

// Breaks "name: text" into lines of chat_screen_columns, at a space where
// one lies in the line's last third; returns the lines made (at most room).
int break_message(const char* whole, char lines[][chat_screen_columns + 1], int room) {
    int count = 0;
    int length = static_cast<int>(std::strlen(whole));
    while (length > 0 && count < room) {
        int cut = length;
        if (length > chat_screen_columns) {
            cut = chat_screen_columns;
            while (cut > chat_screen_columns * 2 / 3 && whole[cut] != ' ') --cut;
            if (whole[cut] != ' ') cut = chat_screen_columns;
        }
        std::snprintf(lines[count++], chat_screen_columns + 1, "%.*s", cut, whole);
        whole += cut;
        length -= cut;
        while (*whole == ' ') ++whole, --length;
    }
    return count;
}

}  // namespace

int64_t chat_clock_ms(uint64_t frames) { return static_cast<int64_t>(frames * 1000 / 60); }

char chat_character(int vk, bool shift) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9') return shift ? shifted_digits[vk - '0'] : static_cast<char>(vk);
    if (vk == vk_space) return ' ';
    for (const PunctuationKey& key : punctuation_keys)
        if (key.vk == vk) return shift ? key.shifted : key.plain;
    return 0;
}

ChatKeyResult chat_line_key(ChatLine* line, int vk, bool down) {
    if (vk == vk_shift) line->shift = down;
    if (!down || vk == vk_shift) return chat_key_passed;
    if (!line->open) {
        if (vk != vk_enter) return chat_key_passed;
        line->open = true;
        line->length = 0;
        line->text[0] = '\0';
        return chat_key_taken;
    }
    if (vk == vk_escape) {
        line->open = false;
    } else if (vk == vk_enter) {
        if (line->length > 0) return chat_key_send;
        line->open = false;
    } else if (vk == vk_backspace) {
        if (line->length > 0) line->text[--line->length] = '\0';
    } else {
        const char typed = chat_character(vk, line->shift);
        if (typed && line->length < chat_text_capacity) {
            line->text[line->length++] = typed;
            line->text[line->length] = '\0';
        }
    }
    return chat_key_taken;
}

void chat_line_sent(ChatLine* line) {
    line->open = false;
    line->length = 0;
    line->text[0] = '\0';
}

void chat_board_add(ChatBoard* board, int side, const char* text, int64_t now_ms) {
    if (board->count == chat_board_messages) {
        std::memmove(board->entries, board->entries + 1, sizeof board->entries[0] * (chat_board_messages - 1));
        --board->count;
    }
    ChatEntry& entry = board->entries[board->count++];
    entry.side = side;
    entry.said_ms = now_ms;
    std::snprintf(entry.text, sizeof entry.text, "%s", text);
}

void chat_board_clear(ChatBoard* board) { board->count = 0; }

void chat_board_to_screen(const ChatBoard& board, const ChatLine* line, int64_t now_ms) {
    chat_screen.line_count = 0;
    for (int i = 0; i < board.count && !board.hidden; ++i) {
        const ChatEntry& entry = board.entries[i];
        if (now_ms - entry.said_ms >= chat_shown_ms || now_ms < entry.said_ms) continue;
        char whole[chat_text_capacity + 16];
        std::snprintf(whole, sizeof whole, "Empire %d: %s", entry.side, entry.text);
        char lines[2][chat_screen_columns + 1];
        const int made = break_message(whole, lines, 2);
        // The newest lines win when more were said than the screen holds.
        for (int k = 0; k < made; ++k) {
            if (chat_screen.line_count == chat_screen_lines) {
                std::memmove(chat_screen.lines, chat_screen.lines + 1, sizeof chat_screen.lines[0] * (chat_screen_lines - 1));
                --chat_screen.line_count;
            }
            std::memcpy(chat_screen.lines[chat_screen.line_count++], lines[k], sizeof lines[k]);
        }
    }
    chat_screen.typing = line && line->open;
    if (!chat_screen.typing) return;
    // The end of a long line shows, where the typing goes on.
    char typed[chat_text_capacity + 16];
    const int length = std::snprintf(typed, sizeof typed, "Say: %s_", line->text);
    const int from = length > chat_screen_columns ? length - chat_screen_columns : 0;
    std::snprintf(chat_screen.typed, sizeof chat_screen.typed, "%s", typed + from);
}
