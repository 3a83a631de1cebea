#include "replay/replay_writer.h"

#include <cerrno>
#include <cstdarg>
#include <cinttypes>
#include <cstring>

namespace {

// Flushing every this many lines besides every digest keeps a game in which
// no census comes (F1 held deals again every frame) from holding lines back.
constexpr int lines_per_flush = 120;

struct LineText {
    char text[replay_line_capacity];
    int length;
};

void append(LineText* line, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(LineText* line, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int room = static_cast<int>(sizeof line->text) - line->length;
    const int written = std::vsnprintf(line->text + line->length, static_cast<size_t>(room), format, arguments);
    va_end(arguments);
    if (written > 0) line->length += written < room ? written : room - 1;
}

// A side's changes: the cursor tile, the buttons, the deal (a level: while
// F1 is held every frame deals, from the seed it names), the pace key.
void append_side_changes(LineText* line, int side, const SideCommand& before, const SideCommand& now) {
    if (now.has_cursor != before.has_cursor || (now.has_cursor && (now.cursor_x != before.cursor_x ||
                                                                 now.cursor_y != before.cursor_y))) {
        if (now.has_cursor)
            append(line, " %dc%" PRId32 ",%" PRId32, side, now.cursor_x, now.cursor_y);
        else
            append(line, " %dn", side);
    }
    if (now.left != before.left) append(line, " %dl%c", side, now.left ? '+' : '-');
    if (now.right != before.right) append(line, " %dr%c", side, now.right ? '+' : '-');
    if (now.deals && (!before.deals || now.deal_seed != before.deal_seed))
        append(line, " %ds%" PRIu32, side, now.deal_seed);
    else if (!now.deals && before.deals)
        append(line, " %ds-", side);
    if (now.pace != before.pace) append(line, " %dp%d", side, now.pace);
}

// One failed write ends the recording with one line on stderr; the game goes on.
void give_up(ReplayWriter* writer, int error) {
    std::fprintf(stderr, "varnhold: cannot write the replay %s (%s); this game is not recorded further\n",
                 writer->path, std::strerror(error));
    std::fclose(writer->file);
    writer->file = nullptr;
    writer->failed = true;
}

// What is written so far reaches the file now; a game killed after this
// leaves it whole.
void flush_file(ReplayWriter* writer) {
    writer->lines_since_flush = 0;
    if (writer->file && std::fflush(writer->file) != 0) give_up(writer, errno ? errno : EIO);
}

void write_line(ReplayWriter* writer, const char* text, int length) {
    if (!writer->file) return;
    writer->file_hash = hash_file_bytes(writer->file_hash, text, length);
    errno = 0;
    if (std::fwrite(text, 1, static_cast<size_t>(length), writer->file) != static_cast<size_t>(length)) {
        give_up(writer, errno ? errno : EIO);
        return;
    }
    if (++writer->lines_since_flush >= lines_per_flush) flush_file(writer);
}

void flush_run(ReplayWriter* writer) {
    if (writer->pending_run == 0) return;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "r %" PRIu32 "\n", writer->pending_run);
    writer->pending_run = 0;
    write_line(writer, text, length);
}

void write_state(ReplayWriter* writer, char letter, uint64_t frame, const StateDigest& digest) {
    flush_run(writer);
    char text[160];
    const int length = std::snprintf(text, sizeof text, "%c %" PRIu64 " %016" PRIx64 " %s %08" PRIx32 "\n", letter,
                                      frame, digest.whole, digest.fingerprint, writer->file_hash);
    write_line(writer, text, length);
    flush_file(writer);
}

}  // namespace

void writer_chat(ReplayWriter* writer, int side, const char* text) {
    const size_t length = std::strlen(text);
    if (side < 0 || side >= side_count || length < 1 || length > replay_chat_capacity) return;
    for (size_t i = 0; i < length; ++i)
        if (text[i] < 0x20 || text[i] > 0x7e) return;
    flush_run(writer);
    char line[replay_chat_capacity + 8];
    const int size = std::snprintf(line, sizeof line, "m %d %s\n", side, text);
    write_line(writer, line, size);
}

int encode_frame_changes(const FrameCommands& before, const FrameCommands& now, char* text) {
    LineText line;
    line.length = 0;
    line.text[0] = '\0';
    for (int side = 0; side < side_count; ++side) append_side_changes(&line, side, before.side[side], now.side[side]);
    std::memcpy(text, line.text, static_cast<size_t>(line.length) + 1);
    return line.length;
}

namespace {

// "start deal", or "start snapshot N" and the bytes in lines of hex.
void write_start(ReplayWriter* writer, const uint8_t* snapshot) {
    if (!snapshot) {
        write_line(writer, "start deal\n", 11);
        return;
    }
    LineText line = {};
    append(&line, "start snapshot %d\n", snapshot_bytes);
    write_line(writer, line.text, line.length);
    for (int at = 0; at < snapshot_bytes; at += replay_snapshot_bytes_per_line) {
        line.length = 0;
        append(&line, "s ");
        for (int i = at; i < at + replay_snapshot_bytes_per_line && i < snapshot_bytes; ++i)
            append(&line, "%02x", snapshot[i]);
        append(&line, "\n");
        write_line(writer, line.text, line.length);
    }
}

}  // namespace

bool writer_open(ReplayWriter* writer, const char* path, const char* game_version, uint32_t first_seed,
                 const ReplayGame& game, const uint8_t* snapshot) {
    std::memset(writer, 0, sizeof *writer);
    writer->path = path;
    writer->file_hash = file_hash_start;
    writer->last = no_commands();
    errno = 0;
    writer->file = std::fopen(path, "wb");
    if (!writer->file) {
        std::fprintf(stderr, "varnhold: cannot write the replay %s (%s); this game is not recorded\n", path,
                     std::strerror(errno ? errno : EIO));
        writer->failed = true;
        return false;
    }
    char text[256];
    const int length = std::snprintf(
        text, sizeof text, "%s %d\ngame %.*s\nseed %" PRIu32 "\nsides %s %s\nlocal %d\ndelay %d\n", replay_format_name,
        replay_format_version, replay_version_capacity, game_version, first_seed,
        game.person[0] ? "person" : "computer", game.person[1] ? "person" : "computer", game.local_side, game.delay);
    write_line(writer, text, length);
    write_start(writer, snapshot);
    flush_file(writer);
    return writer->file != nullptr;
}

bool writer_is_open(const ReplayWriter& writer) { return writer.file != nullptr; }

void writer_frame(ReplayWriter* writer, const FrameCommands& commands) {
    if (!writer->file) return;
    char changes[replay_line_capacity];
    const int length = encode_frame_changes(writer->last, commands, changes);
    writer->last = commands;
    if (length == 0 && writer->pending_run < replay_longest_run) {
        ++writer->pending_run;
        return;
    }
    flush_run(writer);
    if (length == 0) {
        ++writer->pending_run;
        return;
    }
    char line[replay_line_capacity + 2];
    const int total = std::snprintf(line, sizeof line, "f%s\n", changes);
    write_line(writer, line, total);
}

void writer_digest(ReplayWriter* writer, uint64_t frame, const StateDigest& digest) {
    if (writer->file) write_state(writer, 'd', frame, digest);
}

void writer_close(ReplayWriter* writer, uint64_t frame, const StateDigest& digest) {
    if (!writer->file) return;
    write_state(writer, 'e', frame, digest);
    if (writer->file && std::fclose(writer->file) != 0) {
        std::fprintf(stderr, "varnhold: cannot write the replay %s (%s)\n", writer->path, std::strerror(errno));
        writer->failed = true;
    }
    writer->file = nullptr;
}

void writer_abandon(ReplayWriter* writer) {
    if (!writer->file) return;
    flush_run(writer);
    if (writer->file) std::fclose(writer->file);
    writer->file = nullptr;
}
