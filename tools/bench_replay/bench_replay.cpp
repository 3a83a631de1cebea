// Timings of what recording adds to a loop pass: the two calls the loop
// makes around each pass (the inputs compared with the last pass's and a
// line or a run count written through stdio), in a pass that changes
// nothing and in one that moves the cursor tile and a key; and the digest
// of the whole state that every census (one frame in 30) adds. The file is
// real, in the temporary folder, and flushed as the game flushes it.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/input_state.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "replay/recording.h"
#include "replay/state_digest.h"
#include "world/new_game.h"
#include "world/world_arrays.h"

namespace {

std::string replay_path() {
    const char* temp = std::getenv("TMPDIR");
    return std::string(temp && *temp ? temp : "/tmp") + "/bench_replay_" + std::to_string(getpid()) + ".vrp";
}

struct World {
    World() {
        headless_reset();
        alloc_world();
        init_face_table();
        init_map_cells();
        path_search = new PathSearch;
        path_search->create_buffers();
        new_game_from_seed(20240611);
    }
    ~World() {
        path_search->release_buffers();
        delete path_search;
        path_search = nullptr;
        free_world();
    }
};

// The pass itself is left out: only the recording around it is timed.
void record_passes(benchmark::State& state, bool moving) {
    World world;
    const std::string path = replay_path();
    start_recording(path.c_str(), false);
    window_active = 0;  // no frame runs, so no census digest is taken here
    keys[vk_page_down] = 1;
    int pass = 0;
    for (auto _ : state) {
        if (moving) {
            mouse_x = (pass * 16) % 640;
            keys[vk_up] = pass & 1;
        }
        begin_key_pass();
        record_pass_begins();
        key_down(vk_shift);
        record_pass_ends();
        end_key_pass();
        ++pass;
    }
    stop_recording();
    std::remove(path.c_str());
    window_active = 1;
}

void BM_record_pass_unchanged(benchmark::State& state) { record_passes(state, false); }
void BM_record_pass_cursor_and_key_moved(benchmark::State& state) { record_passes(state, true); }

void BM_state_digest(benchmark::State& state) {
    World world;
    for (auto _ : state) benchmark::DoNotOptimize(digest_game_state());
}

}  // namespace

BENCHMARK(BM_record_pass_unchanged);
BENCHMARK(BM_record_pass_cursor_and_key_moved);
BENCHMARK(BM_state_digest);
BENCHMARK_MAIN();
