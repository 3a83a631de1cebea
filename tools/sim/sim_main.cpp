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
#include "replay/recording.h"
#include "state/snapshot.h"
#include "state/state_digest.h"
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
    bool both_people = false;           // --sides person person
    int deal_at = 0;                    // --deal-at F: the busy player deals again there
    long long save_at = -1;             // --save-at N FILE: a snapshot after frame N...
    long long save_every = 0;           // --save-every N FILE: ...or after every N frames
    const char* save_path = nullptr;    // ...into FILE
    const char* load_path = nullptr;    // --load FILE: the game continues from it
    bool digests = false;               // --digests: every census's digest on a line
    // A side of a two-player game (--host or --join) instead.
    bool network = false;
    SimNetOptions net = {false, net_default_port, nullptr, 1, 1000, sim_player_random, nullptr, 0, false, 0,
                         nullptr, 0, false, nullptr, 0, 0, false, 0, {}, {}, false, -1, nullptr, nullptr};
};

void print_usage(std::FILE* to = stderr) {
    std::fprintf(to,
                 "usage: varnhold-sim --seed S --frames N [--player idle|attack|random|busy] [--dump FILE] [--check]\n"
                 "                    [--sides person computer|person person] [--deal-at F] [--digests]\n"
                 "                    [--load FILE] [--save-at N FILE | --save-every N FILE] [--record FILE]\n"
                 "       varnhold-sim --replay FILE\n"
                 "       varnhold-sim --host [PORT] [--seed S] --frames N [--player P] [--record FILE] [--fps F]\n"
                 "       varnhold-sim --join HOST[:PORT] --frames N [--player P] [--record FILE] [--fps F]\n"
                 "                    (either with [--rejoin-wait SECONDS] [--save-at N FILE] [--chat-at FRAME:TEXT]...\n"
                 "                    [--as-version V] [--discovery-port P]; --host with [--load FILE] [--no-port-mapping])\n"
                 "       varnhold-sim --find [HOST[:PORT]] [--seconds S] [--until N] [--discovery-port P]\n"
                 "  --check   test the game's invariants after every frame; exit 3 at the first broken one\n"
                 "  --load    continue the game saved in FILE (a snapshot) instead of dealing one\n"
                 "  --save-at save the game into FILE after its frame N of this run (0: at once);\n"
                 "            --save-every N FILE after every N frames, over the same file\n"
                 "  --digests print each census's digest: census FRAME FRAME_COUNTER DIGEST\n"
                 "  --deal-at the busy player deals again at frame F of the first game\n"
                 "  --replay  play a replay through the rule steps and check its digests; exit 0 only\n"
                 "            when all match to the game's end\n"
                 "  --seek    --replay FILE --seek FRAME|end [--seek FRAME|end]...: seek the replay to\n"
                 "            each FRAME in turn as the viewer does; exit 0 only when each lands on\n"
                 "            its frame with every digest on the way matching\n"
                 "  --host, --join  play one side of a two-player game over UDP (random choices by\n"
                 "            default), N frames at F a second (0: as fast as the other side allows);\n"
                 "            exit 0 only when all N were played with both games alike\n"
                 "  --rejoin-wait  wait this long (default 300) for a side that dropped to come back,\n"
                 "            autosaving the game when it drops; a --host or --join with --record FILE\n"
                 "            keeps its seat in FILE.seat, and the same command run again after a crash\n"
                 "            takes it back (its replay from there in FILE-from-FRAME.vrp); --save-at asks\n"
                 "            both sides to save at one frame (this side into FILE, the other under a dated\n"
                 "            name); --host --load FILE goes on from a save, the guest getting its snapshot\n"
                 "  --find    list the games hosted on the LAN, one line each after S seconds (3 unless\n"
                 "            given) or once N are listed: NAME  ADDRESS  version V  ROUND-TRIP; asks every\n"
                 "            link's broadcast address and IPv6 group, and this machine, on UDP 41971 (or\n"
                 "            --discovery-port), or only HOST; each game listed or gone goes to stderr\n"
                 "  --as-version  say hello and announce as version V, to see what another version meets\n"
                 "  --no-port-mapping  a host asks its router for no port; by default it asks by UPnP,\n"
                 "            PCP and NAT-PMP beside the lobby, says on stdout what worked and the\n"
                 "            address players on the Internet join, and closes the port at the end\n"
                 "  --chat-at  say TEXT (1 to 80 printable characters) once FRAME frames ran; each\n"
                 "            message either side shows is printed: chat at frame F side S: TEXT\n"
                 "  --chat-flood  (for tests) a peer that floods: a message with every command, past\n"
                 "            the bound, and its packet sent at every turn\n"
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
            else if (!std::strcmp(value, "busy")) options->player = sim_player_busy;
            else return false;
            ++i;
        } else if (!std::strcmp(arg, "--dump") && value) {
            options->dump_path = value;
            ++i;
        } else if (!std::strcmp(arg, "--check")) {
            options->check = true;
        } else if (!std::strcmp(arg, "--digests")) {
            options->digests = true;
        } else if (!std::strcmp(arg, "--sides") && value && i + 2 < argc) {
            if (std::strcmp(value, "person") != 0) return false;
            options->both_people = !std::strcmp(argv[i + 2], "person");
            if (!options->both_people && std::strcmp(argv[i + 2], "computer") != 0) return false;
            i += 2;
        } else if (!std::strcmp(arg, "--deal-at") && value) {
            options->deal_at = static_cast<int>(std::strtol(value, &end, 10));
            if (*end || options->deal_at < 0) return false;
            ++i;
        } else if (!std::strcmp(arg, "--load") && value) {
            options->load_path = value;
            ++i;
        } else if ((!std::strcmp(arg, "--save-at") || !std::strcmp(arg, "--save-every")) && value && i + 2 < argc) {
            long long& when = arg[7] == 'a' ? options->save_at : options->save_every;
            when = std::strtoll(value, &end, 10);
            if (*end || when < 0) return false;
            options->save_path = argv[i + 2];
            i += 2;
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
        } else if (!std::strcmp(arg, "--rejoin-wait") && value) {
            options->net.rejoin_wait_s = static_cast<int>(std::strtol(value, &end, 10));
            if (*end || options->net.rejoin_wait_s < 1 || options->net.rejoin_wait_s > 86400) return false;
            ++i;
        } else if (!std::strcmp(arg, "--no-port-mapping")) {
            options->net.no_port_mapping = true;
        } else if (!std::strcmp(arg, "--find")) {
            options->network = options->net.finding = true;
            if (value && value[0] != '-') {
                options->net.find_address = value;
                ++i;
            }
        } else if (!std::strcmp(arg, "--seconds") && value) {
            options->net.find_seconds = static_cast<int>(std::strtol(value, &end, 10));
            if (*end || options->net.find_seconds < 1 || options->net.find_seconds > 3600) return false;
            ++i;
        } else if (!std::strcmp(arg, "--until") && value) {
            options->net.find_until = static_cast<int>(std::strtol(value, &end, 10));
            if (*end || options->net.find_until < 1 || options->net.find_until > discovery_most_games) return false;
            ++i;
        } else if (!std::strcmp(arg, "--discovery-port") && value) {
            options->net.discovery_port = static_cast<int>(std::strtol(value, &end, 10));
            if (*end || options->net.discovery_port < 1 || options->net.discovery_port > 65535) return false;
            ++i;
        } else if (!std::strcmp(arg, "--as-version") && value) {
            options->net.version = value;
            if (!*value || std::strlen(value) >= packet_version_capacity) return false;
            for (const char* c = value; *c; ++c)
                if (*c < 0x20 || *c > 0x7e) return false;
            ++i;
        } else if (!std::strcmp(arg, "--chat-at") && value) {
            SimNetOptions& net = options->net;
            const long long frame = std::strtoll(value, &end, 10);
            if (end == value || *end != ':' || frame < 0 || net.chat_count == sim_most_chats) return false;
            const size_t length = std::strlen(end + 1);
            if (length < 1 || length > packet_chat_capacity) return false;
            for (size_t k = 1; k <= length; ++k)
                if (end[k] < 0x20 || end[k] > 0x7e) return false;
            net.chat_frames[net.chat_count] = frame;
            net.chat_texts[net.chat_count++] = end + 1;
            ++i;
        } else if (!std::strcmp(arg, "--chat-flood")) {
            options->net.chat_flood = true;
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

// The snapshot's one line on stderr when it cannot be loaded or saved.
bool load_or_say(const char* path) {
    char error[snapshot_error_capacity];
    if (load_snapshot_file(path, error)) return true;
    std::fprintf(stderr, "varnhold-sim: %s\n", error);
    return false;
}

bool save_or_say(const char* path) {
    char error[snapshot_error_capacity];
    if (save_snapshot_file(path, error)) return true;
    std::fprintf(stderr, "varnhold-sim: %s\n", error);
    stop_sim_world();
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // As every GNU program: the help asked for is no error, and goes to stdout.
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            print_usage(stdout);
            return 0;
        }
    if (argc >= 2 && !std::strcmp(argv[1], "--replay")) {
        uint64_t seeks[sim_most_seeks];
        int seek_count = 0;
        bool usable = argc >= 3 && argc % 2 == 1 && (argc - 3) / 2 <= sim_most_seeks;
        for (int i = 3; usable && i < argc; i += 2) {
            char* end = nullptr;
            usable = !std::strcmp(argv[i], "--seek");
            if (usable && !std::strcmp(argv[i + 1], "end")) seeks[seek_count++] = sim_seek_to_end;
            else if (usable) seeks[seek_count++] = std::strtoull(argv[i + 1], &end, 10);
            usable = usable && (!end || (*end == '\0' && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9'));
        }
        if (!usable) {
            print_usage();
            return 2;
        }
        return seek_count ? seek_in_replay(argv[2], seeks, seek_count) : check_replay(argv[2]);
    }
    SimOptions options;
    if (!parse_options(argc, argv, &options)) {
        print_usage();
        return 2;
    }
    if (options.net.finding) {
        if (options.net.hosting || options.net.join_address) {
            print_usage();
            return 2;
        }
        return find_network_games(options.net);
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
        net.save_at = options.save_at;
        net.save_path = options.save_path;
        net.load_path = options.load_path;
        if (net.load_path && !net.hosting) {
            print_usage();
            return 2;
        }
        return play_network_peer(net);
    }
    if (!start_sim_world(options.seed)) {
        std::fprintf(stderr, "varnhold-sim: out of memory\n");
        return 1;
    }
    if (options.both_people) side_played_by_person[1] = 1;
    if (options.load_path && !load_or_say(options.load_path)) {
        stop_sim_world();
        return 1;
    }
    sim_player_seed(options.seed);
    remember_units();
    path_query_hook = count_path_query;
    if (options.net.record_path) {
        ReplayGame game = game_at_home();
        for (int side = 0; side < side_count; ++side) game.person[side] = side_played_by_person[side];
        start_recording(options.net.record_path, false, game, options.load_path != nullptr);
    }
    if (options.save_at == 0 && !save_or_say(options.save_path)) return 1;

    double total_ms = 0.0, worst_ms = 0.0;
    double total_cpu_ms = 0.0, worst_cpu_ms = 0.0;
    long long worst_frame = 0, worst_cpu_frame = 0;
    long long frames_run = 0, over_at = 0;
    View view = start_view(0);
    follow_deal(&view);
    for (; frames_run < options.frames; ++frames_run) {
        FrameCommands commands = no_commands();
        if (options.player == sim_player_busy) {
            for (int side = 0; side < side_count; ++side)
                if (side_played_by_person[side]) commands.side[side] = sim_busy_command(options.seed, side, options.deal_at);
        } else {
            PassInput input;
            sim_player_act(options.player, &view, &input);
            commands.side[0] = command_from_pass(input, view);
        }
        auto started = std::chrono::steady_clock::now();
        double cpu_started = thread_cpu_ms();
        run_rule_steps(commands);
        double cpu_ms = thread_cpu_ms() - cpu_started;
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        record_game_frame(commands);
        if (game_over() && over_at == 0) over_at = frames_run + 1;
        if (options.digests && census_frame())
            std::printf("census %lld %d %016llx\n", frames_run + 1, frame_counter,
                        static_cast<unsigned long long>(digest_game_state().whole));
        const bool save_due = frames_run + 1 == options.save_at ||
                              (options.save_every > 0 && (frames_run + 1) % options.save_every == 0);
        if (save_due && !save_or_say(options.save_path)) return 1;
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
    stop_recording();

    int living[3];
    count_living(living);
    std::printf("frames %lld\n", frames_run);
    std::printf("empire_0_won %d empire_1_won %d tie %d\n", empire_0_won, empire_1_won, tie);
    if (over_at > 0) std::printf("over at frame %lld\n", over_at);
    std::printf("empire_0_gold %.2f empire_1_gold %.2f\n", unit_table[0].gold, unit_table[1].gold);
    std::printf("selected_unit %d %d frame_counter %d\n", selected_unit[0], selected_unit[1], frame_counter);
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
