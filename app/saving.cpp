#include "app/saving.h"

#include <cstdio>

#include "game/screens.h"
#include "platform/platform.h"
#include "state/saves.h"
#include "state/snapshot.h"

namespace {

constexpr int path_capacity = 4096;

bool key_was_down = false;

// One line on screen and the same on stderr when the save failed: the game plays on.
void save_and_say(bool autosave) {
    static char path[path_capacity], line[path_capacity + 64], error[path_capacity];
    if (save_game(autosave, path, sizeof path, error, sizeof error)) {
        const char* slash = path;
        for (const char* p = path; *p; ++p)
            if (*p == '/' || *p == '\\') slash = p + 1;
        std::snprintf(line, sizeof line, "%s %s", autosave ? "Autosaved as" : "Saved as", slash);
        std::printf("varnhold: %s\n", path);
        std::fflush(stdout);
    } else {
        std::snprintf(line, sizeof line, "Not saved: %s", error);
        std::fprintf(stderr, "varnhold: %s\n", line);
    }
    show_notice(line);
}

}  // namespace

void save_on_key(const PassInput& input) {
    const bool down = input.keys[vk_f9] != 0;
    if (down && !key_was_down) save_and_say(false);
    key_was_down = down;
}

void autosave_on_leaving() { save_and_say(true); }

bool read_save_to_continue(const GameOptions& options, SharedState* state) {
    static char path[path_capacity], error[snapshot_error_capacity];
    if (options.load_path) {
        std::snprintf(path, sizeof path, "%s", options.load_path);
    } else if (!newest_save(path, sizeof path)) {
        platform_message_box(platform_message_error, "ERROR", "There is no save to continue.");
        return false;
    }
    if (read_snapshot_file(path, state, error)) return true;
    platform_message_box(platform_message_error, "ERROR", error);
    return false;
}
