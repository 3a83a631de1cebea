#include "state/saves.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "state/snapshot.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* extension = ".vsv";
// A network game's save made by the player of empire 1 says so before the extension.
constexpr const char* side_one_mark = "-empire1";
constexpr int stamp_length = 19;
constexpr int name_capacity = 64;

bool absolute(const char* path) { return path && fs::path(path).is_absolute(); }

bool digit(char c) { return c >= '0' && c <= '9'; }

const char* prefix_of(bool autosave) { return autosave ? "autosave_" : "save_"; }

// The date and time part of a save's name, or null for a name of neither kind.
const char* stamp_of(const char* name) {
    for (bool autosave : {false, true})
        if (is_save_name(name, autosave)) return name + std::strlen(prefix_of(autosave));
    return nullptr;
}

// Whether the save named a came before the one named b (of one kind, or
// their stamps): by the time in the name, then by the number a second save
// of the same second gets ("-2" after none). The extension takes no part,
// since '.' sorts after '-'.
bool older(const char* a, const char* b) {
    const size_t a_length = std::strlen(a) - std::strlen(extension), b_length = std::strlen(b) - std::strlen(extension);
    const int order = std::strncmp(a, b, a_length < b_length ? a_length : b_length);
    return order != 0 ? order < 0 : a_length < b_length;
}

// Our names of one kind in the folder, the oldest first: at most
// name_capacity of the oldest are held; count says how many there are.
int oldest_of(const char* folder, bool autosave, char (*names)[name_capacity], int capacity, int* count) {
    std::error_code error;
    int held = 0;
    *count = 0;
    for (fs::directory_iterator it(fs::path(folder), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() >= name_capacity || !is_save_name(name.c_str(), autosave)) continue;
        if (!fs::is_regular_file(it->symlink_status(error))) continue;
        ++*count;
        int at = held;
        while (at > 0 && older(name.c_str(), names[at - 1])) --at;
        if (at >= capacity) continue;
        const int last = held < capacity ? held : capacity - 1;
        for (int i = last; i > at; --i) std::memcpy(names[i], names[i - 1], name_capacity);
        std::snprintf(names[at], name_capacity, "%s", name.c_str());
        if (held < capacity) ++held;
    }
    return held;
}

// Removes the oldest autosaves until autosaves_kept remain; a handful at a
// time, for a folder that somehow holds many.
void prune_autosaves(const char* folder) {
    static char names[16][name_capacity];
    for (int round = 0; round < 1000; ++round) {
        int count = 0;
        const int held = oldest_of(folder, true, names, 16, &count);
        const int excess = count - autosaves_kept;
        if (excess <= 0 || held == 0) return;
        std::error_code error;
        for (int i = 0; i < excess && i < held; ++i) fs::remove(fs::path(folder) / names[i], error);
    }
}

// A save killed while it was written leaves its part beside the saves; one
// more than a minute old is no save's in progress, and nothing reads it.
void remove_stale_parts(const char* folder) {
    std::error_code error;
    const auto minute_ago = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    for (fs::directory_iterator it(fs::path(folder), error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        const size_t part = name.size() > 5 ? name.size() - 5 : 0;
        if (part == 0 || name.compare(part, 5, ".part") != 0) continue;
        name.resize(part);
        if (!stamp_of(name.c_str()) || !fs::is_regular_file(it->symlink_status(error))) continue;
        std::error_code old;
        if (fs::last_write_time(it->path(), old) < minute_ago && !old) fs::remove(it->path(), old);
    }
}

}  // namespace

bool user_data_folder(const char* leaf, char* folder, size_t size) {
    fs::path base;
#ifdef _WIN32
    const char* app_data = std::getenv("APPDATA");
    if (!absolute(app_data)) return false;
    base = fs::path(app_data);
#else
    const char* data_home = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (absolute(data_home)) base = fs::path(data_home);
    else if (absolute(home)) base = fs::path(home) / ".local" / "share";
    else return false;
#endif
    const std::string text = (base / "varnhold" / leaf).string();
    if (text.size() + 1 > size) return false;
    std::memcpy(folder, text.c_str(), text.size() + 1);
    return true;
}

bool date_stamp(char* stamp, size_t size) {
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0) return false;
#else
    if (!localtime_r(&now, &local)) return false;
#endif
    std::snprintf(stamp, size, "%04d-%02d-%02d_%02d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return true;
}

bool is_save_name(const char* name, bool autosave) {
    const char* prefix = prefix_of(autosave);
    if (std::strncmp(name, prefix, std::strlen(prefix)) != 0) return false;
    const char* stamp = name + std::strlen(prefix);
    const char* pattern = "dddd-dd-dd_dd-dd-dd";
    for (int i = 0; i < stamp_length; ++i)
        if (pattern[i] == 'd' ? !digit(stamp[i]) : stamp[i] != pattern[i]) return false;
    const char* rest = stamp + stamp_length;
    if (rest[0] == '-' && digit(rest[1])) {
        ++rest;
        while (digit(*rest)) ++rest;
    }
    if (std::strncmp(rest, side_one_mark, std::strlen(side_one_mark)) == 0) rest += std::strlen(side_one_mark);
    return std::strcmp(rest, extension) == 0;
}

int saved_side(const char* path) {
    if (!path) return 0;
    const std::string stem = fs::path(path).stem().string();
    const size_t mark = std::strlen(side_one_mark);
    return stem.size() >= mark && stem.compare(stem.size() - mark, mark, side_one_mark) == 0 ? 1 : 0;
}

bool save_game(bool autosave, int side, char* path, size_t path_size, char* error, size_t error_size) {
    char folder[4096], stamp[32];
    if (!user_data_folder("saves", folder, sizeof folder)) {
        std::snprintf(error, error_size, "no folder for saves (HOME is not set); the game is not saved");
        return false;
    }
    std::error_code failure;
    fs::create_directories(fs::path(folder), failure);
    if (failure) {
        std::snprintf(error, error_size, "cannot make the saves folder %s (%s)", folder, failure.message().c_str());
        return false;
    }
    remove_stale_parts(folder);
    if (!date_stamp(stamp, sizeof stamp)) stamp[0] = '\0';
    for (int n = 1; n < 100; ++n) {
        const std::string name = std::string(prefix_of(autosave)) + stamp + (n > 1 ? "-" + std::to_string(n) : "") +
                                 (side == 1 ? side_one_mark : "") + extension;
        const std::string full = (fs::path(folder) / name).string();
        if (full.size() + 1 > path_size) break;
        if (fs::exists(fs::path(full), failure)) continue;
        // The name is claimed before it is written: two programs saving in
        // the same second (both sides of a network game on one machine)
        // would otherwise write one file, and one of them lose its save.
        std::FILE* claim = std::fopen(full.c_str(), "wx");
        if (!claim && fs::exists(fs::path(full), failure)) continue;
        if (claim) std::fclose(claim);
        char line[snapshot_error_capacity];
        if (!save_snapshot_file(full.c_str(), line)) {
            fs::remove(fs::path(full), failure);
            std::snprintf(error, error_size, "%s", line);
            return false;
        }
        std::memcpy(path, full.c_str(), full.size() + 1);
        if (autosave) prune_autosaves(folder);
        return true;
    }
    std::snprintf(error, error_size, "no name for a save in %s", folder);
    return false;
}

bool newest_save(char* path, size_t size) {
    char folder[4096];
    if (!user_data_folder("saves", folder, sizeof folder)) return false;
    std::error_code error;
    std::string newest, newest_stamp;
    for (fs::directory_iterator it(fs::path(folder), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const char* stamp = stamp_of(name.c_str());
        if (!stamp || !fs::is_regular_file(it->status(error))) continue;
        if (newest.empty() || older(newest_stamp.c_str(), stamp)) {
            newest = it->path().string();
            newest_stamp = stamp;
        }
    }
    if (newest.empty() || newest.size() + 1 > size) return false;
    std::memcpy(path, newest.c_str(), newest.size() + 1);
    return true;
}
