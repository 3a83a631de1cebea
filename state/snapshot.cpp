#include "state/snapshot.h"

#include <cerrno>
#include <cstdarg>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "state/state_digest.h"

namespace {

constexpr char magic[8] = {'V', 'A', 'R', 'N', 'S', 'N', 'A', 'P'};
constexpr size_t path_capacity = 4096;

void put_le(uint8_t* out, uint64_t value, int count) {
    for (int i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t get_le(const uint8_t* in, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | in[i];
    return value;
}

uint8_t* put_field(uint8_t* out, const FieldBytes& field) {
    std::memcpy(out, field.bytes, static_cast<size_t>(field.count));
    return out + field.count;
}

bool refuse(char* error, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool refuse(char* error, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(error, snapshot_error_capacity, format, arguments);
    va_end(arguments);
    return false;
}

// The field's bytes as they stand, for the line that refuses them.
bool out_of_bounds(char* error, const char* whose, const char* name, const uint8_t* bytes, int width, bool unit,
                   int i) {
    char bounds[64];
    describe_bounds(unit, i, bounds, sizeof bounds);
    return refuse(error, "%s%s is out of its bounds (0x%0*" PRIx64 "; it must be %s)", whose, name, width * 2,
                  get_le(bytes, width), bounds);
}

bool read_fields(const uint8_t* in, SharedState* state, char* error) {
    for (int i = 0; i < shared_game_fields; ++i) {
        const FieldBytes width = shared_game_field(*state, i);
        if (!set_shared_game_field(state, i, in))
            return out_of_bounds(error, "", shared_game_field_name(i), in, width.count, false, i);
        in += width.count;
    }
    for (int slot = 0; slot < max_units; ++slot) {
        Unit& unit = state->units[slot];
        for (int f = 0; f < unit_fields; ++f) {
            const FieldBytes width = unit_field(unit, f);
            if (!set_unit_field(&unit, f, in)) {
                char whose[32];
                std::snprintf(whose, sizeof whose, "unit %d's ", slot);
                return out_of_bounds(error, whose, unit_field_name(f), in, width.count, true, f);
            }
            in += width.count;
        }
    }
    return true;
}

// The file as a person will find it: "PATH: what".
bool name_file(const char* path, char* error) {
    char line[snapshot_error_capacity];
    std::snprintf(line, sizeof line, "%s", error);
    return refuse(error, "%s: %s", path, line);
}

void sync_to_disk(std::FILE* file) {
#ifdef _WIN32
    _commit(_fileno(file));
#else
    fsync(fileno(file));
#endif
}

}  // namespace

void snapshot_to_bytes(uint8_t* bytes) {
    static SharedState state;
    capture_shared_state(&state);
    std::memcpy(bytes, magic, sizeof magic);
    put_le(bytes + 8, snapshot_version, 4);
    put_le(bytes + 12, snapshot_bytes, 4);
    uint8_t* out = bytes + snapshot_head_bytes;
    for (int i = 0; i < shared_game_fields; ++i) out = put_field(out, shared_game_field(state, i));
    for (const Unit& unit : state.units)
        for (int f = 0; f < unit_fields; ++f) out = put_field(out, unit_field(unit, f));
    put_le(out, digest_of_state(state).whole, 8);
}

bool read_snapshot(const uint8_t* bytes, size_t size, SharedState* state, char* error) {
    std::memset(state, 0, sizeof *state);
    if (size < sizeof magic || std::memcmp(bytes, magic, sizeof magic) != 0)
        return refuse(error, "not a varnhold snapshot");
    if (size < snapshot_head_bytes) return refuse(error, "the snapshot is cut short in its head");
    const uint64_t version = get_le(bytes + 8, 4);
    if (version != snapshot_version)
        return refuse(error, "a snapshot of version %" PRIu64 "; this game reads version %d", version,
                      snapshot_version);
    const uint64_t said = get_le(bytes + 12, 4);
    if (said != snapshot_bytes)
        return refuse(error, "the snapshot says it holds %" PRIu64 " bytes; one of version %d holds %d", said,
                      snapshot_version, snapshot_bytes);
    if (size != snapshot_bytes)
        return refuse(error, "the snapshot is %s: %zu bytes of %d", size < snapshot_bytes ? "cut short" : "too long",
                      size, snapshot_bytes);
    if (!read_fields(bytes + snapshot_head_bytes, state, error)) return false;
    const uint64_t carried = get_le(bytes + snapshot_bytes - 8, 8);
    const uint64_t held = digest_of_state(*state).whole;
    if (carried != held)
        return refuse(error, "the state it holds has digest %016" PRIx64 ", not the %016" PRIx64
                             " it carries: the snapshot was changed or damaged",
                      held, carried);
    return true;
}

bool load_snapshot(const uint8_t* bytes, size_t size, char* error) {
    static SharedState state;
    if (!read_snapshot(bytes, size, &state, error)) return false;
    apply_shared_state(state);
    return true;
}

bool save_snapshot_file(const char* path, char* error) {
    static uint8_t bytes[snapshot_bytes];
    snapshot_to_bytes(bytes);
    char part[path_capacity];
    if (std::snprintf(part, sizeof part, "%s.part", path) >= static_cast<int>(sizeof part))
        return refuse(error, "%s: the name is too long", path);
    errno = 0;
    std::FILE* file = std::fopen(part, "wb");
    if (!file) return refuse(error, "%s: cannot write the save (%s)", path, std::strerror(errno ? errno : EIO));
    bool written = std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes && std::fflush(file) == 0;
    int reason = errno ? errno : EIO;
    if (written) sync_to_disk(file);
    if (std::fclose(file) != 0 && written) {
        written = false;
        reason = errno ? errno : EIO;
    }
    std::error_code failure;
    if (written) {
        std::filesystem::rename(part, path, failure);
        if (!failure) return true;
    }
    std::error_code ignored;
    std::filesystem::remove(part, ignored);
    return refuse(error, "%s: cannot write the save (%s)", path,
                  written ? failure.message().c_str() : std::strerror(reason));
}

bool read_snapshot_file(const char* path, SharedState* state, char* error) {
    static uint8_t bytes[snapshot_bytes + 1];
    std::error_code failure;
    if (std::filesystem::is_directory(path, failure)) return refuse(error, "%s: a folder, not a save", path);
    errno = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return refuse(error, "%s: cannot open the save (%s)", path, std::strerror(errno ? errno : ENOENT));
    // One byte past a snapshot's size tells a longer file; nothing more is read.
    const size_t size = std::fread(bytes, 1, sizeof bytes, file);
    const bool failed = std::ferror(file) != 0;
    const int reason = errno ? errno : EIO;
    std::fclose(file);
    if (failed) return refuse(error, "%s: cannot read the save (%s)", path, std::strerror(reason));
    if (!read_snapshot(bytes, size, state, error)) return name_file(path, error);
    return true;
}

bool load_snapshot_file(const char* path, char* error) {
    static SharedState state;
    if (!read_snapshot_file(path, &state, error)) return false;
    apply_shared_state(state);
    return true;
}
