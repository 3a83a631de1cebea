// fuzz_replay: libFuzzer target for the replay reader and player. Each input
// becomes a file that the player reads as varnhold-sim --replay does, through
// the rule steps, for at most a few thousand passes. Besides the sanitizers,
// every input is held to what the player promises: it opens or says why in
// one line naming the file, and every step but a played pass ends it with
// one line; the file is never written.
//
//   fuzz_replay --make-corpus=FOLDER   copies the replays of tests/data as seeds and exits
//   fuzz_replay [libFuzzer flags] CORPUS...
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/headless/headless_platform.h"
#include "tests/support/replay_script.h"
#include "tools/sim/sim_world.h"
#include "world/new_game.h"
#include "world/world_arrays.h"
#include "tests/fuzz/corpus_flag.h"

namespace {

std::string input_path;

[[noreturn]] void broken_promise(const char* what, const char* message) {
    std::fprintf(stderr, "fuzz_replay: %s (%s)\n", what, message);
    std::abort();
}

// The seeds are the replays kept as test data: four recorded through the
// rule steps (side 0 pointing, pressing, dealing and pacing at random) and
// the previous release's two, so that both formats' readers start from
// real files.
int make_corpus(const char* folder) {
    mkdir(folder, 0755);
    const char* const names[] = {"format2_game_1.vrp",  "format2_game_5.vrp",   "format2_game_27.vrp",
                                 "format2_game_4242.vrp", "format1_window.vrp", "format1_scripted.vrp"};
    for (const char* name : names) {
        std::FILE* in = std::fopen((std::string(VARNHOLD_SOURCE_DIR) + "/tests/data/" + name).c_str(), "rb");
        std::FILE* out = std::fopen((std::string(folder) + "/" + name).c_str(), "wb");
        for (int c; in && out && (c = std::getc(in)) != EOF;) std::putc(c, out);
        const bool copied = in && out && std::ferror(in) == 0;
        if (in) std::fclose(in);
        if (out) std::fclose(out);
        if (!copied) {
            std::fprintf(stderr, "fuzz_replay: cannot copy the seed %s\n", name);
            return 1;
        }
    }
    std::printf("fuzz_replay: 6 replays in %s\n", folder);
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
    make_corpus_when_asked(*argc, *argv, make_corpus);
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
    if (!play_replay_file(input_path.c_str(), &player, &step, replay_turn_by_rules, 3000)) {
        check_one_line(player, "a refused file");
        return 0;
    }
    if (step == replay_step_differs && player.passes == 0) broken_promise("the first deal is not the header's", player.message);
    if (step != replay_step_played) check_one_line(player, "an ended replay");
    struct stat after;
    if (stat(input_path.c_str(), &after) != 0 || static_cast<size_t>(after.st_size) != size)
        broken_promise("the player changed the file", "");
    return 0;
}
