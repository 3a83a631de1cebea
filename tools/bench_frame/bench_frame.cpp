// Timings of whole frames in the offscreen GL context (Mesa's software
// renderer when there is no GPU): the opening view and a crowded view, each
// drawn the plain way and batched; the terrain build alone; and a frame of
// rules only, in which eight long path searches run.
//
// Every timed frame starts from the same saved world, so both ways of
// drawing see the same scene and the same searches run in every iteration.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/pass_input.h"
#include "game/side_command.h"
#include "game/view.h"
#include "game/world_start.h"
#include "path/path_fast.h"
#include "game/frame.h"
#include "game/frame_rules.h"
#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "render/world_drawing.h"
#include "terrain/terrain_mesh.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/random.h"
#include "world/world_arrays.h"

namespace {

constexpr uint32_t deal_seed = 20240611;
// A frame after this one is none of the periodic frames (census, economy,
// strategy, wandering) and still shows the intro picture.
constexpr int opening_frame = 100;
constexpr int terrain_radius = 20;
constexpr int crowd_reach = 16;  // L1 distance from the view centre; the diamond reaches 19
constexpr int slice_width = 8;
constexpr int slices_per_cycle = 33;

// What a frame changes and the next iteration must find as it was.
struct SavedWorld {
    Unit units[max_units];
    uint32_t rng_state;
    int32_t frame_counter;
};

SavedWorld opening_world;
SavedWorld crowd_world;
SavedWorld search_world;

void save_world(SavedWorld* saved) {
    std::memcpy(saved->units, unit_table, sizeof saved->units);
    saved->rng_state = rng::state();
    saved->frame_counter = frame_counter;
}

void restore_world(const SavedWorld& saved) {
    std::memcpy(unit_table, saved.units, sizeof saved.units);
    rng::srand(saved.rng_state);
    frame_counter = saved.frame_counter;
    local_view.map_sx = 32;
    local_view.map_sy = 32;
}

// The player's mouse rests at the window's centre, over the view centre.
PassInput resting_input() {
    PassInput input;
    clear_pass_input(&input);
    input.cursor_dx = cursor_offset_for_column(screen_width / 2);
    input.cursor_dy = cursor_offset_for_row(screen_height / 2);
    input.spin_column = screen_width / 2;
    return input;
}

FrameCommands resting_commands() {
    FrameCommands commands = no_commands();
    commands.side[0] = command_from_pass(resting_input(), local_view);
    return commands;
}

bool run_frame(WorldDrawing way = WorldDrawing::batched) {
    return run_frame(resting_commands(), &local_view, resting_input(), way);
}

bool open_game() {
    headless_reset();
    headless_set_calendar_seconds(deal_seed);
    if (!open_window("VARNHOLD", screen_width, screen_height, 16)) return false;
    if (start_world(deal_seed)) return false;
    follow_deal(&local_view);
    resize_view(screen_width, screen_height);
    game_speed = 1;
    return image_table[10].width > 0 && image_table[30].width > 0;
}

// The deal and its first frame (the wandering orders are given there).
void prepare_opening() {
    new_game_from_seed(deal_seed);
    run_frame();
    glFinish();
    frame_counter = opening_frame;
    save_world(&opening_world);
}

int units_in_diamond() {
    int count = 0;
    for (int i = 0; i < max_units; ++i) {
        const Unit& unit = unit_table[i];
        if (unit.active && std::abs(unit.tile_x - local_view.map_sx) + std::abs(unit.tile_y - local_view.map_sy) < 20) ++count;
    }
    return count;
}

// The next neutral creature after slot `after`, or -1.
int next_neutral(int after) {
    for (int i = after + 1; i < max_units; ++i)
        if (unit_table[i].active && unit_table[i].owner == owner_neutral) return i;
    return -1;
}

// Every neutral creature of the deal walked into the diamond, on tiles two
// apart, nearest first; every tenth of them fallen, drawn as blood.
void prepare_crowd() {
    restore_world(opening_world);
    int index = next_neutral(1);
    int placed = 0;
    for (int distance = 0; distance <= crowd_reach && index >= 0; distance += 2) {
        for (int dx = -distance; dx <= distance && index >= 0; dx += 2) {
            for (int sign = -1; sign <= 1 && index >= 0; sign += 2) {
                const int dy = sign * (distance - std::abs(dx));
                if (dy == 0 && sign > 0) continue;  // that tile was taken with the other sign
                Unit& unit = unit_table[index];
                unit.tile_x = static_cast<uint16_t>(local_view.map_sx + dx);
                unit.tile_y = static_cast<uint16_t>(local_view.map_sy + dy);
                if (++placed % 10 == 0) {
                    unit.dead = 1;
                    unit.hp = 0.0f;
                }
                index = next_neutral(index);
            }
        }
    }
    save_world(&crowd_world);
}

// Eight units in the slice that the next frame updates, each ordered across
// the whole map: eight searches over most of the grid in one frame.
void prepare_long_searches() {
    restore_world(opening_world);
    const int next_frame = frame_counter + 1;
    const int first = (next_frame % slices_per_cycle) * slice_width;
    for (int k = 0; k < slice_width; ++k) {
        Unit& unit = unit_table[first + k];
        unit.active = 1;
        unit.owner = owner_neutral;
        unit.dead = 0;
        unit.mobility = 1;
        unit.order = order_move;
        unit.tile_x = static_cast<uint16_t>(2 + k);
        unit.tile_y = 2;
        unit.goal_x = static_cast<uint16_t>(61 - k);
        unit.goal_y = 61;
    }
    save_world(&search_world);
}

WorldDrawing drawing_way(bool plain) { return plain ? WorldDrawing::plain : WorldDrawing::batched; }

void timed_frames(benchmark::State& state, const SavedWorld& world, bool plain) {
    restore_world(world);
    state.counters["units"] = units_in_diamond();
    for (auto _ : state) {
        state.PauseTiming();
        restore_world(world);
        state.ResumeTiming();
        run_frame(drawing_way(plain));
        glFinish();  // the software renderer works behind the calls; wait for the picture
    }
    state.counters["triangles"] = visible_triangle_count;
}

void frame_opening(benchmark::State& state, bool plain) { timed_frames(state, opening_world, plain); }
void frame_crowd(benchmark::State& state, bool plain) { timed_frames(state, crowd_world, plain); }

void terrain_mesh_build(benchmark::State& state) {
    restore_world(opening_world);
    for (auto _ : state) {
        vertex_count = 0;
        triangle_count = 0;
        build_terrain_mesh(0, local_view.map_sx, local_view.map_sy, terrain_radius);
        benchmark::DoNotOptimize(triangle_count);
    }
    state.counters["triangles"] = triangle_count;
}

// The kept answers of the path queries are dropped for the eight start
// cells before each frame when `fresh_starts` is set, so each search runs
// as from a cell never seen; otherwise the frame finds them kept.
void rules_with_long_searches(benchmark::State& state, bool fresh_starts) {
    for (auto _ : state) {
        state.PauseTiming();
        restore_world(search_world);
        if (fresh_starts)
            for (int k = 0; k < slice_width; ++k) forget_kept_start(0, 2 + k, 2);
        const FrameCommands commands = resting_commands();
        state.ResumeTiming();
        run_rule_steps(commands);
    }
}

// The unit pass alone (pictures, labels, bars), on the scene and camera
// that a whole frame left.
void unit_pass(benchmark::State& state, bool plain) {
    restore_world(opening_world);
    run_frame();
    GLfloat camera[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, camera);
    for (auto _ : state) {
        glLoadMatrixf(camera);
        draw_unit_pass(local_view.map_sx, local_view.map_sy, local_view.unit_size, local_view.camera_spin,
                       drawing_way(plain));
        glFinish();
    }
}

// The terrain drawing alone, on the mesh that a whole frame built.
void mesh_draw(benchmark::State& state, bool plain) {
    restore_world(opening_world);
    run_frame();
    for (auto _ : state) {
        glEnable(GL_BLEND);
        draw_mesh(drawing_way(plain));
        glDisable(GL_BLEND);
        glFinish();
    }
}

// The software renderer compiles its pipelines on first use; a few frames
// of every scene both ways keep that out of the first timing.
void warm_up() {
    const SavedWorld* worlds[2] = {&opening_world, &crowd_world};
    for (const SavedWorld* world : worlds) {
        for (int plain = 0; plain < 2; ++plain) {
            for (int i = 0; i < 5; ++i) {
                restore_world(*world);
                run_frame(drawing_way(plain != 0));
                glFinish();
            }
        }
    }
}

// The overlay alone: one transfer of 640 x 480 RGBA over the scene.
void overlay_present(benchmark::State& state) {
    restore_world(opening_world);
    run_frame();
    for (auto _ : state) {
        present_overlay();
        glFinish();
    }
}

}  // namespace

BENCHMARK_CAPTURE(frame_opening, plain, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(frame_opening, batched, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(frame_crowd, plain, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(frame_crowd, batched, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(unit_pass, plain, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(unit_pass, batched, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(mesh_draw, plain, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(mesh_draw, batched, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(overlay_present)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(terrain_mesh_build)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(rules_with_long_searches, fresh_starts, true)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(rules_with_long_searches, kept_answers, false)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!open_game()) {
        std::fprintf(stderr, "bench_frame: no offscreen GL context, or the pictures did not load\n");
        return 1;
    }
    prepare_opening();
    prepare_crowd();
    prepare_long_searches();
    warm_up();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    close_window();
    stop_world();
    return 0;
}
