// fuzz_replay: libFuzzer target for the replay reader and player. Each input
// becomes a file that the player reads as varnhold-sim --replay does, through
// the rule steps, for at most a few thousand passes. Besides the sanitizers,
// every input is held to what the player promises: it opens or says why in
// one line naming the file, and every step but a played pass ends it with
// one line; an input that is not the recorded game never plays to the end.
//
//   fuzz_replay --make-corpus=FOLDER   records real replays as seeds and exits
//   fuzz_replay [libFuzzer flags] CORPUS...
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/input_state.h"
#include "app/main_loop.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "replay/recording.h"
#include "replay/replay_player.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/world_arrays.h"

namespace {

// Enough for a few censuses and a deal or two, little enough for speed.
constexpr int most_passes = 3000;

std::string work_folder;
std::string input_path;

[[noreturn]] void broken_promise(const char* what, const char* message) {
    std::fprintf(stderr, "fuzz_replay: %s (%s)\n", what, message);
    std::abort();
}

bool write_file(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// What a fresh program has before its first deal.
void start_as_the_program_does() {
    headless_reset();
    std::memset(keys, 0, sizeof keys);
    std::memset(mouse_buttons, 0, sizeof mouse_buttons);
    mouse_x = mouse_y = 0;
    window_active = 1;
    selected_unit = 0;
    help_visible = 0;
    game_speed = 1;
    unit_size = unit_size_normal;
}

bool rules_pass() { return run_pass_steps(pass_rules_only); }

// ---- The seeds: games played through the loop's own pass and recorded ----------

struct Dice {
    uint64_t state;
    int below(int n) {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<int>((z ^ (z >> 31)) % static_cast<uint64_t>(n));
    }
};

void press(int vk, bool down) {
    keys[vk] = down;
    headless_set_key(vk, down);
}

// The input of one pass as the window procedure and the keyboard would
// leave it: keys, buttons, the mouse, minimising, F1 taps.
void scripted_input(Dice* dice, int pass) {
    static const int held[] = {vk_space, vk_backspace, vk_0, vk_h, vk_shift, vk_up, vk_left, vk_page_down,
                               vk_f2, vk_f4, vk_f5, vk_f8};
    headless_set_calendar_seconds(1700000000 + pass / 60);
    if (dice->below(100) < 5) {
        const int vk = held[dice->below(sizeof held / sizeof held[0])];
        press(vk, !keys[vk]);
    }
    press(vk_f1, dice->below(400) == 0);
    if (dice->below(100) < 20) {
        mouse_x = dice->below(640);
        mouse_y = dice->below(480);
    }
    if (dice->below(100) < 3) mouse_buttons[dice->below(2) * 2] ^= 1;
    if (dice->below(1000) < 5) window_active ^= 1;
}

bool record_seed(const std::string& path, uint32_t seed, int passes) {
    start_as_the_program_does();
    choose_next_deal_seed(seed);
    new_game();
    start_recording(path.c_str(), false);
    if (!recording_path()) return false;
    Dice dice{seed};
    for (int pass = 0; pass < passes; ++pass) {
        scripted_input(&dice, pass);
        begin_key_pass();
        record_pass_begins();
        run_pass_steps(pass_rules_only);
        record_pass_ends();
        end_key_pass();
    }
    stop_recording();
    return true;
}

int make_corpus(const char* folder) {
    mkdir(folder, 0755);
    const uint32_t seeds[] = {1, 5, 27, 4242};
    int made = 0;
    for (uint32_t seed : seeds) {
        const std::string path = std::string(folder) + "/game_" + std::to_string(seed) + ".vrp";
        if (!record_seed(path, seed, 200 + 400 * made)) {
            std::fprintf(stderr, "fuzz_replay: cannot write the seed %s\n", path.c_str());
            return 1;
        }
        ++made;
    }
    std::printf("fuzz_replay: %d recorded replays in %s\n", made, folder);
    return 0;
}

void remove_work_folder() {
    if (!input_path.empty()) std::remove(input_path.c_str());
    if (!work_folder.empty()) rmdir(work_folder.c_str());
}

bool make_work_folder() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/fuzz_replay.XXXXXX";
    char buffer[PATH_MAX];
    std::snprintf(buffer, sizeof buffer, "%s", pattern.c_str());
    if (!mkdtemp(buffer)) return false;
    work_folder = buffer;
    input_path = work_folder + "/input.vrp";
    std::atexit(remove_work_folder);
    return true;
}

void check_one_line(const ReplayPlayer& player, const char* when) {
    if (player.message[0] == '\0') broken_promise(when, "no message");
    if (std::strchr(player.message, '\n')) broken_promise(when, player.message);
    if (!std::strstr(player.message, input_path.c_str())) broken_promise(when, player.message);
}

ReplayPlayer player;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (!alloc_world()) broken_promise("out of memory for the world", "");
    init_face_table();
    init_map_cells();
    path_search = new PathSearch;
    if (!path_search->create_buffers()) broken_promise("out of memory for the path search", "");
    const char* corpus_flag = "--make-corpus=";
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], corpus_flag, std::strlen(corpus_flag)) == 0)
            std::exit(make_corpus((*argv)[i] + std::strlen(corpus_flag)));
    if (!make_work_folder()) broken_promise("cannot make a folder for the inputs", "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!write_file(input_path, data, size)) broken_promise("cannot write the input file", "");
    start_as_the_program_does();
    if (!replay_open(&player, input_path.c_str())) {
        check_one_line(player, "a refused file");
        return 0;
    }
    choose_next_deal_seed(player.header.first_seed);
    new_game();
    if (!replay_check_first_deal(&player)) broken_promise("the first deal is not the header's", player.message);
    ReplayStep step = replay_step_played;
    for (int pass = 0; pass < most_passes && step == replay_step_played; ++pass)
        step = replay_play_pass(&player, rules_pass);
    if (step != replay_step_played) check_one_line(player, "an ended replay");
    if (direct_keys_replayed) broken_promise("the replayed keys outlived the pass", "");
    replay_close(&player);
    // A deal seed the file chose but no pass used must not reach the next input.
    if (deal_seed_pending()) new_game();
    struct stat after;
    if (stat(input_path.c_str(), &after) != 0 || static_cast<size_t>(after.st_size) != size)
        broken_promise("the player changed the file", "");
    return 0;
}
