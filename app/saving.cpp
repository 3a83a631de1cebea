#include "app/saving.h"

#include <cstdio>

#include "game/screens.h"
#include "platform/platform.h"
#include "state/saves.h"
#include "state/snapshot.h"

namespace {

constexpr int path_capacity = 4096;

bool key_was_down = false;
int side_saved = 0;
char continued_path[path_capacity];

// The file's name without its folder, as the lines on screen show it.
const char* file_name(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

// One line on screen and the same on stderr when the save failed: the game plays on.
void save_and_say(bool autosave) {
    static char path[path_capacity], line[path_capacity + 64], error[path_capacity];
    if (save_game(autosave, side_saved, path, sizeof path, error, sizeof error)) {
        std::snprintf(line, sizeof line, "%s %s", autosave ? "Autosaved as" : "Saved as", file_name(path));
        std::printf("varnhold: %s\n", path);
        std::fflush(stdout);
    } else {
        std::snprintf(line, sizeof line, "Not saved: %s", error);
        std::fprintf(stderr, "varnhold: %s\n", line);
    }
    show_notice(line);
}

}  // namespace

bool save_key_pressed(const PassInput& input) {
    const bool down = input.keys[vk_f9] != 0;
    const bool pressed = down && !key_was_down;
    key_was_down = down;
    return pressed;
}

void save_on_key(const PassInput& input) {
    if (save_key_pressed(input)) save_and_say(false);
}

void save_as_side(int side) { side_saved = side; }

void save_now() { save_and_say(false); }

void autosave_on_leaving() { save_and_say(true); }

bool read_save_to_continue(const GameOptions& options, SharedState* state) {
    static char error[snapshot_error_capacity];
    char* path = continued_path;
    if (options.load_path) {
        std::snprintf(path, path_capacity, "%s", options.load_path);
    } else if (!newest_save(path, path_capacity)) {
        platform_message_box(platform_message_error, "ERROR", "There is no save to continue.");
        return false;
    }
    if (read_snapshot_file(path, state, error)) return true;
    platform_message_box(platform_message_error, "ERROR", error);
    return false;
}

void note_continued_save() {
    static char line[path_capacity + 32];
    std::snprintf(line, sizeof line, "Continued from %s", file_name(continued_path));
    std::printf("varnhold: continued from %s\n", continued_path);
    std::fflush(stdout);
    show_notice(line);
}
