// The display step alone, per frame: the 640 x 480 picture copied out of the
// drawable's corner and enlarged into its place with black around it, as the
// swap does it before presenting, on an offscreen drawable of the window's or
// screen's size. What the swap itself then costs is the window system's, and
// shows only in the real game's frame rate.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>

#include "platform/common/display.h"
#include "platform/headless/headless_platform.h"

namespace {

constexpr int picture_width = 640;
constexpr int picture_height = 480;

// An offscreen drawable of exactly the window's or screen's size.
bool open_drawable(int width, int height) {
    display_stop();
    platform_release_gl_current();
    platform_delete_gl_context();
    platform_destroy_window();
    headless_reset();
    if (!platform_create_window("display", width, height, 16) || !platform_create_gl_context() ||
        !platform_make_gl_current())
        return false;
    display_start(picture_width, picture_height);
    return true;
}

// The game's frame is already finished when the step starts; a clear of its
// corner stands for it, outside the timing.
void display_step(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    if (!open_drawable(width, height)) {
        state.SkipWithError("no offscreen GL context of that size");
        return;
    }
    display_present(width, height);  // the first present after a size change also blackens the bars
    for (int i = 0; i < 3; ++i) display_present(width, height);
    for (auto _ : state) {
        state.PauseTiming();
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);  // the scissor keeps it to the corner, as in the game
        glFinish();
        state.ResumeTiming();
        display_present(width, height);
        glFinish();  // the software renderer works behind the calls
    }
    state.counters["factor"] = display_current_layout().factor;
}

}  // namespace

BENCHMARK(display_step)
    ->ArgNames({"width", "height"})
    ->Args({640, 480})     // today's window: nothing to do
    ->Args({1280, 960})    // the window at factor 2
    ->Args({1920, 1440})   // the window at factor 3
    ->Args({1920, 1080})   // full screen at 1080p: factor 2 with bars
    ->Args({3840, 2160})   // full screen at 2160p: factor 4 with bars
    ->Iterations(200)  // the paused part would make a timed minimum take forever
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!open_drawable(picture_width, picture_height)) {
        std::fprintf(stderr, "bench_display: no offscreen GL context\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    display_stop();
    platform_release_gl_current();
    platform_delete_gl_context();
    platform_destroy_window();
    return 0;
}
