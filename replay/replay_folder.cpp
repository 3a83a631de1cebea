#include "replay/replay_folder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "state/saves.h"

namespace {

namespace fs = std::filesystem;

// "YYYY-MM-DD_HH-MM-SS.vrp", or with "-N" before the extension when two
// games start in the same second.
constexpr int stamp_length = 19;
constexpr const char* extension = ".vrp";
constexpr int oldest_capacity = 64;

bool digit(char c) { return c >= '0' && c <= '9'; }

bool local_time(std::tm* out) {
    const std::time_t now = std::time(nullptr);
#ifdef _WIN32
    return localtime_s(out, &now) == 0;
#else
    return localtime_r(&now, out) != nullptr;
#endif
}

}  // namespace

bool is_replay_name(const char* name) {
    const char* pattern = "dddd-dd-dd_dd-dd-dd";
    for (int i = 0; i < stamp_length; ++i) {
        if (pattern[i] == 'd' ? !digit(name[i]) : name[i] != pattern[i]) return false;
    }
    const char* rest = name + stamp_length;
    if (*rest == '-') {
        ++rest;
        if (!digit(*rest)) return false;
        while (digit(*rest)) ++rest;
    }
    return std::strcmp(rest, extension) == 0;
}

bool replay_folder(char* folder, size_t size) { return user_data_folder("replays", folder, size); }

void prune_replays(const char* folder, int keep) {
    // Names sort as their times do: the smallest are the oldest. Each round
    // counts ours and removes up to oldest_capacity of the oldest.
    for (int round = 0; round < 1000; ++round) {
        std::error_code error;
        fs::directory_iterator it(fs::path(folder), error);
        if (error) return;
        int count = 0;
        char oldest[oldest_capacity][64];
        int held = 0;
        for (const fs::directory_entry& entry : it) {
            const std::string name = entry.path().filename().string();
            if (name.size() >= sizeof oldest[0] || !is_replay_name(name.c_str())) continue;
            // Only files the game wrote: a folder or a link of that name is not one.
            if (!fs::is_regular_file(entry.symlink_status(error))) continue;
            ++count;
            // Keep the oldest_capacity smallest names, sorted.
            int at = held;
            while (at > 0 && std::strcmp(name.c_str(), oldest[at - 1]) < 0) --at;
            if (at >= oldest_capacity) continue;
            const int last = held < oldest_capacity ? held : oldest_capacity - 1;
            for (int i = last; i > at; --i) std::memcpy(oldest[i], oldest[i - 1], sizeof oldest[i]);
            std::snprintf(oldest[at], sizeof oldest[at], "%s", name.c_str());
            if (held < oldest_capacity) ++held;
        }
        const int excess = count - keep;
        if (excess <= 0) return;
        const int now = excess < held ? excess : held;
        for (int i = 0; i < now; ++i) fs::remove(fs::path(folder) / oldest[i], error);
        if (excess <= held) return;
    }
}

bool new_replay_path(char* path, size_t size) {
    char folder[4096];
    if (!replay_folder(folder, sizeof folder)) {
        std::fprintf(stderr, "varnhold: no folder for replays (HOME is not set); this game is not recorded\n");
        return false;
    }
    std::error_code error;
    fs::create_directories(fs::path(folder), error);
    if (error) {
        std::fprintf(stderr, "varnhold: cannot make the replay folder %s (%s); this game is not recorded\n", folder,
                     error.message().c_str());
        return false;
    }
    std::tm now = {};
    if (!local_time(&now)) return false;
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d-%02d-%02d", now.tm_year + 1900, now.tm_mon + 1,
                  now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
    // The name first: a game that gets no path records nothing and so
    // removes nothing. Then room for the new one among the kept.
    for (int n = 1; n < 100; ++n) {
        const std::string name = n == 1 ? std::string(stamp) + extension
                                        : std::string(stamp) + "-" + std::to_string(n) + extension;
        const std::string full = (fs::path(folder) / name).string();
        if (full.size() + 1 > size) return false;
        if (fs::exists(fs::path(full), error)) continue;
        prune_replays(folder, replays_kept - 1);
        std::memcpy(path, full.c_str(), full.size() + 1);
        return true;
    }
    return false;
}
