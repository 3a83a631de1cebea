// Timings of seeking in the replay of a 60-minute game (a busy person
// against the computer, a second deal at frame 70000), as the viewer's keys
// seek: back a minute, back to the start, on to the end, on 10 s. Each is
// timed from the frame just before a kept point, where a seek has the most
// frames to play after its load. The points are kept first, as the viewer
// keeps them in its spare time; how long that takes, and the seek to the
// end before it, are timed once. The memory the points take is reported:
// allocated once, the same for a two-hour game.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/frame_rules.h"
#include "replay/recording.h"
#include "replay/replay_seek.h"
#include "tools/sim/sim_player.h"
#include "tools/sim/sim_world.h"

namespace {

constexpr uint32_t seed = 4;
constexpr int deal_at = 70000;
constexpr uint64_t hour = 3600 * seek_frames_per_second;
constexpr uint64_t minute = 60 * seek_frames_per_second;
constexpr uint64_t ten_seconds = 10 * seek_frames_per_second;

ReplayPlayer player;
ReplaySeek seek;
bool stopped = false;

std::string replay_path() {
    const char* temp = std::getenv("TMPDIR");
    return std::string(temp && *temp ? temp : "/tmp") + "/bench_seek_" + std::to_string(getpid()) + ".vrp";
}

double seconds_since(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

void record_game(const std::string& path) {
    start_sim_world(seed);
    start_recording(path.c_str(), false);
    for (uint64_t frame = 0; frame < hour; ++frame) {
        FrameCommands commands = no_commands();
        commands.side[0] = sim_busy_command(seed, 0, deal_at);
        run_rule_steps(commands);
        record_game_frame(commands);
    }
    stop_recording();
    stop_sim_world();
}

void seek_or_fail(benchmark::State& state, uint64_t frame) {
    const ReplayStep step = seek_to_frame(&seek, &player, frame, stopped);
    stopped = step != replay_step_played;
    if (player.frames != frame || (stopped && (step != replay_step_finished || frame != seek.length)))
        state.SkipWithError(player.message);
}

bool open_replay(benchmark::State& state, const std::string& path) {
    seek_close(&seek);
    replay_close(&player);
    stop_sim_world();
    stopped = false;
    if (replay_open(&player, path.c_str()) && start_sim_world(player.header.first_seed) &&
        replay_check_first_deal(&player) && seek_open(&seek, &player))
        return true;
    state.SkipWithError("the replay could not be opened");
    return false;
}

// The points of the whole replay kept from its start, as the viewer keeps
// them in its spare time; then, opened again, the seek to the end before
// any point beyond the start is kept. Each timed once.
void BM_keep_points_of_the_whole_replay(benchmark::State& state) {
    const std::string path = replay_path();
    record_game(path);
    for (auto _ : state) {
        if (!open_replay(state, path)) return;
        auto started = std::chrono::steady_clock::now();
        while (!seek.indexed) index_ahead(&seek, &player);
        state.counters["keep_points_s"] = seconds_since(started);
        if (!open_replay(state, path)) return;
        started = std::chrono::steady_clock::now();
        seek_or_fail(state, hour);
        state.counters["to_end_unkept_s"] = seconds_since(started);
    }
    std::remove(path.c_str());
    state.counters["points"] = seek.point_count;
    state.counters["point_bytes"] = sizeof(SeekPoint);
    state.counters["memory_MB"] = static_cast<double>(seek_memory_bytes()) / 1e6;
    state.counters["two_hour_points_MB"] = static_cast<double>(2 * hour / seek_first_spacing * sizeof(SeekPoint)) / 1e6;
}
BENCHMARK(BM_keep_points_of_the_whole_replay)->Iterations(1)->Unit(benchmark::kMillisecond);

void seek_from(benchmark::State& state, uint64_t from, uint64_t to) {
    for (auto _ : state) {
        state.PauseTiming();
        seek_or_fail(state, from);
        state.ResumeTiming();
        seek_or_fail(state, to);
    }
}

void BM_seek_back_a_minute(benchmark::State& state) { seek_from(state, hour / 2 - 1, hour / 2 - 1 - minute); }
void BM_seek_back_to_the_start(benchmark::State& state) { seek_from(state, hour / 2 - 1, 0); }
void BM_seek_on_to_the_end(benchmark::State& state) { seek_from(state, hour / 2 - 1, hour); }
void BM_seek_on_10_seconds(benchmark::State& state) { seek_from(state, hour / 4 - 1, hour / 4 - 1 + ten_seconds); }
BENCHMARK(BM_seek_back_a_minute)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_seek_back_to_the_start)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_seek_on_to_the_end)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_seek_on_10_seconds)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
