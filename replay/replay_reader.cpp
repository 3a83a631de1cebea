#include "replay/replay_reader.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

namespace {

enum LineResult { line_read, line_end_of_file, line_cut, line_too_long, line_bad_byte };

// One line into text without its newline. Only printable ASCII belongs in
// a replay; a line that does not end in a newline is what a cut-off write
// leaves, and is dropped.
LineResult read_line(std::FILE* file, char* text, int capacity, int* read_length) {
    int length = 0;
    *read_length = 0;
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) return length == 0 ? line_end_of_file : line_cut;
        if (c == '\n') break;
        if (c < 0x20 || c > 0x7e) return line_bad_byte;
        if (length >= capacity - 1) return line_too_long;
        text[length++] = static_cast<char>(c);
    }
    text[length] = '\0';
    *read_length = length;
    return line_read;
}

// The line as it stood in the file, newline included.
uint32_t hash_line(uint32_t hash, const char* text, int length) {
    hash = hash_file_bytes(hash, text, length);
    return hash_file_bytes(hash, "\n", 1);
}

// Decimal digits, an optional minus sign where allowed, within [least, most],
// written as the writer's printf writes them: no leading zero, no "-0", so
// that each number has one spelling and a file that reads is one the game
// could have written.
bool parse_number(const char** cursor, int64_t least, int64_t most, int64_t* value) {
    const char* p = *cursor;
    bool negative = false;
    if (*p == '-' && least < 0) {
        negative = true;
        ++p;
    }
    if (*p < '0' || *p > '9') return false;
    if (*p == '0' && (negative || (p[1] >= '0' && p[1] <= '9'))) return false;
    int64_t magnitude = 0;
    const int64_t limit = negative ? -least : most;
    while (*p >= '0' && *p <= '9') {
        const int digit = *p - '0';
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
        ++p;
    }
    *value = negative ? -magnitude : magnitude;
    if (*value < least || *value > most) return false;
    *cursor = p;
    return true;
}

bool parse_hex(const char** cursor, int digits, uint64_t* value) {
    uint64_t result = 0;
    const char* p = *cursor;
    for (int i = 0; i < digits; ++i, ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        else if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
        else return false;
        result = result << 4 | static_cast<uint64_t>(digit);
    }
    *value = result;
    *cursor = p;
    return true;
}

bool fail(ReplayReader* reader, const char* what) {
    std::snprintf(reader->error, sizeof reader->error, "line %" PRIu64 ": %s", reader->line_number, what);
    return false;
}

// "+HH" or "-HH" for a key or a button below limit.
// "m SIDE TEXT": what a side said, 1 to replay_chat_capacity printable characters.
bool parse_chat(ReplayReader* reader, const char* text) {
    const char* p = text + 1;
    int64_t side = 0;
    if (*p++ != ' ' || !parse_number(&p, 0, side_count - 1, &side) || *p++ != ' ')
        return fail(reader, "a chat line this game cannot read");
    const size_t length = std::strlen(p);
    if (length < 1 || length > replay_chat_capacity) return fail(reader, "a chat line of no text or too long a text");
    if (reader->chat_count == replay_chats_kept) {
        std::memmove(reader->chats, reader->chats + 1, sizeof reader->chats[0] * (replay_chats_kept - 1));
        --reader->chat_count;
        ++reader->chats_lost;
    }
    ReplayChat& chat = reader->chats[reader->chat_count++];
    chat.side = static_cast<int>(side);
    std::memcpy(chat.text, p, length + 1);
    return true;
}

bool parse_table_change(const char** p, int limit, uint8_t* table) {
    const char sign = **p;
    if (sign != '+' && sign != '-') return false;
    ++*p;
    uint64_t index = 0;
    const int digits = limit > 16 ? 2 : 1;
    if (!parse_hex(p, digits, &index) || index >= static_cast<uint64_t>(limit)) return false;
    table[index] = sign == '+' ? 1 : 0;
    return true;
}

// One change of a pass line; false on anything but a sound change.
bool parse_change(const char** p, PassInput* input) {
    int64_t a = 0, b = 0;
    switch (*(*p)++) {
    case 'a':
        if (!parse_number(p, 0, 1, &a)) return false;
        input->frame_runs = static_cast<uint8_t>(a);
        return true;
    case 'k': return parse_table_change(p, 256, input->keys);
    case 'd': return parse_table_change(p, 256, input->direct_keys);
    case 'b': return parse_table_change(p, 3, input->buttons);
    case 'c':
        if (!parse_number(p, replay_least_cursor_dx, replay_most_cursor_dx, &a) || *(*p)++ != ',' ||
            !parse_number(p, replay_least_cursor_dy, replay_most_cursor_dy, &b))
            return false;
        input->cursor_dx = static_cast<int32_t>(a);
        input->cursor_dy = static_cast<int32_t>(b);
        return true;
    case 'x':
        if (!parse_number(p, 0, replay_most_column, &a)) return false;
        input->spin_column = static_cast<int32_t>(a);
        return true;
    case 's':
        if (input->deals) return false;
        input->deals = 1;
        if (**p == ' ' || **p == '\0') return true;  // the seed of the deal before
        if (!parse_number(p, 0, UINT32_MAX, &a)) return false;
        input->deal_seed = static_cast<uint32_t>(a);
        return true;
    default: return false;
    }
}

bool parse_pass(ReplayReader* reader, const char* text, PassInput* inputs) {
    PassInput next = *inputs;
    next.deals = 0;
    const char* p = text + 1;
    while (*p) {
        if (*p++ != ' ' || !parse_change(&p, &next)) return fail(reader, "a pass with a change this game does not know");
        if (*p != ' ' && *p != '\0') return fail(reader, "a pass with a change this game does not know");
    }
    *inputs = next;
    return true;
}

// "+" or "-": a button down or up.
bool parse_level(const char** p, uint8_t* level) {
    const char sign = *(*p)++;
    if (sign != '+' && sign != '-') return false;
    *level = sign == '+';
    return true;
}

// What a frame line may change of one side's command, in the order the
// writer writes the changes.
enum ChangeField { change_cursor, change_left, change_right, change_deal, change_pace, change_fields };

// One change of a frame line: the side's digit, then what changed. Only what
// the writer writes is taken: a real change, after every change it puts
// before it (side 0's before side 1's, each side's in ChangeField order, none
// twice), so that a line that reads has one meaning and one spelling.
bool parse_side_change(const char** p, FrameCommands* commands, int* last_change) {
    const char digit = *(*p)++;
    if (digit < '0' || digit >= '0' + side_count) return false;
    SideCommand& command = commands->side[digit - '0'];
    const SideCommand before = command;
    int64_t a = 0, b = 0;
    int field = change_cursor;
    switch (*(*p)++) {
    case 'c':
        if (!parse_number(p, INT32_MIN, INT32_MAX, &a) || *(*p)++ != ',' || !parse_number(p, INT32_MIN, INT32_MAX, &b))
            return false;
        command.has_cursor = 1;
        command.cursor_x = static_cast<int32_t>(a);
        command.cursor_y = static_cast<int32_t>(b);
        break;
    case 'n': command.has_cursor = 0; break;
    case 'l':
        if (!parse_level(p, &command.left)) return false;
        field = change_left;
        break;
    case 'r':
        if (!parse_level(p, &command.right)) return false;
        field = change_right;
        break;
    case 's':
        field = change_deal;
        if (**p == '-') {
            ++*p;
            command.deals = 0;
            break;
        }
        if (!parse_number(p, 0, UINT32_MAX, &a)) return false;
        command.deals = 1;
        command.deal_seed = static_cast<uint32_t>(a);
        break;
    case 'p':
        if (!parse_number(p, pace_unchanged, pace_slowest_key, &a)) return false;
        command.pace = static_cast<uint8_t>(a);
        field = change_pace;
        break;
    default: return false;
    }
    const int order = (digit - '0') * change_fields + field;
    if (order <= *last_change || same_command(before, command)) return false;
    *last_change = order;
    return true;
}

// A frame with no change is never a bare "f": the writer counts it in a run.
bool parse_frame(ReplayReader* reader, const char* text, FrameCommands* commands) {
    FrameCommands next = *commands;
    const char* p = text + 1;
    int last_change = -1;
    if (!*p) return fail(reader, "a frame line without a change");
    while (*p) {
        if (*p++ != ' ' || !parse_side_change(&p, &next, &last_change))
            return fail(reader, "a frame with a change this game does not know");
        if (*p != ' ' && *p != '\0') return fail(reader, "a frame with a change this game does not know");
    }
    *commands = next;
    return true;
}

// "d FRAME DIGEST FINGERPRINT" and "e ..." alike.
bool parse_state(ReplayReader* reader, const char* text, ReplayRecord* record) {
    const char* p = text + 1;
    int64_t frame = 0;
    uint64_t whole = 0;
    uint64_t file_hash = 0;
    if (*p++ != ' ' || !parse_number(&p, 0, INT64_MAX / 2, &frame) || *p++ != ' ' || !parse_hex(&p, 16, &whole) ||
        *p++ != ' ')
        return fail(reader, "a digest line this game cannot read");
    const int length = digest_fingerprint_length(digest_form_of_format(reader->format_version));
    for (int i = 0; i < length; ++i) {
        const char c = p[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return fail(reader, "a digest line this game cannot read");
        record->digest.fingerprint[i] = c;
    }
    p += length;
    if (*p++ != ' ' || !parse_hex(&p, 8, &file_hash) || *p != '\0')
        return fail(reader, "a digest line this game cannot read");
    if (file_hash != reader->file_hash) return fail(reader, "the file was changed after it was written");
    record->digest.fingerprint[length] = '\0';
    record->digest.whole = whole;
    record->frame = static_cast<uint64_t>(frame);
    return true;
}

ReplayRecordType finish(ReplayReader* reader, ReplayRecordType type) {
    reader->finished = true;
    reader->last_type = type;
    return type;
}

bool header_line(ReplayReader* reader, char* text, const char* path) {
    ++reader->line_number;
    int length = 0;
    switch (read_line(reader->file, text, replay_line_capacity, &length)) {
    case line_read: reader->file_hash = hash_line(reader->file_hash, text, length); return true;
    case line_end_of_file:
        std::snprintf(reader->error, sizeof reader->error,
                      reader->line_number == 1 ? "%s: the file is empty, not a replay"
                                               : "%s: the file ends inside its header",
                      path);
        return false;
    case line_cut:
        std::snprintf(reader->error, sizeof reader->error, "%s: the file ends inside its header", path);
        return false;
    default:
        std::snprintf(reader->error, sizeof reader->error, "%s: not a varnhold replay (line %" PRIu64 " is not text)",
                      path, reader->line_number);
        return false;
    }
}

ReplayRecordType parse_record(ReplayReader* reader, const char* text, PassInput* pass, FrameCommands* commands,
                              ReplayRecord* record);

// Format 2's lines after the seed: who plays each side, whose file it is,
// the input delay.
bool parse_game_lines(ReplayReader* reader, char* text, const char* path, ReplayGame* game) {
    const char* const names[2] = {"computer", "person"};
    if (!header_line(reader, text, path)) return false;
    // Exactly as the writer spells it: one space between the words.
    bool known = false;
    for (int first = 0; first < 2 && !known; ++first)
        for (int second = 0; second < 2 && !known; ++second) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "sides %s %s", names[first], names[second]);
            if (std::strcmp(text, expected) == 0) {
                known = true;
                game->person[0] = static_cast<uint8_t>(first);
                game->person[1] = static_cast<uint8_t>(second);
            }
        }
    if (!known) {
        std::snprintf(reader->error, sizeof reader->error,
                      "%s: line 4 should say who plays each side (person or computer)", path);
        return false;
    }
    const struct {
        const char* word;
        int most;
        int* value;
    } numbers[] = {{"local ", side_count - 1, &game->local_side}, {"delay ", replay_most_delay, &game->delay}};
    for (const auto& number : numbers) {
        if (!header_line(reader, text, path)) return false;
        int64_t value = 0;
        const char* p = text + std::strlen(number.word);
        if (std::strncmp(text, number.word, std::strlen(number.word)) != 0 ||
            !parse_number(&p, 0, number.most, &value) || *p != '\0') {
            std::snprintf(reader->error, sizeof reader->error, "%s: line %" PRIu64 " should give the %.5s", path,
                          reader->line_number, number.word);
            return false;
        }
        *number.value = static_cast<int>(value);
    }
    return true;
}

// Format 3's start: "start deal", or "start snapshot N" and the snapshot's
// N bytes in lines of hex, each full but the last. N is the size of a
// snapshot of the version this game reads; any other cannot be loaded.
bool parse_start_lines(ReplayReader* reader, char* text, const char* path, ReplayHeader* header) {
    if (!header_line(reader, text, path)) return false;
    if (std::strcmp(text, "start deal") == 0) return true;
    const char* p = text + std::strlen("start snapshot ");
    int64_t size = 0;
    if (std::strncmp(text, "start snapshot ", 15) != 0 || !parse_number(&p, 0, 1000000, &size) || *p != '\0') {
        std::snprintf(reader->error, sizeof reader->error, "%s: line 7 should say how the game starts", path);
        return false;
    }
    if (size != snapshot_bytes) {
        std::snprintf(reader->error, sizeof reader->error,
                      "%s: the game starts from a snapshot of %d bytes; this game reads snapshots of %d", path,
                      static_cast<int>(size), snapshot_bytes);
        return false;
    }
    header->from_snapshot = true;
    for (int at = 0; at < snapshot_bytes; at += replay_snapshot_bytes_per_line) {
        if (!header_line(reader, text, path)) return false;
        const int count = snapshot_bytes - at < replay_snapshot_bytes_per_line ? snapshot_bytes - at
                                                                               : replay_snapshot_bytes_per_line;
        p = text + 2;
        uint64_t byte = 0;
        bool sound = text[0] == 's' && text[1] == ' ';
        for (int i = 0; sound && i < count; ++i) {
            sound = parse_hex(&p, 2, &byte);
            header->snapshot[at + i] = static_cast<uint8_t>(byte);
        }
        if (!sound || *p != '\0') {
            std::snprintf(reader->error, sizeof reader->error,
                          "%s: line %" PRIu64 " should hold the snapshot's bytes %d to %d", path, reader->line_number,
                          at, at + count - 1);
            return false;
        }
    }
    return true;
}

}  // namespace

bool reader_open(ReplayReader* reader, const char* path, ReplayHeader* header) {
    std::memset(reader, 0, sizeof *reader);
    std::memset(header, 0, sizeof *header);
    reader->file_hash = file_hash_start;
    errno = 0;
    reader->file = std::fopen(path, "rb");
    if (!reader->file) {
        std::snprintf(reader->error, sizeof reader->error, "%s: cannot open the replay (%s)", path,
                      std::strerror(errno ? errno : ENOENT));
        return false;
    }
    char text[replay_line_capacity];
    bool sound = header_line(reader, text, path);
    const size_t name_length = std::strlen(replay_format_name);
    int64_t number = 0;
    const char* p = text + name_length + 1;
    if (sound && (std::strncmp(text, replay_format_name, name_length) != 0 || text[name_length] != ' ' ||
                  !parse_number(&p, 0, 1000000, &number) || *p != '\0')) {
        std::snprintf(reader->error, sizeof reader->error, "%s: not a varnhold replay", path);
        sound = false;
    }
    if (sound && (number < replay_oldest_format_version || number > replay_format_version)) {
        std::snprintf(reader->error, sizeof reader->error,
                      "%s: a replay of format %d; this game reads formats %d to %d", path, static_cast<int>(number),
                      replay_oldest_format_version, replay_format_version);
        sound = false;
    }
    header->format_version = static_cast<int>(number);
    reader->format_version = header->format_version;
    header->game = game_at_home();
    if (sound && (sound = header_line(reader, text, path))) {
        const size_t length = std::strlen(text);
        if (std::strncmp(text, "game ", 5) != 0 || length < 6 || length - 5 > replay_version_capacity ||
            std::strchr(text + 5, ' ')) {
            std::snprintf(reader->error, sizeof reader->error, "%s: line 2 should name the game's version", path);
            sound = false;
        } else {
            std::memcpy(header->game_version, text + 5, length - 4);
        }
    }
    if (sound && (sound = header_line(reader, text, path))) {
        p = text + 5;
        if (std::strncmp(text, "seed ", 5) != 0 || !parse_number(&p, 0, UINT32_MAX, &number) || *p != '\0') {
            std::snprintf(reader->error, sizeof reader->error, "%s: line 3 should give the first deal's seed", path);
            sound = false;
        } else {
            header->first_seed = static_cast<uint32_t>(number);
        }
    }
    if (sound && header->format_version >= 2) sound = parse_game_lines(reader, text, path, &header->game);
    if (sound && header->format_version >= 3) sound = parse_start_lines(reader, text, path, header);
    if (!sound) {
        reader_close(reader);
        return false;
    }
    return true;
}

ReplayRecordType reader_next(ReplayReader* reader, PassInput* pass, FrameCommands* commands, ReplayRecord* record) {
    if (reader->finished || !reader->file) return reader->finished ? reader->last_type : record_bad;
    char text[replay_line_capacity];
    int length = 0;
    for (;;) {
        ++reader->line_number;
        switch (read_line(reader->file, text, replay_line_capacity, &length)) {
        case line_read: break;
        case line_end_of_file:
        case line_cut: return finish(reader, record_cut);
        case line_too_long: fail(reader, "a line longer than any replay line"); return finish(reader, record_bad);
        case line_bad_byte: fail(reader, "a byte that is not text"); return finish(reader, record_bad);
        }
        if (text[0] != 'm' || reader->format_version < replay_chat_format_version) break;
        if (!parse_chat(reader, text)) return finish(reader, record_bad);
        reader->file_hash = hash_line(reader->file_hash, text, length);
    }
    const ReplayRecordType type = parse_record(reader, text, pass, commands, record);
    reader->file_hash = hash_line(reader->file_hash, text, length);
    if (type == record_bad || type == record_end) return finish(reader, type);
    return type;
}

ReaderPlace reader_place(ReplayReader* reader) {
    const int64_t offset = reader->file ? static_cast<int64_t>(std::ftell(reader->file)) : -1;
    return {offset, reader->line_number, reader->file_hash, reader->finished, reader->last_type};
}

bool reader_go_to(ReplayReader* reader, const ReaderPlace& place) {
    if (!reader->file || place.offset < 0 || std::fseek(reader->file, static_cast<long>(place.offset), SEEK_SET) != 0)
        return false;
    reader->line_number = place.line_number;
    reader->file_hash = place.file_hash;
    reader->finished = place.finished;
    reader->last_type = place.last_type;
    reader->chat_count = 0;
    return true;
}

bool reader_take_chat(ReplayReader* reader, ReplayChat* chat) {
    if (reader->chat_count == 0) return false;
    *chat = reader->chats[0];
    std::memmove(reader->chats, reader->chats + 1, sizeof *chat * static_cast<size_t>(reader->chat_count - 1));
    --reader->chat_count;
    return true;
}

void reader_close(ReplayReader* reader) {
    if (reader->file) std::fclose(reader->file);
    reader->file = nullptr;
}

namespace {

ReplayRecordType parse_record(ReplayReader* reader, const char* text, PassInput* pass, FrameCommands* commands,
                              ReplayRecord* record) {
    const char* p = text + 1;
    int64_t run = 0;
    const bool passes = reader->format_version == 1;
    switch (text[0]) {
    case 'p':
        if (!passes) break;
        if (!parse_pass(reader, text, pass)) return record_bad;
        record->type = record_pass;
        return record_pass;
    case 'f':
        if (passes) break;
        if (!parse_frame(reader, text, commands)) return record_bad;
        record->type = record_frame;
        return record_frame;
    case 'r':
        if (*p++ != ' ' || !parse_number(&p, 1, replay_longest_run, &run) || *p != '\0') {
            fail(reader, "a run line this game cannot read");
            return record_bad;
        }
        pass->deals = 0;
        record->type = record_run;
        record->run = static_cast<uint32_t>(run);
        return record_run;
    case 'd':
        if (!parse_state(reader, text, record)) return record_bad;
        record->type = record_digest;
        return record_digest;
    case 'e':
        if (!parse_state(reader, text, record)) return record_bad;
        record->type = record_end;
        // Anything after the end is not ours.
        if (std::getc(reader->file) != EOF) {
            ++reader->line_number;
            fail(reader, "more after the end of the game");
            return record_bad;
        }
        return record_end;
    default: break;
    }
    fail(reader, "a line this game does not know");
    return record_bad;
}

}  // namespace
