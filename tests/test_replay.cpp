// Replays: a game played through the real loop with scripted events is
// recorded and played back through the rule steps with every digest
// matching; a state that moves is found at the next census and named, a
// view that moves is not; the previous release's files still check; cut,
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

#include "app/game_window.h"
#include "app/input_state.h"
#include "app/main_loop.h"
#include "game/view.h"
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
    ASSERT_TRUE(open_game_window(424242));
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
    close_game_window();
    start_as_the_program_does();
}

std::function<void()> poke_after_pass;
int poke_at_pass = -1;
int passes_run = 0;
// The poke comes after the first frame from poke_at_pass on that precedes
// a census, so that the census of the very next frame finds it.
bool poking_pass(const ReplayTurn& turn) {
    const bool ended = rules_pass(turn);
    if (++passes_run >= poke_at_pass && poke_at_pass > 0 && frame_counter > 0 && frame_counter % 30 == 0) {
        poke_after_pass();
        poke_at_pass = 0;
    }
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
// move it, is found at the next census and named by field and slots; a
// view that moves (a viewer's camera) moves nothing the digests cover.
TEST_F(RecordedGame, AMovedStateIsFoundAtTheNextCensusAndNamed) {
    const std::pair<const char*, std::function<void()>> pokes[] = {
        {"hp", [] { unit_table[5].hp += 0.5f; }},
        {"tile_x", [] { unit_table[40].tile_x ^= 1; }},
        {"rand_state", [] { rng::rand(); }},
        {"selected_unit_1", [] { selected_unit[1] = 77; }},
        {"tie", [] { tie = 1; }},
        {"owner", [] { unit_table[70].owner = 1 - unit_table[70].owner; }},
        {"", [] {
             local_view.map_sx += 3;
             local_view.camera_zoom += 0.25f;
             local_view.help_visible = !local_view.help_visible;
         }},
    };
    for (const auto& poke : pokes) {
        poke_after_pass = poke.second;
        poke_at_pass = 600;
        passes_run = 0;
        ReplayStep step;
        ASSERT_TRUE(play_replay(path, &player, &step, poking_pass));
        if (!*poke.first) {
            EXPECT_EQ(step, replay_step_finished) << "a moved view: " << player.message;
            continue;
        }
        EXPECT_EQ(step, replay_step_differs) << poke.first;
        EXPECT_TRUE(player.differs_by_digest) << poke.first;
        EXPECT_LE(player.differs_at_frame, 600u + 31u) << poke.first;
        std::string moved;
        for (int i = 0; i < digest_shared_game_fields + digest_unit_fields; ++i)
            if (player.recorded.fingerprint[i] != player.replayed.fingerprint[i])
                moved += digest_field_name(DigestForm::shared, i) + std::string(" ");
        EXPECT_NE(moved.find(std::string(poke.first) + " "), std::string::npos) << poke.first << " among: " << moved;
    }
    poke_at_pass = -1;
}

// Replays the previous release wrote: one of a game in its window, one of a
// scripted game through its loop (minimising, F1 and every view key among
// its passes). Both check to their end with the view they had.
TEST(OlderReplay, FilesOfTheFirstFormatCheckWithEveryDigestMatching) {
    for (const char* name : {"format1_window.vrp", "format1_scripted.vrp"}) {
        const std::string path = std::string(VARNHOLD_SOURCE_DIR) + "/tests/data/" + name;
        ReplayStep step;
        ASSERT_TRUE(play_replay(path, &player, &step)) << player.message;
        EXPECT_EQ(step, replay_step_finished) << player.message;
        EXPECT_GT(player.digests_checked, 10u) << name << ": digests checked";
    }
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
    const std::string header = "varnhold-replay 2\ngame 1.1.0\nseed 5\nsides person computer\nlocal 0\ndelay 0\n";
    const std::string old_header = "varnhold-replay 1\ngame 1.0.0\nseed 5\n";
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
        {"another format", "varnhold-replay 3\ngame 9.0\nseed 1\n", "format 3"},
        {"header cut", "varnhold-replay 2\ngame 1.1.0\nseed 5\nsides person computer\n", "ends inside its header"},
        {"a side nobody plays", "varnhold-replay 2\ngame 1.1.0\nseed 5\nsides person robot\n", "line 4"},
        {"a third side", "varnhold-replay 2\ngame 1.1.0\nseed 5\nsides person computer\nlocal 2\n", "local"},
        {"a delay past any lobby", header.substr(0, header.size() - 2) + "601\n", "delay"},
        {"binary garbage", garbage, "not a varnhold replay"},
        {"seed too big", "varnhold-replay 1\ngame 1.0.0\nseed 4294967296\n", "seed"},
        {"version too long", "varnhold-replay 1\ngame " + std::string(200, '1') + "\nseed 1\n", "version"},
        {"garbage after the header", header + garbage, "damaged"},
        {"a line of megabytes", header + "p" + std::string(3 << 20, ' ') + "\n", "longer"},
        {"a huge run", header + "r 99999999999999999999\n", "run line"},
        {"a run of a million frames", header + "r 1000000\n", "census"},
        {"a cursor past 32 bits", header + "f 0c2147483648,0\n", "change"},
        {"a third side's command", header + "f 2c1,1\n", "change"},
        {"a button neither up nor down", header + "f 0l*\n", "change"},
        {"a pace key past F8", header + "f 1p5\n", "change"},
        {"a pass in a file of frames", header + "p b+0\n", "does not know"},
        {"a frame in a file of passes", old_header + "f 0l+\n", "does not know"},
        {"an old cursor off any screen", old_header + "p c99999,0\n", "change"},
        {"an old key past the table", old_header + "p k+1g\n", "change"},
        {"two deals in one old pass", old_header + "p s1 s2\n", "change"},
        {"a NUL byte", header + std::string("p\0\n", 3), "not text"},
        {"a digest in the wrong place",
         header + "d 0 0000000000000000 " + std::string(digest_fingerprint_length(DigestForm::shared), '0') +
             " 00000000\n",
         "changed"},
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

// Every shared field moves the shared digest; every field of the view moves
// only the digest of format 1, which covered it.
TEST_F(Digest, MovesWithEveryFieldOfTheGameAndOfEveryUnitAndNotWithTheView) {
    place_unit(9, owner_computer, 33, 12, 14);
    struct Change {
        const char* field;
        bool shared;
        std::function<void()> apply;
    };
    Unit& u = unit_table[9];
    View& v = local_view;
    const Change changes[] = {
        {"frame_counter", true, [] { ++frame_counter; }}, {"rand_state", true, [] { rng::rand(); }},
        {"selected_unit", true, [] { selected_unit[0] = 9; }}, {"selected_unit_1", true, [] { selected_unit[1] = 9; }},
        {"empire_0_won", true, [] { empire_0_won = 1; }}, {"empire_1_won", true, [] { empire_1_won = 1; }},
        {"tie", true, [] { tie = 1; }}, {"game_speed", true, [] { game_speed = 3; }},
        {"help_visible", false, [&] { v.help_visible = 1; }}, {"unit_size", false, [&] { v.unit_size = unit_size_large; }},
        {"camera_zoom", false, [&] { v.camera_zoom -= 0.12f; }}, {"camera_pitch", false, [&] { v.camera_pitch += 0.5f; }},
        {"camera_yaw", false, [&] { v.camera_yaw -= 0.5f; }}, {"camera_spin", false, [&] { v.camera_spin = 90.0f; }},
        {"map_sx", false, [&] { ++v.map_sx; }}, {"map_sy", false, [&] { --v.map_sy; }},
        {"cursor_dx", false, [&] { ++v.cursor_dx; }}, {"cursor_dy", false, [&] { --v.cursor_dy; }},
        {"active", true, [&] { u.active = 0; }}, {"owner", true, [&] { u.owner = 0; }},
        {"tile_x", true, [&] { ++u.tile_x; }}, {"tile_y", true, [&] { ++u.tile_y; }},
        {"level", true, [&] { u.level = 1; }}, {"goal_x", true, [&] { u.goal_x = 5; }},
        {"goal_y", true, [&] { u.goal_y = 5; }}, {"next_x", true, [&] { u.next_x = 6; }},
        {"next_y", true, [&] { u.next_y = 6; }}, {"target_unit", true, [&] { u.target_unit = -1; }},
        {"order", true, [&] { u.order = order_attack; }}, {"blocks_path", true, [&] { u.blocks_path = 1; }},
        {"kind", true, [&] { u.kind = 34; }}, {"mobility", true, [&] { u.mobility = 2; }},
        {"mining", true, [&] { u.mining = 1; }}, {"gold", true, [&] { u.gold += 0.5f; }},
        {"max_hp", true, [&] { u.max_hp += 1.0f; }}, {"hp", true, [&] { u.hp -= 0.01f; }},
        {"dead", true, [&] { u.dead = 1; }}, {"attack", true, [&] { ++u.attack; }},
    };
    for (const Change& change : changes) {
        const StateDigest shared_before = digest_game_state();
        const StateDigest with_view_before = digest_game_state_with_view(v);
        change.apply();
        if (change.shared)
            EXPECT_NE(digest_game_state().whole, shared_before.whole) << change.field << ": the shared digest";
        else
            EXPECT_EQ(digest_game_state().whole, shared_before.whole) << change.field << ": the shared digest";
        if (std::strcmp(change.field, "selected_unit_1") != 0)
            EXPECT_NE(digest_game_state_with_view(v).whole, with_view_before.whole) << change.field << ": format 1's";
    }
}

}  // namespace
