// fuzz_snapshot: libFuzzer target for the snapshot reader. An input is
// refused with one line and the game left as it was, or loaded whole: taken
// again it is the very input, and a hundred frames of both sides' rules on
// it stay in bounds (the sanitizers watch every index it leads to).
//
//   fuzz_snapshot --make-corpus=FOLDER   writes snapshots of seeded games as seeds and exits
//   fuzz_snapshot [libFuzzer flags] CORPUS...
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/frame_rules.h"
#include "state/snapshot.h"
#include "state/state_digest.h"
#include "tools/sim/sim_player.h"
#include "tools/sim/sim_world.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "tests/fuzz/corpus_flag.h"

namespace {

[[noreturn]] void broken_promise(const char* what, const char* message) {
    std::fprintf(stderr, "fuzz_snapshot: %s (%s)\n", what, message);
    std::abort();
}

void play_busy(int frames) {
    for (int frame = 0; frame < frames; ++frame) {
        FrameCommands commands = no_commands();
        for (int side = 0; side < side_count; ++side) commands.side[side] = sim_busy_command(7, side, 0);
        run_rule_steps(commands);
    }
}

// Games of both kinds of side 1, at their deal and well into play.
int make_corpus(const char* folder) {
    mkdir(folder, 0755);
    char error[snapshot_error_capacity];
    int written = 0;
    for (int played : {0, 400, 2500}) {
        for (uint8_t person : {0, 1}) {
            new_game_from_seed(static_cast<uint32_t>(played + person));
            side_played_by_person[1] = person;
            play_busy(played);
            const std::string path = std::string(folder) + "/seed" + std::to_string(written++) + ".snap";
            if (!save_snapshot_file(path.c_str(), error)) broken_promise("cannot write a seed", error);
        }
    }
    std::printf("fuzz_snapshot: %d snapshots in %s\n", written, folder);
    return 0;
}

uint8_t again[snapshot_bytes];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (!start_sim_world(1)) broken_promise("out of memory for the world or the path search", "");
    make_corpus_when_asked(*argc, *argv, make_corpus);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    new_game_from_seed(1);
    const uint64_t before = digest_game_state().whole;
    char error[snapshot_error_capacity] = "";
    if (!load_snapshot(data, size, error)) {
        if (error[0] == '\0' || std::strchr(error, '\n')) broken_promise("not one line", error);
        if (digest_game_state().whole != before) broken_promise("a refused snapshot changed the game", error);
        return 0;
    }
    snapshot_to_bytes(again);
    if (size != snapshot_bytes || std::memcmp(data, again, size) != 0)
        broken_promise("a loaded snapshot taken again is not the input", "");
    play_busy(100);
    return 0;
}
