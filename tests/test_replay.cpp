// Replays: a game played through the real loop with scripted events is
// recorded and played back through the rule steps with every digest
// matching; a state that moves is found at the next census and named, a
// view that moves is not; the previous release's files still check;
// hostile files end with one clear message (cut files: the end-to-end
// test); the digest covers each field (that it hashes no padding, the
// golden games' pinned digests hold); the
// replay folder keeps the newest 50 of its own files and nothing else.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "app/game_window.h"
#include "app/input_state.h"
#include "app/main_loop.h"
#include "app/replay_pace.h"
#include "game/view.h"
#include "replay/recording.h"
#include "replay/replay_writer.h"
#include "tests/support/replay_script.h"
#include "tests/support/world_fixture.h"
#include "tools/sim/sim_world.h"
#include "world/new_game.h"

namespace {

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
    const bool ended = replay_turn_by_rules(turn);
    if (++passes_run >= poke_at_pass && poke_at_pass > 0 && frame_counter > 0 && frame_counter % 30 == 0) {
        poke_after_pass();
        poke_at_pass = 0;
    }
    return ended;
}

// The file played to its end through the rule steps, in the world the
// simulator makes: no window. False when the file would not open.
bool play_replay(const std::string& path, ReplayPlayer* player, ReplayStep* step, ReplayPassFunction pass = replay_turn_by_rules) {
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
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
};
std::string RecordedGame::path;
std::string RecordedGame::text;

ReplayPlayer player;

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

// Replays of older formats: the first release's, one of a game in its
// window, one of a scripted game through its loop (minimising, F1 and every
// view key among its passes), checked with the view they had; and one of
// format 2, checked with the smaller digest it holds.
TEST(OlderReplay, FilesOfFormatsOneAndTwoCheckWithEveryDigestMatching) {
    for (const char* name : {"format1_window.vrp", "format1_scripted.vrp", "format2_game_1.vrp"}) {
        const std::string path = std::string(VARNHOLD_SOURCE_DIR) + "/tests/data/" + name;
        ReplayStep step;
        ASSERT_TRUE(play_replay(path, &player, &step)) << player.message;
        EXPECT_EQ(step, replay_step_finished) << player.message;
        EXPECT_GT(player.digests_checked, 7u) << name << ": digests checked";
    }
}

// Files that were never replays, and each bound the writer reaches beside one
// past it: a line read ends the replay early; anything else, one clear line.
TEST(HostileReplay, EachBoundIsReadAndOnePastItGivesOneClearLine) {
    const std::string head = "varnhold-replay 2\ngame 1.1.0\nseed 5\n", sides = head + "sides person computer\n";
    const std::string header = sides + "local 0\ndelay 0\n", old_header = "varnhold-replay 1\ngame 1.0.0\nseed 5\n";
    const std::string sides3 = "varnhold-replay 3\ngame 1.1.0\nseed 5\nsides person computer\nlocal 0\ndelay 0\n";
    const std::string chat4 = "varnhold-replay 4" + sides3.substr(17) + "start deal\n";
    std::string garbage, keys;
    Dice dice{5};
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>(dice.below(256));
    for (int i = 0; i < 818; ++i) keys += " k+41";  // a pass line of 4091 characters
    const struct {
        const char* name;
        std::string bytes;
        const char* said;  // in the one line
    } files[] = {
        {"empty", "", "empty"}, {"not ours", "hello\n", "not a varnhold replay"},
        {"another format", "varnhold-replay 5\ngame 9.0\nseed 1\n", "format 5"},
        {"binary garbage", garbage, "not a varnhold replay"}, {"garbage after the header", header + garbage, "damaged"},
        {"header cut", sides, "ends inside its header"}, {"robot", head + "sides person robot\n", "line 4"},
        {"two spaces between the sides", head + "sides person  computer\n", "line 4"},
        {"local 1", sides + "local 1\ndelay 0\n", "ends early"}, {"a third side", sides + "local 2\n", "local"},
        {"delay 600", sides + "local 0\ndelay 600\n", "ends early"}, {"601", sides + "local 0\ndelay 601\n", "delay"},
        {"seed 4294967295", "varnhold-replay 1\ngame 1.0.0\nseed 4294967295\n", "ends early"},
        {"seed 4294967296", "varnhold-replay 1\ngame 1.0.0\nseed 4294967296\n", "seed"},
        {"a version of 32", "varnhold-replay 1\ngame " + std::string(32, '1') + "\nseed 1\n", "ends early"},
        {"a version of 33", "varnhold-replay 1\ngame " + std::string(33, '1') + "\nseed 1\n", "version"},
        {"a line of 4095 characters", old_header + "p" + keys + " x10\n", "ends early"},
        {"a line of 4096 characters", old_header + "p" + keys + " x100\n", "longer"},
        {"a run of a million frames", header + "r 1000000\n", "census"},
        {"a run of a million and one", header + "r 1000001\n", "run line"}, {"none", header + "r 0\n", "run line"},
        {"the cursor's lowest x, highest y", header + "f 0c-2147483648,2147483647\n", "ends early"},
        {"the cursor's highest x, lowest y", header + "f 1c2147483647,-2147483648\n", "ends early"},
        {"x below 32 bits", header + "f 0c-2147483649,0\n", "change"},
        {"x past 32 bits", header + "f 0c2147483648,0\n", "change"},
        {"y below 32 bits", header + "f 0c0,-2147483649\n", "change"},
        {"y past 32 bits", header + "f 0c0,2147483648\n", "change"},
        {"-0", header + "f 0c-0,1\n", "change"}, {"a leading zero", header + "f 0c1,07\n", "change"},
        {"a deal from seed 4294967295", header + "f 1s4294967295\n", "ends early"},
        {"a deal from seed 4294967296", header + "f 1s4294967296\n", "change"},
        {"an old deal from 4294967295", old_header + "p s4294967295\n", "ends early"},
        {"an old deal from 4294967296", old_header + "p s4294967296\n", "change"},
        {"a digest of the last frame", header + "d 4611686018427387903 " + std::string(16, '0') + " " + std::string(60, '0') + " 00000000\n", "changed"},
        {"a frame past it", header + "d 4611686018427387904 " + std::string(16, '0') + " " + std::string(60, '0') + " 00000000\n", "cannot read"},
        {"F8 on side 1", header + "f 1p4\n", "ends early"}, {"past F8", header + "f 1p5\n", "change"},
        {"a third side's command", header + "f 2c1,1\n", "change"}, {"l*", header + "f 0l*\n", "change"},
        {"a change that changes nothing", header + "f 0p0\n", "change"},
        {"twice", header + "f 0l+ 0l-\n", "change"}, {"side 1 first", header + "f 1l+ 0l+\n", "change"},
        {"a frame without a change", header + "f\n", "without a change"},
        {"a pass in a file of frames", header + "p b+0\n", "does not know"},
        {"a frame in a file of passes", old_header + "f 0l+\n", "does not know"},
        {"an old cursor at its corners", old_header + "p c-20,-5441 c4075,20\n", "ends early"},
        {"left of them", old_header + "p c-21,0\n", "change"}, {"right", old_header + "p c4076,0\n", "change"},
        {"below", old_header + "p c0,-5442\n", "change"}, {"above", old_header + "p c0,21\n", "change"},
        {"the last key of both tables, the third button", old_header + "p k+ff d-ff b+2 x65535 a1\n", "ends early"},
        {"a key past the table", old_header + "p k+100\n", "change"}, {"a fourth button", old_header + "p b-3\n", "change"},
        {"a column past the mouse's", old_header + "p x65536\n", "change"}, {"a2", old_header + "p a2\n", "change"},
        {"a snapshot a byte larger", sides3 + "start snapshot 12095\n", "snapshots of 12094"},
        {"a snapshot cut", sides3 + "start snapshot 12094\ns 00\n", "bytes 0 to 63"},
        {"neither deal nor snapshot", sides3 + "start\n", "line 7"},
        {"two deals in one old pass", old_header + "p s1 s2\n", "change"},
        {"a chat of 80 characters", chat4 + "m 1 " + std::string(80, '~') + "\n", "ends early"},
        {"a chat of 81", chat4 + "m 1 " + std::string(81, 'a') + "\n", "chat line"},
        {"a chat of nothing", chat4 + "m 0 \n", "chat line"}, {"a third side's chat", chat4 + "m 2 hi\n", "chat line"},
        {"a chat without its side", chat4 + "m hi\n", "chat line"},
        {"a chat in a file before chat", sides3 + "start deal\nm 0 hi\n", "does not know"},
        {"a NUL byte", header + std::string("p\0\n", 3), "not text"},
        {"a digest in the wrong place", header + "d 0 " + std::string(16, '0') + " " + std::string(60, '0') + " 00000000\n",
         "changed"},
        {"only a header", header, "ends early"}, {"a line we do not know", header + "z\n", "does not know"},
        {"a missing file", "", "cannot open"},
    };
    for (const auto& file : files) {
        // One name for all: a message that names the file must not say what a case's name says.
        const std::string path = temp_file("hostile.vrp");
        std::filesystem::remove(path);
        if (std::strcmp(file.name, "a missing file") != 0) write_all(path, file.bytes);
        ReplayStep step = replay_step_played;
        const bool opened = play_replay(path, &player, &step);
        EXPECT_FALSE(opened && step == replay_step_finished) << file.name << " played to its end";
        EXPECT_NE(std::string(player.message).find(file.said), std::string::npos) << file.name << ": " << player.message;
        EXPECT_EQ(std::strchr(player.message, '\n'), nullptr) << file.name;
        EXPECT_LE(player.frames, 30u) << file.name;
    }
}

// A recorded digest, fingerprint or frame changed, and every file hash after
// it made right again: the replay parts there; no tool says all digests match.
TEST_F(RecordedGame, ADigestChangedWithItsFileHashMadeRightIsADifference) {
    const size_t end = text.rfind("\ne ") + 1, census = text.find("\nd ", text.find("\nd ") + 1) + 1;
    const size_t end_digest = text.find(' ', end + 2) + 1, census_digest = text.find(' ', census + 2) + 1;
    const uint64_t census_frame = std::strtoull(text.c_str() + census + 2, nullptr, 10);
    const struct {
        const char* what;
        size_t at;
        uint64_t differs_at;
    } changes[] = {{"the end's digest", end_digest + 15, recorded_frames()},
                   {"the end's fingerprint", end_digest + 17 + 40, recorded_frames()},
                   {"the end's frame", end_digest - 2, recorded_frames()},
                   {"the second census's digest", census_digest, census_frame}};
    for (const auto& change : changes) {
        std::string changed = text;
        changed[change.at] = changed[change.at] == '1' ? '2' : '1';
        std::istringstream lines(changed);
        std::string rehashed, line;
        for (uint32_t hash = file_hash_start; std::getline(lines, line); rehashed += line) {
            char tail[10];
            std::snprintf(tail, sizeof tail, " %08x", hash);
            if (line.rfind("d ", 0) == 0 || line.rfind("e ", 0) == 0) line.replace(line.size() - 9, 9, tail);
            line += '\n';
            hash = hash_file_bytes(hash, line.data(), static_cast<int>(line.size()));
        }
        write_all(temp_file("changed.vrp"), rehashed);
        ReplayStep step;
        ASSERT_TRUE(play_replay(temp_file("changed.vrp"), &player, &step));
        EXPECT_EQ(step, replay_step_differs) << change.what << ": " << player.message;
        EXPECT_EQ(player.differs_at_frame, change.differs_at) << change.what;
    }
}

// Each field of a side's command changing alone, on either side, from a
// command that holds the others: written and read back exactly, the other
// side left as it was.
TEST(ReplayFrames, EachFieldChangingAloneIsWrittenAndReadBackExactly) {
    const struct {
        const char* change;
        SideCommand before, now;  // has_cursor, cursor_x, cursor_y, left, right, deals, deal_seed, pace
    } cases[] = {
        {"cursor x alone", {1, 5, 7, 0, 0, 0, 0, 3}, {1, INT32_MIN, 7, 0, 0, 0, 0, 3}},
        {"cursor y alone", {1, 5, 7, 0, 0, 0, 0, 3}, {1, 5, INT32_MAX, 0, 0, 0, 0, 3}},
        {"no tile", {1, 5, 7, 0, 0, 0, 0, 3}, {0, 5, 7, 0, 0, 0, 0, 3}},
        {"left down", {1, 5, 7, 0, 1, 0, 0, 3}, {1, 5, 7, 1, 1, 0, 0, 3}},
        {"right up", {1, 5, 7, 1, 1, 0, 0, 3}, {1, 5, 7, 1, 0, 0, 0, 3}},
        {"deal on", {1, 5, 7, 0, 0, 0, 0, 3}, {1, 5, 7, 0, 0, 1, 10, 3}},
        {"deal seed while held", {1, 5, 7, 0, 0, 1, 10, 3}, {1, 5, 7, 0, 0, 1, 11, 3}},
        {"deal off", {1, 5, 7, 0, 0, 1, 10, 3}, {1, 5, 7, 0, 0, 0, 10, 3}},
        {"pace alone", {1, 5, 7, 0, 0, 0, 0, 2}, {1, 5, 7, 0, 0, 0, 0, 0}},
    };
    const char* const names[] = {"has_cursor", "cursor_x", "cursor_y", "left", "right", "deals", "deal_seed", "pace"};
    const auto fields = [](const SideCommand& c) {
        return std::array<int64_t, 8>{c.has_cursor, c.cursor_x, c.cursor_y, c.left,
                                      c.right,      c.deals,    c.deal_seed, c.pace};
    };
    for (const auto& c : cases) {
        for (int side = 0; side < side_count; ++side) {
            FrameCommands frames[3] = {no_commands(), {{c.before, c.before}}, {{c.before, c.before}}};
            frames[2].side[side] = c.now;
            std::string file = "varnhold-replay 2\ngame 1.1.0\nseed 5\nsides person person\nlocal 0\ndelay 0\n";
            for (int frame = 1; frame <= 2; ++frame) {
                char changes[replay_line_capacity];
                encode_frame_changes(frames[frame - 1], frames[frame], changes);
                file += std::string("f") + changes + "\n";
            }
            write_all(temp_file("frames.vrp"), file);
            ReplayReader reader;
            ReplayHeader header;
            PassInput pass;
            ReplayRecord record;
            FrameCommands read = no_commands();
            ASSERT_TRUE(reader_open(&reader, temp_file("frames.vrp").c_str(), &header)) << reader.error;
            for (int frame = 1; frame <= 2; ++frame) {
                EXPECT_EQ(reader_next(&reader, &pass, &read, &record), record_frame) << c.change << ": " << reader.error;
                for (int s = 0; s < side_count; ++s)
                    for (int i = 0; i < 8; ++i)
                        EXPECT_EQ(fields(read.side[s])[i], fields(frames[frame].side[s])[i])
                            << c.change << " on side " << side << ", frame " << frame << ": side " << s << "'s "
                            << names[i];
            }
            reader_close(&reader);
        }
    }
}

// The viewer's speed goes from 1/4x to as fast as it goes with + and back
// with - (either keyboard's), staying at each end; each step or pause starts
// the pace over: no rush of frames after a pause, no wait after a slower step.
TEST(ReplayPace, EveryStepIsReachedAndKeepsItsPaceAfterAPauseOrAStep) {
    const int plus[] = {0xBB, 0x6B}, minus[] = {0xBD, 0x6D};
    const double steps[] = {0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 0.0};
    ReplayPace pace = start_pace(1000.0);
    for (int i = 0; i < 3; ++i) pace_key(&pace, minus[i % 2], 1000.0);
    for (int i = 0; i < 16; ++i) {
        const int step = i < 8 ? std::min(i, 6) : std::max(13 - i, 0);
        EXPECT_EQ(pace_speed(pace), steps[step]) << "speed after " << i << " keys";
        EXPECT_EQ(pace_faster_than_shown(pace), step > 2) << "faster than shown after " << i << " keys";
        pace_played(&pace, 50.0);
        EXPECT_EQ(pace_wait_ms(pace, 1000.0) <= 0.0, step == 6) << "due at once after " << i << " keys";
        pace_key(&pace, i < 7 ? plus[i % 2] : minus[i % 2], 1000.0);
    }
    pace = start_pace(1000.0);  // 1x
    pace_played(&pace, 60.0);
    pace_key(&pace, vk_space, 1060.0);
    EXPECT_TRUE(pace.paused) << "paused by Space";
    pace_key(&pace, vk_space, 11060.0);
    pace_played(&pace, 20.0);
    EXPECT_EQ(pace_wait_ms(pace, 11060.0), 20.0) << "1x, the frame after ten seconds' pause";
    for (int i = 0; i < 3; ++i) pace_key(&pace, plus[0], 11060.0);
    pace_played(&pace, 1000.0);
    EXPECT_EQ(pace_wait_ms(pace, 11060.0), 125.0) << "8x, a second played";
    for (int i = 0; i < 5; ++i) pace_key(&pace, minus[1], 11185.0);
    EXPECT_EQ(pace_wait_ms(pace, 11185.0), 0.0) << "due at once after stepping down to 1/4x";
    pace_played(&pace, 20.0);
    EXPECT_EQ(pace_wait_ms(pace, 11195.0), 70.0) << "1/4x, 10 ms after 20 ms played";
}

// ---- The digest ------------------------------------------------------------------

class Digest : public WorldTest {};

// Every field of the game and of a unit moves the digest: the golden games
// and the replays have no blind field. (The view fields that format 1's
// digest held are pinned by that format's files.)
TEST_F(Digest, MovesWithEveryFieldOfTheGameAndOfEveryUnit) {
    place_unit(9, owner_computer, 33, 12, 14);
    Unit& u = unit_table[9];
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"frame_counter", [] { ++frame_counter; }}, {"rand_state", [] { rng::rand(); }},
        {"selected_unit", [] { selected_unit[0] = 9; }}, {"selected_unit_1", [] { selected_unit[1] = 9; }},
        {"empire_0_won", [] { empire_0_won = 1; }}, {"empire_1_won", [] { empire_1_won = 1; }},
        {"tie", [] { tie = 1; }}, {"game_speed", [] { game_speed = 3; }},
        {"person_0", [] { side_played_by_person[0] = 0; }}, {"person_1", [] { side_played_by_person[1] = 1; }},
        {"deal_seed", [] { note_deal_seed(last_deal_seed() + 1); }},
        {"active", [&] { u.active = 0; }}, {"owner", [&] { u.owner = 0; }},
        {"tile_x", [&] { ++u.tile_x; }}, {"tile_y", [&] { ++u.tile_y; }},
        {"level", [&] { u.level = 1; }}, {"goal_x", [&] { u.goal_x = 5; }},
        {"goal_y", [&] { u.goal_y = 5; }}, {"next_x", [&] { u.next_x = 6; }},
        {"next_y", [&] { u.next_y = 6; }}, {"target_unit", [&] { u.target_unit = -1; }},
        {"order", [&] { u.order = order_attack; }}, {"blocks_path", [&] { u.blocks_path = 1; }},
        {"kind", [&] { u.kind = 34; }}, {"mobility", [&] { u.mobility = 2; }},
        {"mining", [&] { u.mining = 1; }}, {"gold", [&] { u.gold += 0.5f; }},
        {"max_hp", [&] { u.max_hp += 1.0f; }}, {"hp", [&] { u.hp -= 0.01f; }},
        {"dead", [&] { u.dead = 1; }}, {"attack", [&] { ++u.attack; }},
    };
    for (const auto& change : changes) {
        const uint64_t before = digest_game_state().whole;
        change.second();
        EXPECT_NE(digest_game_state().whole, before) << change.first;
    }
}

}  // namespace
