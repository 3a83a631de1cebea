// Golden games: seeded whole games, played through the rule steps with the
// simulator's players and through the real loop with scripted keys and
// mouse, each pinned at a few frames by a digest of the shared game state.
// A digest that moves means a rule moved. When a rule is meant to change,
// run with VARNHOLD_GOLDEN_PRINT=1 and paste the lines it prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/game_window.h"
#include "app/input_state.h"
#include "app/main_loop.h"
#include "game/frame.h"
#include "game/frame_rules.h"
#include "game/person_pass.h"
#include "game/side_command.h"
#include "game/view.h"
#include "tests/support/replay_script.h"
#include "tests/support/world_fixture.h"
#include "state/state_digest.h"
#include "tools/sim/sim_player.h"
#include "world/new_game.h"

namespace {

// A checkpoint: the frame, the digest of the whole state, and its
// fingerprint, which tells, when the digest moves, which fields and which
// groups of slots moved.
struct Checkpoint {
    int frame;
    const char* digest;
    const char* fingerprint;
};

struct RuleGame {
    const char* name;
    SimPlayerStyle player;
    uint32_t seed;
    Checkpoint checkpoints[4];
};
void PrintTo(const RuleGame& game, std::ostream* out) { *out << game.name; }

// Each game was checked with the simulator for what it goes through.
const RuleGame rule_games[] = {
    // Random recruiting and orders: eight recruits, a recall, no death by 2200.
    {"random_seed5", sim_player_random, 5,
     {{30, "b071572222c4aaa2", "b8c45554cf0843b55accfe5af5877507d7e478d36c555555555555555555555"},
      {700, "d75be800dcc346cc", "37545554cf08664590cc455afa57b50edfaa267096555555555555555555555"},
      {1501, "19816c3f0ade41db", "f3f45554cf08503542ab455af3d7b50a3889981e70555555555555555555555"},
      {2200, "1df60fa795347d60", "54b45554cf0850458aac2d5afd17f503307663ae7c555555555555555555555"}}},
    // A long random game: wandering every 3000 frames, nine raids and three
    // recalls, three mines emptied (the first at 11731), 56 units killed,
    // and the player's victory at 26641.
    {"random_seed27", sim_player_random, 27,
     {{3001, "6d70b8b37612d49d", "57c45554cfe86e55f9e99e55f2ff927a57e32a2a1c555555555555555555555"},
      {11750, "623010742094af6d", "cc945554cfe85595fc550755f75fbe7f24554d55c3555555555555555555555"},
      {20000, "20a4371cdd9326e0", "b0245554cfe85825d68e1c55f73f627a43d6deb8f3555555555555555555555"},
      {26700, "5c6488699d09a9dc", "19644554cfe85e251fee4e55f03f697920525f8f76555555555555555555555"}}},
};

// The scripted game through the real loop. Its second deal, by F1 in frame 100,
// is seed 2's, left alone: the computer raids from its frame 2001, kills the
// leader and wins by the census of its frame 3661 (frame 3761 here). The frames between go through the rule steps
// alone, and the real frames resume in time for that end.
constexpr int64_t first_deal_seconds = 1700000000;
constexpr int64_t second_deal_seconds = 2;
constexpr int rule_steps_first = 141, rule_steps_last = 3700;
const Checkpoint loop_game[] = {
    {30, "77c7f1c6d32a36fe", "b3645554cfa84325c0e88e52753225125b168f462b555555555555555555555"},
    {100, "c91a30e764e88080", "5c645556cf78661546061556f5dff573fc271b4523555555555555555555555"},
    {140, "eeaa9ee256038621", "d8645556cf7853157e4fd756f5cff57c4192d69beb555555555555555555555"},
    {3760, "c6172129d07cfc53", "7c645556cf785f45e9825d56fb7f94744ed92b0aa1555555555555555555555"},
    {3761, "90d1669bd18388bb", "2c645456cf785f45e9825d56fb7f94744ed92b0aa1555555555555555555555"},
    {3800, "763d3e30c3d7a5a1", "f2645456cf7857f5e9095456fb7fb47441d8ab5ba6555555555555555555555"}};

// ---- The state that a golden game pins ------------------------------------

// VARNHOLD_GOLDEN_PRINT=1 prints the checkpoints to paste instead of checking.
bool printing() {
    const char* print = std::getenv("VARNHOLD_GOLDEN_PRINT");
    return print && std::string(print) != "0";
}

// Compares the state with a pinned checkpoint; on a difference, names the
// fields and slots that moved and shows their values as they are now.
void check_checkpoint(const char* game, const Checkpoint& pinned) {
    const StateDigest now = digest_game_state();
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(now.whole));
    if (printing()) {
        std::printf("    {%d, \"%s\", \"%s\"},\n", pinned.frame, digest, now.fingerprint);
        GTEST_SKIP() << "printed the checkpoint, not checked";
    }
    if (std::strcmp(digest, pinned.digest) == 0) return;
    StateDigest before{};
    std::snprintf(before.fingerprint, sizeof before.fingerprint, "%s", pinned.fingerprint);
    char* moved = nullptr;
    size_t moved_size = 0;
    std::FILE* out = open_memstream(&moved, &moved_size);
    print_digest_difference(before, now, DigestForm::shared, nullptr, "now", out, out);
    std::fclose(out);
    ADD_FAILURE() << game << " at frame " << pinned.frame << ": digest " << digest << ", pinned " << pinned.digest
                  << "\n" << moved;
    std::free(moved);
}

// ---- Games through the rule steps -------------------------------------------

// The world and search as the game sets them up; the input and the view
// as a fresh program has them, whatever the fixture chose.
class GoldenRuleGame : public WorldTest, public ::testing::WithParamInterface<RuleGame> {};

// The simulator's own loop: the player acts, then the frame's rule steps.
TEST_P(GoldenRuleGame, MatchesItsCheckpoints) {
    const RuleGame& game = GetParam();
    start_as_the_program_does();
    new_game_from_seed(game.seed);
    sim_player_seed(game.seed);
    View view = start_view(0);
    follow_deal(&view);
    if (printing()) std::printf("    // %s\n", game.name);
    int frame = 0;
    for (const Checkpoint& checkpoint : game.checkpoints) {
        for (; frame < checkpoint.frame; ++frame) {
            PassInput input;
            sim_player_act(game.player, &view, &input);
            run_rule_steps(person_commands(input, view));
        }
        check_checkpoint(game.name, checkpoint);
    }
}

INSTANTIATE_TEST_SUITE_P(Games, GoldenRuleGame, ::testing::ValuesIn(rule_games),
                         [](const ::testing::TestParamInfo<RuleGame>& info) { return info.param.name; });

// ---- A game through the real loop --------------------------------------------

void key(int vk, bool down) {
    headless_set_key(vk, down);
    headless_push_event({down ? platform_event_key_down : platform_event_key_up, vk, 0, 0, 0});
}

void button(int which, bool down) {
    headless_push_event({down ? platform_event_button_down : platform_event_button_up, 0, which, 0, 0});
}

void mouse_to(int x, int y) { headless_push_event({platform_event_mouse_move, 0, 0, x, y}); }

// The middle of the window's patch that the cursor rule maps onto a tile,
// from the view as it is: 16 by 12 pixels a tile, offset 0 twice as wide.
void aim_at_tile(int x, int y) {
    const int dx = x - local_view.map_sx, dy = y - local_view.map_sy;
    mouse_to(16 * (dx + 20) + (dx < 0 ? -8 : 8), screen_height - (12 * (dy + 20) + (dy < 0 ? -6 : 6)));
}

void aim_at_unit(int unit) { aim_at_tile(unit_table[unit].tile_x, unit_table[unit].tile_y); }

// What the player does before each frame of the scripted game.
void play(int frame) {
    switch (frame) {
    case 1: key(vk_backspace, true); break;  // the census centres the view near the leader
    case 2:  // an ogre beside the leader: paid draws until it joins
        key(vk_backspace, false), aim_at_unit(3), button(0, true);
        break;
    case 26: button(0, false); break;
    case 27: aim_at_tile(40, 12), button(2, true); break;  // then a move order for it
    case 28: button(2, false); break;
    case 31: key(vk_0, true); break;  // to the computer's leader
    case 32: key(vk_0, false); break;
    case 45: key(vk_f7, true); break;
    case 46: key(vk_f7, false); break;
    case 60: aim_at_unit(1), button(2, true); break;  // the ogre attacks the computer's leader
    case 61: button(2, false); break;
    case 91: key(vk_backspace, true); break;
    case 92: key(vk_backspace, false); break;
    case 95: aim_at_unit(0), button(0, true); break;  // select the leader
    case 96: button(0, false); break;
    case 100:
        // The click selects the ogre before F1 deals the new game in the
        // same frame; the selection outlives the deal.
        aim_at_unit(3), button(0, true), key(vk_f1, true);
        headless_set_calendar_seconds(second_deal_seconds);
        break;
    case 101: button(0, false), key(vk_f1, false); break;
    case 110: aim_at_tile(30, 30), button(2, true); break;  // slot 3 is no longer the player's: no order
    case 111: button(2, false); break;
    case 3731: key(vk_backspace, true); break;  // to the leader, still alive
    case 3732: key(vk_backspace, false); break;
    }
}

// A frame's steps without the drawing, on the input as the loop would read it.
void run_undrawn_frame() {
    PassInput input;
    read_pass_input(&input);
    run_frame_undrawn(person_commands(input, local_view), &local_view, input);
}

// One pass of the loop per waiting event, then the pass that runs the frame.
void run_loop_frame() {
    const int swaps = headless_swap_count();
    while (headless_swap_count() == swaps) ASSERT_FALSE(run_loop_pass());
}

}  // namespace

// The frame's order is pinned here along with the rules: buttons before the
// function keys, F1 in the middle of a frame, the census before the economy
// (no pay in the frame that ends the game), the census's jump keys. Keys that
// move only the view are the main loop test's: no view is in the digest.
TEST(GoldenLoopGame, ScriptedKeysAndMouseThroughTheRealFrames) {
    start_as_the_program_does();
    ASSERT_TRUE(open_game_window(static_cast<uint32_t>(first_deal_seconds)));
    if (printing()) std::printf("    // loop_game\n");
    int frame = 0;
    for (const Checkpoint& checkpoint : loop_game) {
        while (frame < checkpoint.frame) {
            play(++frame);
            if (frame >= rule_steps_first && frame <= rule_steps_last)
                run_undrawn_frame();
            else
                ASSERT_NO_FATAL_FAILURE(run_loop_frame());
        }
        check_checkpoint("loop game", checkpoint);
    }
    close_game_window();
    start_as_the_program_does();
}
