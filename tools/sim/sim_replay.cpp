#include "tools/sim/sim_replay.h"

#include <time.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "path/path_search.h"
#include "platform/headless/headless_platform.h"
#include "replay/replay_player.h"
#include "replay/replay_seek.h"
#include "tools/sim/sim_world.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/version.h"
#include "world/world_arrays.h"

namespace {

constexpr double frames_per_second = 60.0;

// Time this thread spent running, so that another process taking the core
// does not count as the checking's own work.
double thread_cpu_seconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1.0e9;
}

// One deal: where it began, and how its game ended if it did.
struct DealReport {
    uint32_t seed;
    uint64_t dealt_at;  // frame of the replay in which it was dealt (0: at start)
    bool over;
    int32_t over_at;    // the deal's own frame when the census ended it
    uint64_t over_at_replay;
    char winner[48];
};

uint32_t replaced_at_once = 0;
uint32_t deals_printed = 0;

void print_deal(const DealReport& deal, uint64_t frames_now, bool replaced) {
    const uint64_t played = frames_now - deal.dealt_at;
    // While F1 is held every frame deals again; those deals never play.
    if (replaced && played <= 1 && !deal.over) {
        ++replaced_at_once;
        return;
    }
    std::printf("deal %" PRIu32 " (seed %" PRIu32 ", dealt at frame %" PRIu64 "): ", ++deals_printed, deal.seed,
                deal.dealt_at);
    if (deal.over)
        std::printf("%s at its frame %d (frame %" PRIu64 " of the replay)\n", deal.winner, deal.over_at,
                    deal.over_at_replay);
    else
        std::printf("unfinished after %" PRIu64 " frames%s\n", played, replaced ? ", dealt again" : "");
}

void note_outcome(DealReport* deal, uint64_t frames_now) {
    if (deal->over || !game_over()) return;
    deal->over = true;
    deal->over_at = frame_counter;
    deal->over_at_replay = frames_now;
    const char* winner = tie ? "a tie" : empire_0_won ? "the player won" : "the computer won";
    std::snprintf(deal->winner, sizeof deal->winner, "%s", winner);
}

void start_deal(DealReport* deal, uint64_t frames_now) {
    *deal = DealReport();
    deal->seed = last_deal_seed();
    deal->dealt_at = frames_now;
}


// The first difference: where, and what moved from the recorded state.
void print_difference(const ReplayPlayer& player) {
    if (!player.differs_by_digest) {
        std::printf("first difference at frame %" PRIu64 "\n", player.differs_at_frame);
        return;
    }
    std::printf("first difference at frame %" PRIu64 ": digest %016" PRIx64 ", recorded %016" PRIx64 "\n",
                player.differs_at_frame, player.replayed.whole, player.recorded.whole);
    const DigestView view = digest_view_of(player.view);
    print_digest_difference(player.recorded, player.replayed, digest_form_of_format(player.header.format_version),
                            &view, "as replayed", stdout, stdout);
}

}  // namespace

int check_replay(const char* path) {
    static ReplayPlayer player;
    if (!replay_open(&player, path)) {
        std::fprintf(stderr, "varnhold-sim: %s\n", player.message);
        return 1;
    }
    std::printf("replay %s: format %d, recorded by varnhold %s, first seed %" PRIu32 "\n", path,
                player.header.format_version, player.header.game_version, player.header.first_seed);
    if (player.header.format_version >= 2)
        std::printf("side 0 %s, side 1 %s, recorded by side %d, input delay %d frames\n",
                    player.header.game.person[0] ? "a person" : "the computer",
                    player.header.game.person[1] ? "a person" : "the computer", player.header.game.local_side,
                    player.header.game.delay);
    const char* ours = game_version();
    if (std::strcmp(ours, player.header.game_version) != 0)
        std::printf("recorded by another version (this is %s): a rule that changed between them shows as a "
                    "replay that differs\n",
                    ours);
    if (!start_sim_world(player.header.first_seed)) {
        std::fprintf(stderr, "varnhold-sim: out of memory\n");
        replay_close(&player);
        return 1;
    }
    if (!replay_check_first_deal(&player)) {
        std::fprintf(stderr, "varnhold-sim: %s\n", player.message);
        stop_sim_world();
        replay_close(&player);
        return 1;
    }
    if (player.header.from_snapshot)
        std::printf("starts from a snapshot: frame %d of the game dealt from seed %" PRIu32 ", digest %016" PRIx64 "\n",
                    frame_counter, last_deal_seed(), digest_game_state().whole);
    DealReport deal;
    uint32_t deals_seen = deal_count();
    start_deal(&deal, 0);
    const auto started = std::chrono::steady_clock::now();
    const double cpu_started = thread_cpu_seconds();
    ReplayStep step = replay_step_played;
    while (step == replay_step_played) {
        step = replay_play_pass(&player, replay_turn_by_rules);
        ReplayChat chat;
        while (reader_take_chat(&player.reader, &chat))
            std::printf("chat at frame %" PRIu64 " side %d: %s\n", player.frames, chat.side, chat.text);
        if (deal_count() != deals_seen) {
            print_deal(deal, player.frames, true);
            deals_seen = deal_count();
            start_deal(&deal, player.frames);
        }
        note_outcome(&deal, player.frames);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double cpu_seconds = thread_cpu_seconds() - cpu_started;
    print_deal(deal, player.frames, false);
    if (replaced_at_once > 0)
        std::printf("(%" PRIu32 " deals dealt again at once while F1 was held)\n", replaced_at_once);
    std::printf("frames %" PRIu64 ", passes %" PRIu64 "\n", player.frames, player.passes);
    std::printf("digests checked %" PRIu32 "\n", player.digests_checked);
    if (step == replay_step_finished) {
        std::printf("all %" PRIu32 " digests match\n", player.digests_checked);
        std::printf("final state %016" PRIx64 ", as the game left it\n", player.replayed.whole);
        for (int side = 0; side < side_count; ++side)
            std::printf("side %d: selected_unit=%d empire_%d_gold=%.2f\n", side, selected_unit[side], side,
                        static_cast<double>(unit_table[side].gold));
    } else if (step == replay_step_differs) {
        print_difference(player);
    }
    const double played_seconds = static_cast<double>(player.frames) / frames_per_second;
    std::printf("checked in %.3f s (%.3f s of CPU): %.0f times real time at %.0f frames a second (%.0f on the CPU)\n",
                seconds, cpu_seconds, seconds > 0.0 ? played_seconds / seconds : 0.0, frames_per_second,
                cpu_seconds > 0.0 ? played_seconds / cpu_seconds : 0.0);
    if (step != replay_step_finished) std::fprintf(stderr, "varnhold-sim: %s\n", player.message);
    stop_sim_world();
    replay_close(&player);
    return step == replay_step_finished ? 0 : 1;
}

namespace {

double ms_since(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

// One seek and its line: the frame asked, where it landed, what it cost.
bool seek_once(ReplaySeek* seek, ReplayPlayer* player, int number, uint64_t asked, bool* stopped) {
    const uint64_t frame = asked > seek->length ? seek->length : asked;
    const uint64_t from = player->frames;
    const auto started = std::chrono::steady_clock::now();
    const ReplayStep step = seek_to_frame(seek, player, frame, *stopped);
    *stopped = step != replay_step_played;
    const double ms = ms_since(started);
    // The end is reached with its own line checked, a frame before it by the census's.
    const bool landed = player->frames == frame &&
                        (step == replay_step_played || (step == replay_step_finished && frame == seek->length));
    std::printf("seek %d: from frame %" PRIu64 " to %" PRIu64 ": %s at frame %" PRIu64 ", %" PRIu32
                " digests checked, state %016" PRIx64 ", selected_unit=%d,%d, %.3f ms\n",
                number, from, frame, landed ? "landed" : "stopped", player->frames, player->digests_checked,
                digest_game_state().whole, selected_unit[0], selected_unit[1], ms);
    if (!landed) std::fprintf(stderr, "varnhold-sim: %s\n", player->message);
    return landed;
}

}  // namespace

int seek_in_replay(const char* path, const uint64_t* frames, int count) {
    static ReplayPlayer player;
    static ReplaySeek seek;
    if (!replay_open(&player, path)) {
        std::fprintf(stderr, "varnhold-sim: %s\n", player.message);
        return 1;
    }
    bool sound = start_sim_world(player.header.first_seed);
    if (!sound) std::fprintf(stderr, "varnhold-sim: out of memory\n");
    if (sound && !replay_check_first_deal(&player)) {
        std::fprintf(stderr, "varnhold-sim: %s\n", player.message);
        sound = false;
    }
    const auto opened = std::chrono::steady_clock::now();
    if (sound && !seek_open(&seek, &player)) {
        std::fprintf(stderr, "varnhold-sim: out of memory for the points of %s\n", path);
        sound = false;
    }
    if (sound) {
        std::printf("replay %s: %" PRIu64 " frames, read through in %.3f ms; points every %" PRIu64
                    " frames, %zu bytes for %d\n",
                    path, seek.length, ms_since(opened), seek.spacing, seek_memory_bytes(), seek_most_points);
        bool stopped = false;
        for (int i = 0; i < count && sound; ++i) sound = seek_once(&seek, &player, i + 1, frames[i], &stopped);
        std::printf("points kept %d, every %" PRIu64 " frames\n", seek.point_count, seek.spacing);
    }
    seek_close(&seek);
    stop_sim_world();
    replay_close(&player);
    return sound ? 0 : 1;
}
