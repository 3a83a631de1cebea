// The replay folder's clean-up: how many replays it keeps with the new one,
// which names it may remove (its own dated files and nothing near them),
// and that a game given no replay path finds the folder as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "replay/replay_folder.h"

namespace {

namespace fs = std::filesystem;

// CTest runs each case in a process of its own, side by side: a data home
// each, removed when the case ends.
class ReplayFolder : public ::testing::Test {
protected:
    const std::string home = ::testing::TempDir() + "varnhold_folder_" + std::to_string(getpid());
    const std::string folder = home + "/varnhold/replays/";
    void SetUp() override { setenv("XDG_DATA_HOME", home.c_str(), 1); }
    void TearDown() override { fs::remove_all(home); }
    // Replay n of a game a day in 2001, older than any the clock names.
    std::string dated(int n) const {
        char name[64];
        std::snprintf(name, sizeof name, "2001-%02d-%02d_10-00-00.vrp", n / 28 + 1, n % 28 + 1);
        return folder + name;
    }
    void fill(int count) const {
        fs::remove_all(home);
        fs::create_directories(folder);
        for (int n = 0; n < count; ++n) std::ofstream(dated(n)) << "x";
    }
};

}  // namespace

// The oldest go first, until 49 are left beside the new one: one round of
// clean-up removes at most 64, so 130 takes two. A path that cannot be
// given (here too long for its buffer) removes nothing.
TEST_F(ReplayFolder, KeepsFiftyWithTheNewOne) {
    const struct {
        int before;
        size_t path_size;
        bool made;
        int gone;
    } cases[] = {{0, 4096, true, 0},  {49, 4096, true, 0},   {50, 4096, true, 1},
                 {51, 4096, true, 2}, {130, 4096, true, 81}, {55, 20, false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.before << " replays, path buffer " << c.path_size);
        fill(c.before);
        char path[4096] = "";
        ASSERT_EQ(new_replay_path(path, c.path_size), c.made) << "new_replay_path's result";
        if (c.made) {
            EXPECT_EQ(fs::path(path).parent_path() / "", fs::path(folder)) << "the new replay's folder";
            EXPECT_FALSE(fs::exists(path)) << "the new name is free";
            std::ofstream(path) << "x";
        }
        int replays = 0;
        for (const auto& e : fs::directory_iterator(folder)) replays += is_replay_name(e.path().filename().c_str());
        EXPECT_EQ(replays, c.before - c.gone + c.made) << "replays in the folder with the new one";
        EXPECT_FALSE(c.gone > 0 && fs::exists(dated(c.gone - 1))) << "the newest removed";
        EXPECT_TRUE(c.gone == c.before || fs::exists(dated(c.gone))) << "the oldest kept";
    }
}

// 50 replays of 2001 and, older than all of them, the names below (f a
// file, d a folder, l a link to a file elsewhere): those of the exact dated
// form are removed, the near ones stay and are not counted (counted, they
// would take the oldest of 2001 with them).
TEST_F(ReplayFolder, RemovesOnlyItsOwnDatedFiles) {
    const struct {
        const char* name;
        char made;
        bool removed;
    } entries[] = {
        {"2000-01-01_00-00-00.vrp", 'f', true},   {"2000-01-01_00-00-00-2.vrp", 'f', true},
        {"2000-01-01_00-00-00-17.vrp", 'f', true}, {"2000-01-01_00-00-01.vrp", 'd', false},
        {"2000-01-01_00-00-02.vrp", 'l', false},   {"2000-01-01_00-00-00.vrp.bak", 'f', false},
        {"2000-01-01_00-00-00.VRP", 'f', false},   {"2000-01-01_00-00-0x.vrp", 'f', false},
        {"2000-01-01_00-00-00-.vrp", 'f', false},  {"2000-01-01_00-00-00-2a.vrp", 'f', false},
        {"2000-01-01_00-00-0.vrp", 'f', false},    {"2000-01-01 00-00-00.vrp", 'f', false},
        {"x2000-01-01_00-00-00.vrp", 'f', false},  {"2000-01-01_00-00-00x.vrp", 'f', false},
        {"notes.txt", 'f', false},
    };
    fill(50);
    const std::string outside = home + "/elsewhere.vrp";
    std::ofstream(outside) << "x";
    for (const auto& e : entries) {
        if (e.made == 'f') std::ofstream(folder + e.name) << "x";
        if (e.made == 'd') fs::create_directory(folder + e.name);
        if (e.made == 'l') fs::create_symlink(outside, folder + e.name);
    }
    prune_replays(folder.c_str(), 50);
    for (const auto& e : entries) EXPECT_EQ(fs::exists(fs::symlink_status(folder + e.name)), !e.removed) << e.name;
    EXPECT_TRUE(fs::exists(dated(0))) << "the oldest replay of 2001";
    EXPECT_TRUE(fs::exists(outside)) << "the linked file";
}
