// Timings of what recording adds to a frame: the call the loop makes after
// each frame (the sides' commands compared with the last frame's and a line
// or a run count written through stdio), in a frame that changes nothing
// and in one that moves the cursor tile and a button; and the digest of the
// whole state that every census (one frame in 30) adds. The file is
// real, in the temporary folder, and flushed as the game flushes it. Then
// snapshots: taken to bytes, loaded from bytes (every field checked and
// the digest recomputed), and saved to a file and loaded back from it (the
// save flushed to the disk and renamed, as the game saves).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "game/side_command.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "replay/recording.h"
#include "state/snapshot.h"
#include "state/state_digest.h"
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

// The frame itself is left out: only the recording after it is timed.
void record_frames(benchmark::State& state, bool moving) {
    World world;
    const std::string path = replay_path();
    start_recording(path.c_str(), false);
    FrameCommands commands = no_commands();  // the clock stays put: no census digest is taken here
    commands.side[0].has_cursor = 1;
    int frame = 0;
    for (auto _ : state) {
        if (moving) {
            commands.side[0].cursor_x = 12 + frame % 40;
            commands.side[0].left = frame & 1;
        }
        record_game_frame(commands);
        ++frame;
    }
    stop_recording();
    std::remove(path.c_str());
}

void BM_record_frame_unchanged(benchmark::State& state) { record_frames(state, false); }
void BM_record_frame_cursor_and_button_moved(benchmark::State& state) { record_frames(state, true); }

void BM_state_digest(benchmark::State& state) {
    World world;
    for (auto _ : state) benchmark::DoNotOptimize(digest_game_state());
}

uint8_t snapshot[snapshot_bytes];

void BM_snapshot_to_bytes(benchmark::State& state) {
    World world;
    for (auto _ : state) snapshot_to_bytes(snapshot);
}

void BM_load_snapshot(benchmark::State& state) {
    World world;
    snapshot_to_bytes(snapshot);
    char error[snapshot_error_capacity];
    for (auto _ : state) benchmark::DoNotOptimize(load_snapshot(snapshot, sizeof snapshot, error));
}

void BM_save_snapshot_file(benchmark::State& state) {
    World world;
    const std::string path = replay_path() + ".snap";
    char error[snapshot_error_capacity];
    for (auto _ : state) benchmark::DoNotOptimize(save_snapshot_file(path.c_str(), error));
    std::remove(path.c_str());
}

void BM_load_snapshot_file(benchmark::State& state) {
    World world;
    const std::string path = replay_path() + ".snap";
    char error[snapshot_error_capacity];
    save_snapshot_file(path.c_str(), error);
    for (auto _ : state) benchmark::DoNotOptimize(load_snapshot_file(path.c_str(), error));
    std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_snapshot_to_bytes);
BENCHMARK(BM_load_snapshot);
BENCHMARK(BM_save_snapshot_file);
BENCHMARK(BM_load_snapshot_file);
BENCHMARK(BM_record_frame_unchanged);
BENCHMARK(BM_record_frame_cursor_and_button_moved);
BENCHMARK(BM_state_digest);
BENCHMARK_MAIN();
