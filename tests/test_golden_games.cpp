// Golden games: seeded whole games, played through the rule steps with the
// simulator's players and through the real loop with scripted keys and
// mouse, each pinned at a few frames by a digest of the whole game state.
// A digest that moves means a rule moved. When a rule is meant to change,
// run with VARNHOLD_GOLDEN_PRINT=1 and paste the lines it prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/main_loop.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "render/gl_window.h"
#include "tests/support/replay_script.h"
#include "tests/support/world_fixture.h"
#include "replay/state_digest.h"
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
    // Idle player: raids from frame 2001 kill the leader; the computer wins at 3661.
    {"idle_seed2", sim_player_idle, 2,
     {{1, "240b20cfdcf0d4ea", "45555554c2b55552186a157e4a4756f55ff57a120429638e555555555555555555555"},
      {2001, "e0e781a14bd08b58", "99555554c2b55552185fd57e294d56fa8ff57ed7c7122703555555555555555555555"},
      {3001, "007930d79e85d644", "5c555554c2b55552185895e95d4456fb3ff57b6ea1a85b69555555555555555555555"},
      {3700, "7bc5086c4913d45c", "f2554554c2b555521857f5e930c456fb7fb47fd7d8abcba6555555555555555555555"}}},
    // The player's leader chases the computer's to a mine and falls to a unit
    // standing with it; the computer wins at 3181.
    {"attack_seed1", sim_player_attack, 1,
     {{31, "3f3dd801dcfaf26b", "a8555554c2b555e55866d5d0948c54753ff5fe4ab19afeda555555555555555555555"},
      {1801, "faaac95cd552b9d4", "15555554c2b55885585cd5067007547c5ff5f4175ad3e972555555555555555555555"},
      {3001, "ae4e63737a1fd1c2", "57555554c2b558855855252eeff55471dff5feff309a99bc555555555555555555555"},
      {3200, "b41dc9cdafa090c2", "13554554c2b55885585ef52e52fe54777fe4fbe3a0019fbc555555555555555555555"}}},
    // Random recruiting and orders: eight recruits, a recall, no death by 2200.
    {"random_seed5", sim_player_random, 5,
     {{30, "0d5a7d55613e643c", "b8c55554c2b558b55843b55accfe5af5877507d7e478d36c555555555555555555555"},
      {700, "db5415be06d559c4", "37555554c2b5598558664590cc455afa57b50edfaa267096555555555555555555555"},
      {1501, "0187796c44ba11d3", "f3f55554c2b5523558503542ab455af3d7b50a3889981e70555555555555555555555"},
      {2200, "bddceb6fb0d74473", "54b55554c2b55f9dd850458aac2d5afd17f503307663ae7c555555555555555555555"}}},
    // A long random game: wandering every 3000 frames, nine raids and three
    // recalls, three mines emptied (the first at 11731), 56 units killed,
    // and the player's victory at 26641.
    {"random_seed27", sim_player_random, 27,
     {{3001, "3db6d3500ad30151", "57c55554c2b55035586e55f9e99e55f2ff927a57e32a2a1c555555555555555555555"},
      {11750, "2314cf03430d504e", "cc955554c2b55e65585595fc550755f75fbe7f24554d55c3555555555555555555555"},
      {20000, "64e662e3ecbd4e3b", "b0255554c2b55595585825d68e1c55f73f627a43d6deb8f3555555555555555555555"},
      {26700, "f544b97842ea11ad", "19645554c2b55e45585e251fee4e55f03f697920525f8f76555555555555555555555"}}},
};

// The scripted game through the real loop. Its second deal, by F1 in frame
// 100, is idle_seed2's: left alone it ends the same way, by the census of its
// frame 3661 (frame 3761 here). The frames between go through the rule steps
// alone, and the real frames resume in time for that end.
constexpr int64_t first_deal_seconds = 1700000000;
constexpr int64_t second_deal_seconds = 2;
constexpr int rule_steps_first = 141, rule_steps_last = 3700;
const Checkpoint loop_game[] = {
    {30, "9447bd8c1faa21ca", "b3655554c2b553c7784325c0e88e52753225125b168f462b555555555555555555555"},
    {62, "208b31b106d6a8e3", "b56555461ab5734fc847c5464a1452756225195b2687c6a3555555555555555555555"},
    {99, "59b613151c94ae5c", "605555461a9873cff84d8546ee1d52759225185ba60f562b555555555555555555555"},
    {100, "7ec93acfb3288a62", "5c65554612b5555ee8661546061556f5dff573fc271b4523555555555555555555555"},
    {140, "708c6012694b3697", "d865554612b555500853157e4fd756f5cff57c4192d69beb555555555555555555555"},
    {3760, "617125a43e664b12", "7c65554612b553c0085f45e9825d56fb7f94744ed92b0aa1555555555555555555555"},
    {3761, "098a0d4d320d7a1b", "2c65455612b553c0085f45e9825d56fb7f94744ed92b0aa1555555555555555555555"},
    {3800, "18a60399c3fb2f85", "f265455612b553c00857f5e9095456fb7fb47441d8ab5ba6555555555555555555555"}};

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
    print_digest_difference(before, now, "now", out);
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
    if (printing()) std::printf("    // %s\n", game.name);
    int frame = 0;
    for (const Checkpoint& checkpoint : game.checkpoints) {
        for (; frame < checkpoint.frame; ++frame) {
            sim_player_act(game.player);
            run_rule_steps();
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
    const int dx = x - map_sx, dy = y - map_sy;
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
    case 40: mouse_to(480, 240), key(vk_space, true); break;
    case 42: key(vk_space, false); break;
    case 45: key(vk_f4, true), key(vk_f7, true); break;
    case 46: key(vk_f4, false), key(vk_f7, false); break;
    case 50: key(vk_h, true); break;
    case 51: key(vk_h, false); break;
    case 60: aim_at_unit(1), button(2, true); break;  // the ogre attacks the computer's leader
    case 61: button(2, false), key(vk_page_down, true); break;
    case 64: key(vk_page_down, false); break;
    case 70: key(vk_shift, true), key(vk_up, true); break;  // the camera tilts, then turns
    case 71: key(vk_up, false), key(vk_left, true); break;
    case 72: key(vk_left, false), key(vk_shift, false); break;
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

// One pass of the loop per waiting event, then the pass that runs the frame.
void run_loop_frame() {
    const int swaps = headless_swap_count();
    while (headless_swap_count() == swaps) ASSERT_FALSE(run_loop_pass());
}

}  // namespace

// The frame's order is pinned here along with the rules: buttons before the
// function keys, F1 in the middle of a frame, the census before the economy
// (no pay in the frame that ends the game), the census's jump keys, the view
// keys after the swap.
TEST(GoldenLoopGame, ScriptedKeysAndMouseThroughTheRealFrames) {
    start_as_the_program_does();
    headless_set_calendar_seconds(first_deal_seconds);
    ASSERT_TRUE(open_window("VARNHOLD", screen_width, screen_height, 16));
    if (printing()) std::printf("    // loop_game\n");
    int frame = 0;
    for (const Checkpoint& checkpoint : loop_game) {
        while (frame < checkpoint.frame) {
            play(++frame);
            if (frame >= rule_steps_first && frame <= rule_steps_last)
                run_rule_steps();
            else
                ASSERT_NO_FATAL_FAILURE(run_loop_frame());
        }
        check_checkpoint("loop game", checkpoint);
    }
    close_window();
    start_as_the_program_does();
}
