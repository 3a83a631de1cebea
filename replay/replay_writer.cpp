#include "replay/replay_writer.h"

#include <cerrno>
#include <cstdarg>
#include <cinttypes>
#include <cstring>

uint32_t hash_file_bytes(uint32_t hash, const char* bytes, int count) {
    for (int i = 0; i < count; ++i) hash = (hash ^ static_cast<uint8_t>(bytes[i])) * 0x01000193u;
    return hash;
}

void clear_pass_input(PassInput* input) {
    std::memset(input, 0, sizeof *input);
    input->frame_runs = 1;
}

namespace {

// Flushing every this many lines besides every digest keeps a game that
// spins without frames (minimised, a key held) from holding lines back.
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

void append_table(LineText* line, char letter, const uint8_t* before, const uint8_t* now, int size) {
    for (int i = 0; i < size; ++i)
        if ((before[i] != 0) != (now[i] != 0))
            append(line, size > 16 ? " %c%c%02x" : " %c%c%x", letter, now[i] ? '+' : '-', i);
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

int encode_pass_changes(const PassInput& before, const PassInput& now, char* text) {
    LineText line;
    line.length = 0;
    line.text[0] = '\0';
    if (before.frame_runs != now.frame_runs) append(&line, " a%d", now.frame_runs ? 1 : 0);
    append_table(&line, 'k', before.keys, now.keys, 256);
    append_table(&line, 'd', before.direct_keys, now.direct_keys, 256);
    append_table(&line, 'b', before.buttons, now.buttons, 3);
    if (before.cursor_dx != now.cursor_dx || before.cursor_dy != now.cursor_dy)
        append(&line, " c%d,%d", now.cursor_dx, now.cursor_dy);
    if (before.spin_column != now.spin_column) append(&line, " x%d", now.spin_column);
    // A deal from the same seed as the one before (F1 held within one
    // second) is a bare "s".
    if (now.deals && now.deal_seed == before.deal_seed) append(&line, " s");
    else if (now.deals) append(&line, " s%" PRIu32, now.deal_seed);
    std::memcpy(text, line.text, static_cast<size_t>(line.length) + 1);
    return line.length;
}

bool writer_open(ReplayWriter* writer, const char* path, const char* game_version, uint32_t first_seed) {
    std::memset(writer, 0, sizeof *writer);
    writer->path = path;
    writer->file_hash = file_hash_start;
    clear_pass_input(&writer->last);
    writer->last.deal_seed = first_seed;
    errno = 0;
    writer->file = std::fopen(path, "wb");
    if (!writer->file) {
        std::fprintf(stderr, "varnhold: cannot write the replay %s (%s); this game is not recorded\n", path,
                     std::strerror(errno ? errno : EIO));
        writer->failed = true;
        return false;
    }
    char text[128];
    const int length = std::snprintf(text, sizeof text, "%s %d\ngame %.*s\nseed %" PRIu32 "\n", replay_format_name,
                                      replay_format_version, replay_version_capacity, game_version, first_seed);
    write_line(writer, text, length);
    flush_file(writer);
    return writer->file != nullptr;
}

bool writer_is_open(const ReplayWriter& writer) { return writer.file != nullptr; }

void writer_pass(ReplayWriter* writer, const PassInput& input) {
    if (!writer->file) return;
    char changes[replay_line_capacity];
    const int length = encode_pass_changes(writer->last, input, changes);
    writer->last = input;
    writer->last.deals = 0;
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
    const int total = std::snprintf(line, sizeof line, "p%s\n", changes);
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
