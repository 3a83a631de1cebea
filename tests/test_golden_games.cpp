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
#include <vector>

#include "app/main_loop.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "render/gl_window.h"
#include "tests/support/replay_script.h"
#include "tests/support/world_fixture.h"
#include "tools/sim/sim_player.h"
#include "world/new_game.h"

namespace {

// A checkpoint: the frame, the digest of the whole state, and two short
// fingerprints (one hex digit per row, one per unit field) that tell,
// when the digest moves, which rows and which fields moved.
struct Checkpoint {
    int frame;
    const char* digest;
    const char* fields;
    const char* rows;
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
     {{1, "42898b8d5b1da9e6", "4ecebf00ad0fdae177", "240687ee1510eda6128e3955339448dcfb1ff7f7d5cb2f26df5ba2e2fb093eed6b006d4b26f2ebf462d9ec"},
      {2001, "d6d8fc33be87617c", "4dadb5006d0bcde177", "c2500a50f560301badb70c490fd38bdbeafda6ab6443079063ea28caae5b72e008af168cd1f0a99c6c6e2b"},
      {3001, "2f1fef69df7353f7", "4d4bb4406d0f5b6227", "5e3aacd1b550fcd2cf6ef20e92f7e59518ded6765953944588fee4915d63a0e34844bf666100a3fed3cbbb"},
      {3700, "3c127f992a92855b", "455ab4c0f4075d2227", "f119a1150550bceb70ead17e5ea7e7593d1927ce1d6368e16c12e1115c6bfa784845cd47e570e8b5f5845b"}}},
    // The player's leader chases the computer's to a mine and falls to a unit
    // standing with it; the computer wins at 3181.
    {"attack_seed1", sim_player_attack, 1,
     {{31, "3f08185fc4597039", "4e5c8ccc9d2dd5e00f", "03cb8dd40b480f22b384b059558f5b3211c2efc060d36a78343404aea0ea385d71dfca67aa3c746386173b"},
      {1801, "c2f07aac9a53fc2c", "45448f4c3d2649182f", "bd9fe363dd5bb92d0086e71ea33c28d9a6ad5af3b3481d43af0afb5d55f5a3027aaf6854158b995e884486"},
      {3001, "1a9362215db89911", "455b8dfc3d2adcab9f", "49502a36ddb9cc23e287036433bb63ddb9a017a30bd88daea53ad0b4c47e22b55e2728b39c3b24ae2285a0"},
      {3200, "aeee622fe237eb2c", "456f8efcd42a5fcb9f", "d072424a1db946272e8b8f2cf33be3d9eda09fa10394c12ad57ddc5484be2a3596ef989b92f362eeca01ae"}}},
    // Random recruiting and orders: eight recruits, a recall, no death by 2200.
    {"random_seed5", sim_player_random, 5,
     {{30, "50a547098bda498b", "4c1b1ebb5d6bdb1f47", "aba7970b4f0ac9ee87293880ef8d150afdf007ae3bbdb83233b514c866b36c26e711a6b9e438947c21caa0"},
      {700, "c3db877b24036df5", "46c61deb0d6bcffaa7", "72d60a73e40a69c5038a784adef93ac8e24eda308da86f7880d7c0b3805223bda7ca6e32eed02670aefaa0"},
      {1501, "e4bb5704d20c8332", "4d791deb0d6e5a2b27", "ab5dfa74140969c53f9a787adefdea1ce245da3a8e189f3f80c2cab3812253bd56c75bc295d72cc25eac9e"},
      {2200, "f18062d8704dcfa9", "4d58156b2d6fd2f2e7", "de0dfa74240969c5329a387a3ef9ea1ae245da878e985f2f80c2c9b3812b536d56c75bc29fd72cc25ead9d"}}},
    // A long random game: wandering every 3000 frames, nine raids and three
    // recalls, three mines emptied (the first at 11731), 56 units killed,
    // and the player's victory at 26641.
    {"random_seed27", sim_player_random, 27,
     {{3001, "e896dc8776be7769", "46013e1e7c02ca6d37", "c7eab6e63a26b22d5a0f36d2241d4300b983c0be7d295303114d29b5c054b4d214547b911959dee75903d3"},
      {11750, "8adf1867160606b4", "45513f2eac095f8c87", "9628c45643227e17d0758a3973a9d286f6e3e10e2324fcc83ede5b6c5d46c5e2cf0141c86d332a2f9031dd"},
      {20000, "12fcb760b45a8874", "45023c3e0c085c7097", "9f48a452292227f820495a6c8daad8a7e6038259f5d0f27b21deab6185e604ecadc14ae86ad3198f7f07dd"},
      {26700, "3184d94183f0b43e", "457b3e3e8d04434197", "44084b528662273c9047856ca0aad7a6e6038759f5d0f27e3bdeeb63893654ecbdc13ae86d73138f52eedd"}}},
};

// The scripted game through the real loop. Its second deal, by F1 in frame
// 100, is idle_seed2's: left alone it ends the same way, by the census of its
// frame 3661 (frame 3761 here). The frames between go through the rule steps
// alone, and the real frames resume in time for that end.
constexpr int64_t first_deal_seconds = 1700000000;
constexpr int64_t second_deal_seconds = 2;
constexpr int rule_steps_first = 141, rule_steps_last = 3700;
const Checkpoint loop_game[] = {
    {30, "2e70aea00788308e", "4c0beeff9debd2d87f", "8a6519b7a93266ccc2c6a1aa91160b9efaa283905e78a9a2c45d18c4ef4baf1996f88a1855a4762e670dae"},
    {62, "16c68e3612427a0a", "4c72e4fffdead2d55f", "65ef848aa7126e28cc8e4f2e12940fda32e08b5e5eb4298aa25bf4ce8b49a1539a90c41c792e9ae2674f26"},
    {99, "75d767ae5710eede", "4cb2e5ff5dead2755f", "590f40c2a9b26204ca0a6966925e075e7ee683da5a788dce8c1154cc67c72b2dda348a54f1a4b2628f852e"},
    {100, "01e49764c8bf9fe3", "4ecebd00bd0ad37557", "b537e1529226a31cddc740f882633a2c378663506889d4ca5010a7aab6b6d81f857d99162c704495e2c2ae"},
    {140, "e36df40a4c9e3984", "4592bf00dd0ed8d177", "160b68e38d30276c9aa8787cd0806dacad88bc5c91fc78eb7e113f99dd24a783321ce51c2eda9683759f57"},
    {3760, "de20c1bdd87561e4", "4581b560f40a589227", "a1197e550d50b4eb7da0b07a12a3e7917d992b7e596f682504f6219d1c03fce8c8c5cd4ee970e8f5f9837b"},
    {3761, "d3ab252e448e25cd", "4581b560f40a589227", "11197e550d50b4eb7da0b07a12a3e7917d992b7e596f682504f6219d1c03fce8c8c5cd4ee970e8f5f9837b"},
    {3800, "a3e6565b0ce71d49", "455ab4c0f40a576227", "c1197e150d50bceb70ead07e5ea7e7593d1927ce1d6368e16c12e1115c0bfa784845cd47e570e8b5f5845b"}};

// ---- The state that a golden game pins ------------------------------------

struct Field {
    const char* name;
    std::string value;
};
using Row = std::vector<Field>;

std::string text(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    return buffer;
}

// Everything beside the unit table that a frame can change.
Row game_row() {
    return {{"frame_counter", text(frame_counter)}, {"rand_state", text(rng::state())},
            {"selected_unit", text(selected_unit)}, {"empire_0_won", text(empire_0_won)},
            {"empire_1_won", text(empire_1_won)},   {"tie", text(tie)},
            {"empire_0_gold", text(unit_table[0].gold)}, {"empire_1_gold", text(unit_table[1].gold)},
            {"map_sx", text(map_sx)}, {"map_sy", text(map_sy)}, {"cursor_dx", text(cursor_dx)},
            {"cursor_dy", text(cursor_dy)}, {"help_visible", text(help_visible)}, {"game_speed", text(game_speed)},
            {"unit_size", text(unit_size)}, {"camera_spin", text(camera_spin)}, {"camera_zoom", text(camera_zoom)},
            {"camera_pitch", text(camera_pitch)}, {"camera_yaw", text(camera_yaw)}};
}

Row unit_row(const Unit& u) {
    return {{"active", text(u.active)}, {"owner", text(u.owner)},     {"tile_x", text(u.tile_x)},
            {"tile_y", text(u.tile_y)}, {"kind", text(u.kind)},       {"order", text(u.order)},
            {"hp", text(u.hp)},         {"max_hp", text(u.max_hp)},   {"gold", text(u.gold)},
            {"dead", text(u.dead)},     {"attack", text(u.attack)},   {"target_unit", text(u.target_unit)},
            {"mining", text(u.mining)}, {"next_x", text(u.next_x)},   {"next_y", text(u.next_y)},
            {"goal_x", text(u.goal_x)}, {"goal_y", text(u.goal_y)},   {"mobility", text(u.mobility)}};
}

// FNV-1a, 64 bits, over the text of the fields: never over struct bytes.
uint64_t fnv1a(const std::string& bytes, uint64_t hash = 0xcbf29ce484222325ull) {
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

// Row 0 is the game's, row r the unit in slot r - 1.
std::string row_label(size_t r) { return r == 0 ? "game: " : "unit " + std::to_string(r - 1) + ": "; }

std::string row_text(const Row& row) {
    std::string out;
    for (const Field& f : row) out += std::string(f.name) + "=" + f.value + " ";
    return out;
}

struct Fingerprint {
    std::string digest, rows, fields;
};

Fingerprint fingerprint(const std::vector<Row>& table) {
    const char* hex = "0123456789abcdef";
    Fingerprint print;
    uint64_t whole = fnv1a("");
    for (const Row& row : table) {
        whole = fnv1a(row_text(row) + "\n", whole);
        print.rows += hex[fnv1a(row_text(row)) & 15];
    }
    for (size_t f = 0; f < table[1].size(); ++f) {
        std::string column;
        for (size_t r = 1; r < table.size(); ++r) column += table[r][f].value + " ";
        print.fields += hex[fnv1a(column) & 15];
    }
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(whole));
    print.digest = digest;
    return print;
}

// VARNHOLD_GOLDEN_PRINT=1 prints the checkpoints to paste; =tables prints
// the whole tables too, to compare two commits field by field.
std::string print_request() {
    const char* print = std::getenv("VARNHOLD_GOLDEN_PRINT");
    return print && std::string(print) != "0" ? print : "";
}

// Compares the state with a pinned checkpoint; on a difference, names the
// rows and fields that moved and shows the moved rows as they are now.
void check_checkpoint(const char* game, const Checkpoint& pinned) {
    std::vector<Row> table{game_row()};  // then every dealt slot: the others stay empty all game
    for (int i = 0; i < max_units / 3; ++i) table.push_back(unit_row(unit_table[i]));
    const Fingerprint now = fingerprint(table);
    if (!print_request().empty()) {
        std::printf("    {%d, \"%s\", \"%s\", \"%s\"},\n", pinned.frame, now.digest.c_str(), now.fields.c_str(),
                    now.rows.c_str());
        if (print_request() == "tables")
            for (size_t r = 0; r < table.size(); ++r)
                std::printf("        // %s%s\n", row_label(r).c_str(), row_text(table[r]).c_str());
        GTEST_SKIP() << "printed the checkpoint, not checked";
    }
    if (now.digest == pinned.digest) return;
    const std::string rows = pinned.rows, fields = pinned.fields;
    std::string moved_fields, moved_rows;
    for (size_t f = 0; f < now.fields.size(); ++f)
        if (f >= fields.size() || fields[f] != now.fields[f]) moved_fields += std::string(" ") + table[1][f].name;
    for (size_t r = 0; r < table.size(); ++r)
        if (r >= rows.size() || rows[r] != now.rows[r]) moved_rows += "  " + row_label(r) + row_text(table[r]) + "\n";
    ADD_FAILURE() << game << " at frame " << pinned.frame << ": digest " << now.digest << ", pinned "
                  << pinned.digest << "\nunit fields moved:" << moved_fields << "\nrows moved, as they are now:\n"
                  << moved_rows;
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
    if (!print_request().empty()) std::printf("    // %s\n", game.name);
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
    ASSERT_TRUE(open_window("VARNHOLD", screen_width, screen_height, 16, false));
    if (!print_request().empty()) std::printf("    // loop_game\n");
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
