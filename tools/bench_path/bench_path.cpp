// Timings of the path queries on the open 64 x 64 map: a short walk, leader
// to leader, corner to corner, and a goal that may not be entered; the plain
// search against the fast queries, from a start cell seen for the first time
// and from one asked before; and the fast queries' start-up work.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "path/path_fast.h"
#include "path/path_queries.h"
#include "path/path_search.h"
#include "world/world_arrays.h"

namespace {

constexpr int walker = 20;

struct QueryCase {
    int from_x, from_y, to_x, to_y;
};

constexpr QueryCase short_walk = {10, 10, 15, 10};
constexpr QueryCase leader_to_leader = {32, 4, 32, 59};
constexpr QueryCase corner_to_corner = {1, 1, 62, 62};
constexpr QueryCase failed_search = {10, 10, 40, 30};  // (40, 30) is a wall

void make_map() {
    init_face_table();
    init_map_cells();
    cell_kinds[cell_index(0, failed_search.to_x, failed_search.to_y)] = 3;
}

bool set_up_world() {
    if (!alloc_world()) return false;
    make_map();
    path_search = new PathSearch();
    return path_search->create_buffers();
}

void place_walker(const QueryCase& c) {
    Unit& unit = unit_table[walker];
    unit.active = 1;
    unit.mobility = 1;
    unit.order = order_move;
    unit.tile_x = static_cast<uint16_t>(c.from_x);
    unit.tile_y = static_cast<uint16_t>(c.from_y);
}

void plain(benchmark::State& state, QueryCase c) {
    for (auto _ : state) {
        place_walker(c);
        benchmark::DoNotOptimize(plain_path_step_to_cell(walker, c.to_x, c.to_y, 64));
    }
}

// The start's kept answers are dropped before every query, so each one
// searches as the first query from that cell does.
void fast_first_seen(benchmark::State& state, QueryCase c) {
    learn_map();
    for (auto _ : state) {
        forget_kept_start(0, c.from_x, c.from_y);
        place_walker(c);
        benchmark::DoNotOptimize(path_step_to_cell(walker, c.to_x, c.to_y, 64));
    }
}

void fast_repeated(benchmark::State& state, QueryCase c) {
    place_walker(c);
    path_step_to_cell(walker, c.to_x, c.to_y, 64);
    for (auto _ : state) {
        place_walker(c);
        benchmark::DoNotOptimize(path_step_to_cell(walker, c.to_x, c.to_y, 64));
    }
}

// A unit walking from leader to leader, asking at every step as the game
// does: every step starts from a cell not seen before.
template <int (*query)(int, int, int, int)>
void walk(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        forget_kept_paths();
        learn_map();
        place_walker(leader_to_leader);
        state.ResumeTiming();
        int steps = 0;
        while (query(walker, leader_to_leader.to_x, leader_to_leader.to_y, 64) == 1 && steps < 200) {
            Unit& unit = unit_table[walker];
            unit.tile_x = unit.next_x;
            unit.tile_y = unit.next_y;
            ++steps;
            if (unit.tile_x == path_search->target_x && unit.tile_y == path_search->target_y) break;
        }
        benchmark::DoNotOptimize(steps);
    }
}

// Taking every buffer of the search object and of the kept answers, and
// learning the map's moves and regions, as the first query does.
void start_up(benchmark::State& state) {
    PathSearch* kept = path_search;
    size_t bytes = 0;
    for (auto _ : state) {
        release_kept_paths();
        path_search = new PathSearch();
        if (!path_search->create_buffers() || !learn_map()) state.SkipWithError("out of memory");
        bytes = kept_paths_bytes();
        path_search->release_buffers();
        delete path_search;
    }
    path_search = kept;
    state.counters["kept_bytes"] = static_cast<double>(bytes);
    state.counters["kept_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

#define QUERY_BENCHMARKS(name)                                   \
    BENCHMARK_CAPTURE(plain, name, name);                        \
    BENCHMARK_CAPTURE(fast_first_seen, name, name);              \
    BENCHMARK_CAPTURE(fast_repeated, name, name)

QUERY_BENCHMARKS(short_walk);
QUERY_BENCHMARKS(leader_to_leader);
QUERY_BENCHMARKS(corner_to_corner);
QUERY_BENCHMARKS(failed_search);
BENCHMARK_TEMPLATE(walk, plain_path_step_to_cell)->Name("walk_leader_to_leader/plain");
BENCHMARK_TEMPLATE(walk, path_step_to_cell)->Name("walk_leader_to_leader/fast");
BENCHMARK(start_up);

int main(int argc, char** argv) {
    if (!set_up_world()) {
        std::fprintf(stderr, "bench_path: out of memory\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
