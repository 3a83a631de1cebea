// Seeking in a replay: a busy game with a deal in it, recorded headless, is
// sought back and forth (forward, back a minute, to the start, to the end,
// on 10 s, either side of a kept point) with the points thinned to a small
// cap; each seek lands on the frame asked with the state the game had there
// and the digests on the way matching, and the replay then plays on to its
// end from the file offset kept with the point.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "game/frame_rules.h"
#include "replay/recording.h"
#include "replay/replay_seek.h"
#include "tests/support/replay_script.h"
#include "tools/sim/sim_player.h"
#include "tools/sim/sim_world.h"

namespace {

constexpr uint32_t seed = 4;
constexpr int frames = 24000;
constexpr int deal_at = 7000;
constexpr int most_points = 5;  // made even: 4

struct AtFrame {
    uint64_t digest;
    uint32_t censuses;  // digests the replay holds up to the frame
};

const std::string path = ::testing::TempDir() + "varnhold_seek_" + std::to_string(getpid()) + ".vrp";

// The game as it was played, at the frames the seeks ask for.
std::map<uint64_t, AtFrame> record_busy_game(const std::map<uint64_t, AtFrame>& asked) {
    std::map<uint64_t, AtFrame> seen;
    start_as_the_program_does();
    EXPECT_TRUE(start_sim_world(seed)) << "the world allocated";
    start_recording(path.c_str(), false);
    uint32_t censuses = 0;
    seen[0] = {digest_game_state().whole, 0};
    for (int frame = 1; frame <= frames; ++frame) {
        FrameCommands commands = no_commands();
        commands.side[0] = sim_busy_command(seed, 0, deal_at);
        run_rule_steps(commands);
        record_game_frame(commands);
        if (census_frame()) ++censuses;
        if (asked.count(frame)) seen[frame] = {digest_game_state().whole, censuses};
    }
    stop_recording();
    stop_sim_world();
    return seen;
}

TEST(ReplaySeek, EachSeekLandsOnItsFrameWithTheGamesStateAndPlaysOnToTheEnd) {
    // Forward, back a minute, to the start, to the end (twice: the second
    // from a player stopped there), on 10 s from the middle, either side of
    // a kept point, then the deal's frame.
    const uint64_t seeks[] = {15001, 11401, 0, frames, frames, 12000, 12600, 9599, 9600, 7000, 7001};
    std::map<uint64_t, AtFrame> asked;
    for (uint64_t frame : seeks) asked[frame] = {};
    const std::map<uint64_t, AtFrame> game = record_busy_game(asked);

    static ReplayPlayer player;
    static ReplaySeek seek;
    start_as_the_program_does();
    ASSERT_TRUE(replay_open(&player, path.c_str())) << player.message;
    ASSERT_TRUE(start_sim_world(seed));
    ASSERT_TRUE(replay_check_first_deal(&player)) << player.message;
    ASSERT_TRUE(seek_open(&seek, &player, most_points));
    EXPECT_EQ(seek.length, static_cast<uint64_t>(frames)) << "the replay's length read through";
    bool stopped = false;
    for (uint64_t frame : seeks) {
        const ReplayStep step = seek_to_frame(&seek, &player, frame, stopped);
        stopped = step != replay_step_played;
        EXPECT_EQ(step, frame == frames ? replay_step_finished : replay_step_played)
            << "seek to " << frame << ": " << player.message;
        EXPECT_EQ(player.frames, frame) << "frame after the seek to " << frame;
        EXPECT_EQ(digest_game_state().whole, game.at(frame).digest) << "state after the seek to " << frame;
        EXPECT_EQ(player.digests_checked, game.at(frame).censuses + (frame == frames))
            << "digests checked by the seek to " << frame;
    }
    EXPECT_LE(seek.point_count, most_points) << "points kept";
    EXPECT_EQ(seek.spacing, 9600u) << "spacing once thinned to the cap";
    for (int i = 0; i < seek.point_count; ++i)
        EXPECT_EQ(seek.points[i].place.frames, i * seek.spacing) << "frame of point " << i;
    ReplayStep step = replay_step_played;
    while (step == replay_step_played) step = replay_play_pass(&player, replay_turn_by_rules);
    EXPECT_EQ(step, replay_step_finished) << "played on from the last seek: " << player.message;
    EXPECT_EQ(player.frames, static_cast<uint64_t>(frames)) << "frames played to the end";
    seek_close(&seek);
    replay_close(&player);
    stop_sim_world();
    std::remove(path.c_str());
}

// The previous release's scripted game: passes that run no frame (a
// minimised window), its player's view in every digest and three deals.
// Its length counts frames, not passes; a seek back over the deals and on
// again leaves the view following the same deals, to the end.
TEST(ReplaySeek, AReplayOfTheFirstFormatSeeksOverItsDealsWithItsView) {
    const std::string old = std::string(VARNHOLD_SOURCE_DIR) + "/tests/data/format1_scripted.vrp";
    static ReplayPlayer player;
    static ReplaySeek seek;
    start_as_the_program_does();
    ASSERT_TRUE(replay_open(&player, old.c_str())) << player.message;
    ASSERT_TRUE(start_sim_world(player.header.first_seed));
    ASSERT_TRUE(replay_check_first_deal(&player)) << player.message;
    ASSERT_TRUE(seek_open(&seek, &player, 2));
    EXPECT_EQ(seek.length, 718u) << "frames of the scripted game (of its 1501 passes)";
    for (uint64_t frame : {700u, 120u, 650u, 50u}) {
        EXPECT_EQ(seek_to_frame(&seek, &player, frame, false), replay_step_played) << frame << ": " << player.message;
        EXPECT_EQ(player.frames, frame) << "frame after the seek";
    }
    ReplayStep step = replay_step_played;
    while (step == replay_step_played) step = replay_play_pass(&player, replay_turn_by_rules);
    EXPECT_EQ(step, replay_step_finished) << player.message;
    seek_close(&seek);
    replay_close(&player);
    stop_sim_world();
}

}  // namespace
