// Timings of the path queries on the open 64 x 64 map: a short walk, leader
// to leader, corner to corner, and a goal that may not be entered.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

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

bool set_up_world() {
    if (!alloc_world()) return false;
    init_face_table();
    init_map_cells();
    path_search = new PathSearch();
    if (!path_search->create_buffers()) return false;
    cell_kinds[cell_index(0, failed_search.to_x, failed_search.to_y)] = 3;
    return true;
}

void place_walker(const QueryCase& c) {
    Unit& unit = unit_table[walker];
    unit.active = 1;
    unit.mobility = 1;
    unit.order = order_move;
    unit.tile_x = static_cast<uint16_t>(c.from_x);
    unit.tile_y = static_cast<uint16_t>(c.from_y);
}

void literal_query(benchmark::State& state, QueryCase c) {
    for (auto _ : state) {
        place_walker(c);
        benchmark::DoNotOptimize(literal_path_step_to_cell(walker, c.to_x, c.to_y, 64));
    }
}

}  // namespace

BENCHMARK_CAPTURE(literal_query, short_walk, short_walk);
BENCHMARK_CAPTURE(literal_query, leader_to_leader, leader_to_leader);
BENCHMARK_CAPTURE(literal_query, corner_to_corner, corner_to_corner);
BENCHMARK_CAPTURE(literal_query, failed_search, failed_search);

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
