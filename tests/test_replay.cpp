// Replays: a game played through the real loop with scripted events is
// recorded and played back through the rule steps with every digest
// matching; a state that moves is found at the next census and named; cut,
// and hostile files end with one clear message; the digest covers each field
// (that it hashes no padding, the golden games' pinned digests hold); the
// replay folder keeps the newest 50 of its own files and nothing else.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/main_loop.h"
#include "game/commands.h"
#include "render/gl_window.h"
#include "replay/recording.h"
#include "tests/support/replay_script.h"
#include "tests/support/world_fixture.h"
#include "tools/sim/sim_world.h"
#include "world/new_game.h"

namespace {

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_all(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// CTest runs each case in a process of its own, side by side: a folder each,
// removed when the process ends.
struct TempFolder {
    std::string path = ::testing::TempDir() + "varnhold_replay_" + std::to_string(getpid());
    TempFolder() { std::filesystem::create_directories(path); }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
} temp_folder;
std::string temp_file(const char* name) { return temp_folder.path + "/" + name; }

void key(int vk, bool down) {
    headless_set_key(vk, down);
    headless_push_event({down ? platform_event_key_down : platform_event_key_up, vk, 0, 0, 0});
}

// Everything the rules read from outside, pressed, moved and released at
// random: keys of both kinds, buttons, the mouse, minimising, F1 with the
// clock moving on.
void play_scripted_frame(Dice* dice, int frame, bool* held, bool* minimised) {
    static const int toggled[] = {vk_backspace, vk_0,    vk_space, vk_h,    vk_shift, vk_up,  vk_right,
                                  vk_page_down, vk_f2,   vk_f4,    vk_f5,   vk_f6,    vk_f8,  vk_e,
                                  vk_left,      vk_down, vk_page_up, vk_f3,    vk_f7};
    constexpr int toggled_count = sizeof toggled / sizeof toggled[0];
    headless_set_calendar_seconds(1700000000 + frame / 60);
    if (dice->below(100) < 6) {
        const int which = dice->below(toggled_count);
        held[which] = !held[which];
        key(toggled[which], held[which]);
    }
    // F1 is tapped: held, it deals in every frame and no census comes.
    if (held[31] && dice->below(3) == 0) key(vk_f1, held[31] = false);
    else if (!held[31] && dice->below(1000) < 3) key(vk_f1, held[31] = true);
    if (dice->below(100) < 25)
        headless_push_event({platform_event_mouse_move, 0, 0, dice->below(screen_width), dice->below(screen_height)});
    if (dice->below(100) < 4) {
        const int button = dice->below(2) * 2;
        headless_push_event({mouse_buttons[button] ? platform_event_button_up : platform_event_button_down, 0, button, 0, 0});
    }
    if (dice->below(1000) < 8) {
        *minimised = !*minimised;
        headless_push_event({*minimised ? platform_event_minimized : platform_event_restored, 0, 0, 0, 0});
    }
}

// The real loop in the offscreen window, recording into path: each frame one
// pass per waiting event, then the pass that swaps; then Escape.
void record_scripted_game(const std::string& path) {
    start_as_the_program_does();
    choose_next_deal_seed(424242);
    ASSERT_TRUE(open_window("VARNHOLD", screen_width, screen_height, 16, false));
    start_recording(path.c_str(), false);
    Dice dice{7};
    bool held[32] = {};
    bool minimised = false;
    for (int frame = 1; frame <= 1500; ++frame) {
        play_scripted_frame(&dice, frame, held, &minimised);
        const int swaps = headless_swap_count();
        while (headless_swap_count() == swaps) ASSERT_FALSE(run_loop_pass());
    }
    key(vk_escape, true);
    for (int pass = 0; pass < 100 && !run_loop_pass(); ++pass) {
    }
    stop_recording();
    close_window();
    start_as_the_program_does();
}

std::function<void()> poke_after_pass;
int poke_at_pass = -1;
int passes_run = 0;
bool poking_pass() {
    const bool ended = rules_pass();
    if (++passes_run == poke_at_pass) poke_after_pass();
    return ended;
}

// The file played to its end through the rule steps, in the world the
// simulator makes: no window. False when the file would not open.
bool play_replay(const std::string& path, ReplayPlayer* player, ReplayStep* step, ReplayPassFunction pass = rules_pass) {
    start_as_the_program_does();
    EXPECT_TRUE(start_sim_world(1)) << "the world allocated";
    const bool opened = play_replay_file(path.c_str(), player, step, pass, UINT64_MAX);
    stop_sim_world();
    start_as_the_program_does();
    return opened;
}

// The recorded game, made once for the suite.
class RecordedGame : public ::testing::Test {
protected:
    static std::string path;
    static std::string text;
    static void SetUpTestSuite() {
        path = temp_file("scripted.vrp");
        record_scripted_game(path);
        text = read_all(path);
    }
};
std::string RecordedGame::path;
std::string RecordedGame::text;

ReplayPlayer player;

TEST_F(RecordedGame, PlaysBackThroughTheRuleStepsWithEveryDigestMatching) {
    ReplayStep step;
    ASSERT_TRUE(play_replay(path, &player, &step)) << player.message;
    EXPECT_EQ(step, replay_step_finished) << player.message;
    uint32_t digest_lines = 1;  // the end's
    for (size_t at = text.find("\nd "); at != std::string::npos; at = text.find("\nd ", at + 1)) ++digest_lines;
    EXPECT_EQ(player.digests_checked, digest_lines) << "digests_checked";
    EXPECT_GT(player.digests_checked, 20u) << "digests_checked";
    EXPECT_EQ(player.frames, recorded_frames()) << "frames";
}

// A state that moves, as a rule changed between recording and replay would
// move it, is found at the next census and named by field and slots.
TEST_F(RecordedGame, AMovedStateIsFoundAtTheNextCensusAndNamed) {
    const std::pair<const char*, std::function<void()>> pokes[] = {
        {"hp", [] { unit_table[5].hp += 0.25f; }},
        {"tile_x", [] { unit_table[40].tile_x ^= 1; }},
        {"rand_state", [] { rng::rand(); }},
        {"map_sx", [] { map_sx += 1; }},
        {"help_visible", [] { help_visible = !help_visible; }},
        {"camera_zoom", [] { camera_zoom += 0.25f; }},
        {"owner", [] { unit_table[70].owner = 1 - unit_table[70].owner; }},
    };
    for (const auto& poke : pokes) {
        poke_after_pass = poke.second;
        poke_at_pass = 400;
        passes_run = 0;
        ReplayStep step;
        ASSERT_TRUE(play_replay(path, &player, &step, poking_pass));
        EXPECT_EQ(step, replay_step_differs) << poke.first;
        EXPECT_TRUE(player.differs_by_digest) << poke.first;
        EXPECT_LE(player.differs_at_frame, 400u + 30u) << poke.first;
        std::string moved;
        for (int i = 0; i < digest_game_fields + digest_unit_fields; ++i)
            if (player.recorded.fingerprint[i] != player.replayed.fingerprint[i]) moved += digest_field_name(i) + std::string(" ");
        EXPECT_NE(moved.find(std::string(poke.first) + " "), std::string::npos) << poke.first << " among: " << moved;
    }
    poke_at_pass = -1;
}

// Cut after a digest, or one byte into the line after it (every line is
// longer): played to that digest's frame and told as ending early. Cut
// anywhere else: ends early, or will not open when the header is cut.
TEST_F(RecordedGame, ACutFilePlaysToItsLastCompleteFrame) {
    size_t at = 0;
    for (int d = 0; d < 5; ++d) at = text.find("\nd ", at + 1);
    ASSERT_NE(at, std::string::npos) << "place of the fifth digest line";
    const size_t line_end = text.find('\n', at + 1);
    const uint64_t frame = std::strtoull(text.c_str() + at + 3, nullptr, 10);
    const std::string cut_path = temp_file("cut.vrp");
    for (size_t extra : {size_t(0), size_t(1)}) {
        write_all(cut_path, text.substr(0, line_end + 1 + extra));
        ReplayStep step;
        ASSERT_TRUE(play_replay(cut_path, &player, &step));
        EXPECT_EQ(step, replay_step_cut) << "cut " << extra << " bytes after the digest";
        EXPECT_EQ(player.frames, frame) << "cut " << extra << " bytes after the digest";
        EXPECT_NE(std::string(player.message).find("ends early"), std::string::npos) << player.message;
    }
    Dice dice{99};
    for (int i = 0; i < 12; ++i) {
        const size_t length = dice.below(static_cast<int>(text.size()));
        write_all(cut_path, text.substr(0, length));
        ReplayStep step = replay_step_played;
        if (!play_replay(cut_path, &player, &step)) continue;  // inside the header
        EXPECT_EQ(step, replay_step_cut) << "cut at byte " << length << ": " << player.message;
    }
}

// Files that were never replays: one clear line each, never played to an end.
TEST(HostileReplay, EachGivesOneClearLineAndNeverPlaysToTheEnd) {
    const std::string header = "varnhold-replay 1\ngame 1.0.0\nseed 5\n";
    std::string garbage;
    Dice dice{5};
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>(dice.below(256));
    const struct {
        const char* name;
        std::string bytes;
        const char* said;  // in the one line
    } files[] = {
        {"empty", "", "empty"},
        {"not ours", "hello\n", "not a varnhold replay"},
        {"another format", "varnhold-replay 2\ngame 9.0\nseed 1\n", "format 2"},
        {"header cut", "varnhold-replay 1\ngame 1.0.0\n", "ends inside its header"},
        {"binary garbage", garbage, "not a varnhold replay"},
        {"seed too big", "varnhold-replay 1\ngame 1.0.0\nseed 4294967296\n", "seed"},
        {"version too long", "varnhold-replay 1\ngame " + std::string(200, '1') + "\nseed 1\n", "version"},
        {"garbage after the header", header + garbage, "damaged"},
        {"a line of megabytes", header + "p" + std::string(3 << 20, ' ') + "\n", "longer"},
        {"a huge run", header + "r 99999999999999999999\n", "run line"},
        {"a run of a million frames", header + "r 1000000\n", "census"},
        {"a cursor off any screen", header + "p c99999,0\n", "change"},
        {"a key past the table", header + "p k+1g\n", "change"},
        {"a button that is none", header + "p b+3\n", "change"},
        {"two deals in one pass", header + "p s1 s2\n", "change"},
        {"a NUL byte", header + std::string("p\0\n", 3), "not text"},
        {"a digest in the wrong place", header + "d 0 0000000000000000 " + std::string(digest_fingerprint_length, '0') + " 00000000\n", "changed"},
        {"only a header", header, "ends early"},
        {"a line we do not know", header + "z\n", "does not know"},
        {"a missing file", "", "cannot open"},
    };
    for (const auto& file : files) {
        const std::string path = temp_file(file.name);
        if (std::strcmp(file.name, "a missing file") != 0) write_all(path, file.bytes);
        ReplayStep step = replay_step_played;
        const bool opened = play_replay(path, &player, &step);
        EXPECT_FALSE(opened && step == replay_step_finished) << file.name << " played to its end";
        EXPECT_NE(std::string(player.message).find(file.said), std::string::npos) << file.name << ": " << player.message;
        EXPECT_EQ(std::strchr(player.message, '\n'), nullptr) << file.name;
        EXPECT_LE(player.frames, 30u) << file.name;
    }
}

// ---- The digest ------------------------------------------------------------------

class Digest : public WorldTest {};

TEST_F(Digest, MovesWithEveryFieldOfTheGameAndOfEveryUnit) {
    place_unit(9, owner_computer, 33, 12, 14);
    struct Change {
        const char* field;
        std::function<void()> apply;
    };
    Unit& u = unit_table[9];
    const Change changes[] = {
        {"frame_counter", [] { ++frame_counter; }}, {"rand_state", [] { rng::rand(); }},
        {"selected_unit", [] { selected_unit = 9; }}, {"empire_0_won", [] { empire_0_won = 1; }},
        {"empire_1_won", [] { empire_1_won = 1; }}, {"tie", [] { tie = 1; }},
        {"help_visible", [] { help_visible = 1; }}, {"game_speed", [] { game_speed = 3; }},
        {"unit_size", [] { unit_size = unit_size_large; }}, {"camera_zoom", [] { camera_zoom -= 0.12f; }},
        {"camera_pitch", [] { camera_pitch += 0.5f; }}, {"camera_yaw", [] { camera_yaw -= 0.5f; }},
        {"camera_spin", [] { camera_spin = 90.0f; }}, {"map_sx", [] { ++map_sx; }}, {"map_sy", [] { --map_sy; }},
        {"cursor_dx", [] { ++cursor_dx; }}, {"cursor_dy", [] { --cursor_dy; }},
        {"active", [&] { u.active = 0; }}, {"owner", [&] { u.owner = 0; }}, {"tile_x", [&] { ++u.tile_x; }},
        {"tile_y", [&] { ++u.tile_y; }}, {"level", [&] { u.level = 1; }}, {"goal_x", [&] { u.goal_x = 5; }},
        {"goal_y", [&] { u.goal_y = 5; }}, {"next_x", [&] { u.next_x = 6; }}, {"next_y", [&] { u.next_y = 6; }},
        {"target_unit", [&] { u.target_unit = -1; }}, {"order", [&] { u.order = order_attack; }},
        {"blocks_path", [&] { u.blocks_path = 1; }}, {"kind", [&] { u.kind = 34; }},
        {"mobility", [&] { u.mobility = 2; }}, {"mining", [&] { u.mining = 1; }},
        {"gold", [&] { u.gold += 0.5f; }}, {"max_hp", [&] { u.max_hp += 1.0f; }},
        {"hp", [&] { u.hp -= 0.01f; }}, {"dead", [&] { u.dead = 1; }}, {"attack", [&] { ++u.attack; }},
    };
    for (const Change& change : changes) {
        const StateDigest before = digest_game_state();
        change.apply();
        const StateDigest after = digest_game_state();
        EXPECT_NE(after.whole, before.whole) << change.field;
    }
}

}  // namespace
