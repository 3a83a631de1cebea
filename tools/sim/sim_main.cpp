// varnhold-sim: plays the game's own rules without a window, for soak runs,
// reproducible dumps and timing of the rule steps.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/frame_rules.h"
#include "game/side_command.h"
#include "game/view.h"
#include "net/lobby.h"
#include "path/path_queries.h"
#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "tools/sim/sim_network.h"
#include "tools/sim/sim_player.h"
#include "tools/sim/sim_replay.h"
#include "tools/sim/sim_world.h"
#include "tools/sim/sim_report.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/world_arrays.h"

namespace {

struct SimOptions {
    uint32_t seed = 1;
    long long frames = 1000;
    SimPlayerStyle player = sim_player_idle;
    const char* dump_path = nullptr;
    bool check = false;
    // A side of a two-player game (--host or --join) instead.
    bool network = false;
    SimNetOptions net = {false, net_default_port, nullptr, 1, 1000, sim_player_random, nullptr, 0, false};
};

void print_usage(std::FILE* to = stderr) {
    std::fprintf(to,
                 "usage: varnhold-sim --seed S --frames N [--player idle|attack|random] [--dump FILE] [--check]\n"
                 "       varnhold-sim --replay FILE\n"
                 "       varnhold-sim --host [PORT] [--seed S] --frames N [--player P] [--record FILE] [--fps F]\n"
                 "       varnhold-sim --join HOST[:PORT] --frames N [--player P] [--record FILE] [--fps F]\n"
                 "  --check   test the game's invariants after every frame; exit 3 at the first broken one\n"
                 "  --replay  play a replay through the rule steps and check its digests; exit 0 only\n"
                 "            when all match to the game's end\n"
                 "  --host, --join  play one side of a two-player game over UDP (random choices by\n"
                 "            default), N frames at F a second (0: as fast as the other side allows);\n"
                 "            exit 0 only when all N were played with both games alike\n"
                 "  -h, --help  show this help and exit\n");
}

bool player_given = false;

bool parse_options(int argc, char** argv, SimOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        char* end = nullptr;
        if (!std::strcmp(arg, "--seed") && value) {
            options->seed = static_cast<uint32_t>(std::strtoul(value, &end, 10));
            if (*end) return false;
            ++i;
        } else if (!std::strcmp(arg, "--frames") && value) {
            options->frames = std::strtoll(value, &end, 10);
            if (*end || options->frames < 0) return false;
            ++i;
        } else if (!std::strcmp(arg, "--player") && value) {
            player_given = true;
            if (!std::strcmp(value, "idle")) options->player = sim_player_idle;
            else if (!std::strcmp(value, "attack")) options->player = sim_player_attack;
            else if (!std::strcmp(value, "random")) options->player = sim_player_random;
            else return false;
            ++i;
        } else if (!std::strcmp(arg, "--dump") && value) {
            options->dump_path = value;
            ++i;
        } else if (!std::strcmp(arg, "--check")) {
            options->check = true;
        } else if (!std::strcmp(arg, "--host")) {
            options->network = options->net.hosting = true;
            if (value && value[0] != '-') {
                options->net.port = static_cast<int>(std::strtol(value, &end, 10));
                if (*end || options->net.port < 1 || options->net.port > 65535) return false;
                ++i;
            }
        } else if (!std::strcmp(arg, "--join") && value) {
            options->network = true;
            options->net.join_address = value;
            ++i;
        } else if (!std::strcmp(arg, "--record") && value) {
            options->net.record_path = value;
            ++i;
        } else if (!std::strcmp(arg, "--fps") && value) {
            options->net.frames_per_second = static_cast<int>(std::strtol(value, &end, 10));
            if (*end || options->net.frames_per_second < 0 || options->net.frames_per_second > 1000) return false;
            ++i;
        } else if (!std::strcmp(arg, "--deal-other-seed")) {
            options->net.deal_other_seed = true;
        } else {
            return false;
        }
    }
    return true;
}


// Time this thread spent running, so that another process taking the core
// does not count as the game's own work.
double thread_cpu_ms() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

void count_living(int living[3]) {
    living[0] = living[1] = living[2] = 0;
    for (int i = 0; i < max_units; ++i) {
        const Unit& u = unit_table[i];
        if (u.active && !u.dead && u.owner >= 0 && u.owner <= 2) ++living[u.owner];
    }
}

// Path queries the rules asked, counted through the path room's hook.
long long path_queries = 0;
void count_path_query() { ++path_queries; }

}  // namespace

int main(int argc, char** argv) {
    // As every GNU program: the help asked for is no error, and goes to stdout.
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            print_usage(stdout);
            return 0;
        }
    if (argc >= 2 && !std::strcmp(argv[1], "--replay")) {
        if (argc != 3) {
            print_usage();
            return 2;
        }
        return check_replay(argv[2]);
    }
    SimOptions options;
    if (!parse_options(argc, argv, &options)) {
        print_usage();
        return 2;
    }
    if (options.network) {
        if (options.net.hosting == (options.net.join_address != nullptr)) {
            print_usage();
            return 2;
        }
        SimNetOptions net = options.net;
        net.seed = options.seed;
        net.frames = options.frames;
        if (player_given) net.player = options.player;
        return play_network_peer(net);
    }
    if (!start_sim_world(options.seed)) {
        std::fprintf(stderr, "varnhold-sim: out of memory\n");
        return 1;
    }
    sim_player_seed(options.seed);
    remember_units();
    path_query_hook = count_path_query;

    double total_ms = 0.0, worst_ms = 0.0;
    double total_cpu_ms = 0.0, worst_cpu_ms = 0.0;
    long long worst_frame = 0, worst_cpu_frame = 0;
    long long frames_run = 0;
    View view = start_view(0);
    follow_deal(&view);
    for (; frames_run < options.frames; ++frames_run) {
        PassInput input;
        sim_player_act(options.player, &view, &input);
        FrameCommands commands = no_commands();
        commands.side[0] = command_from_pass(input, view);
        auto started = std::chrono::steady_clock::now();
        double cpu_started = thread_cpu_ms();
        run_rule_steps(commands);
        double cpu_ms = thread_cpu_ms() - cpu_started;
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        total_ms += ms;
        total_cpu_ms += cpu_ms;
        if (ms > worst_ms) {
            worst_ms = ms;
            worst_frame = frames_run + 1;
        }
        if (cpu_ms > worst_cpu_ms) {
            worst_cpu_ms = cpu_ms;
            worst_cpu_frame = frames_run + 1;
        }
        if (options.check) {
            if (const char* broken = broken_invariant()) {
                std::fprintf(stderr, "varnhold-sim: frame %lld: %s\n", frames_run + 1, broken);
                stop_sim_world();
                return 3;
            }
            remember_units();
        }
    }

    int living[3];
    count_living(living);
    std::printf("frames %lld\n", frames_run);
    std::printf("empire_0_won %d empire_1_won %d tie %d\n", empire_0_won, empire_1_won, tie);
    std::printf("empire_0_gold %.2f empire_1_gold %.2f\n", unit_table[0].gold, unit_table[1].gold);
    std::printf("living player %d computer %d neutral %d\n", living[0], living[1], living[2]);
    std::printf("path_queries %lld\n", path_queries);
    std::printf("ms_per_frame wall mean %.4f worst %.4f (frame %lld)\n", frames_run ? total_ms / frames_run : 0.0,
                worst_ms, worst_frame);
    std::printf("ms_per_frame cpu mean %.4f worst %.4f (frame %lld)\n",
                frames_run ? total_cpu_ms / frames_run : 0.0, worst_cpu_ms, worst_cpu_frame);

    bool dumped = !options.dump_path || write_unit_dump(options.dump_path);
    stop_sim_world();
    if (!dumped) {
        std::fprintf(stderr, "varnhold-sim: cannot write %s\n", options.dump_path);
        return 1;
    }
    return 0;
}
