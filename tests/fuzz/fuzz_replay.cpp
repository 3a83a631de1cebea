// fuzz_replay: libFuzzer target for the replay reader and player. Each input
// becomes a file that the player reads as varnhold-sim --replay does, through
// the rule steps, for at most a few thousand passes. Besides the sanitizers,
// every input is held to what the player promises: it opens or says why in
// one line naming the file, and every step but a played pass ends it with
// one line; the replayed keys never outlive a pass; the file is never written.
//
//   fuzz_replay --make-corpus=FOLDER   records real replays as seeds and exits
//   fuzz_replay [libFuzzer flags] CORPUS...
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/input_state.h"
#include "app/main_loop.h"
#include "platform/headless/headless_platform.h"
#include "replay/recording.h"
#include "tests/support/replay_script.h"
#include "tools/sim/sim_world.h"
#include "world/new_game.h"
#include "world/world_arrays.h"

namespace {

std::string input_path;

[[noreturn]] void broken_promise(const char* what, const char* message) {
    std::fprintf(stderr, "fuzz_replay: %s (%s)\n", what, message);
    std::abort();
}

// A seed: a game of PASSES passes from SEED through the loop's own pass,
// with keys, buttons, the mouse, minimising and F1 taps at random.
bool record_seed(const std::string& path, uint32_t seed, int passes) {
    static const int held[] = {vk_space, vk_backspace, vk_0, vk_h, vk_shift, vk_up, vk_left, vk_page_down,
                               vk_f2, vk_f4, vk_f5, vk_f8};
    start_as_the_program_does();
    choose_next_deal_seed(seed);
    new_game();
    start_recording(path.c_str(), false);
    if (!recording_path()) return false;
    Dice dice{seed};
    for (int pass = 0; pass < passes; ++pass) {
        headless_set_calendar_seconds(1700000000 + pass / 60);
        if (dice.below(100) < 5) {
            const int vk = held[dice.below(sizeof held / sizeof held[0])];
            keys[vk] = !keys[vk];
            headless_set_key(vk, keys[vk]);
        }
        keys[vk_f1] = dice.below(400) == 0;
        headless_set_key(vk_f1, keys[vk_f1]);
        if (dice.below(100) < 20) mouse_x = dice.below(640), mouse_y = dice.below(480);
        if (dice.below(100) < 3) mouse_buttons[dice.below(2) * 2] ^= 1;
        if (dice.below(1000) < 5) window_active ^= 1;
        begin_key_pass();
        record_pass_begins();
        rules_pass();
        record_pass_ends();
        end_key_pass();
    }
    stop_recording();
    return true;
}

int make_corpus(const char* folder) {
    mkdir(folder, 0755);
    const uint32_t seeds[] = {1, 5, 27, 4242};
    for (int made = 0; made < 4; ++made) {
        const std::string path = std::string(folder) + "/game_" + std::to_string(seeds[made]) + ".vrp";
        if (!record_seed(path, seeds[made], 200 + 400 * made)) {
            std::fprintf(stderr, "fuzz_replay: cannot write the seed %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("fuzz_replay: 4 recorded replays in %s\n", folder);
    return 0;
}

void remove_input() { std::remove(input_path.c_str()); }

void check_one_line(const ReplayPlayer& player, const char* when) {
    if (player.message[0] == '\0') broken_promise(when, "no message");
    if (std::strchr(player.message, '\n')) broken_promise(when, player.message);
    if (!std::strstr(player.message, input_path.c_str())) broken_promise(when, player.message);
}

ReplayPlayer player;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (!start_sim_world(1)) broken_promise("out of memory for the world or the path search", "");
    const char* corpus_flag = "--make-corpus=";
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], corpus_flag, std::strlen(corpus_flag)) == 0)
            std::exit(make_corpus((*argv)[i] + std::strlen(corpus_flag)));
    const char* temp = std::getenv("TMPDIR");
    input_path = std::string(temp && *temp ? temp : "/tmp") + "/fuzz_replay_" + std::to_string(getpid()) + ".vrp";
    std::atexit(remove_input);
    return 0;
}

// Enough for a few censuses and a deal or two, little enough for speed.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(input_path.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        broken_promise("cannot write the input file", input_path.c_str());
    start_as_the_program_does();
    ReplayStep step = replay_step_played;
    if (!play_replay_file(input_path.c_str(), &player, &step, rules_pass, 3000)) {
        check_one_line(player, "a refused file");
        return 0;
    }
    if (step == replay_step_differs && player.passes == 0) broken_promise("the first deal is not the header's", player.message);
    if (step != replay_step_played) check_one_line(player, "an ended replay");
    if (direct_keys_replayed) broken_promise("the replayed keys outlived the pass", "");
    // A deal seed the file chose but no pass used must not reach the next input.
    if (deal_seed_pending()) new_game();
    struct stat after;
    if (stat(input_path.c_str(), &after) != 0 || static_cast<size_t>(after.st_size) != size)
        broken_promise("the player changed the file", "");
    return 0;
}
