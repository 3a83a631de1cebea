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
    const std::string folder = home + "/varnhold/replays";
    void SetUp() override { setenv("XDG_DATA_HOME", home.c_str(), 1); }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(home, error);
    }
    std::string at(const std::string& name) const { return folder + "/" + name; }
    // Replay n of a game a day in 2001, older than any the clock names.
    static std::string dated(int n) {
        char name[64];
        std::snprintf(name, sizeof name, "2001-%02d-%02d_10-00-00.vrp", n / 28 + 1, n % 28 + 1);
        return name;
    }
    void fill(int count) {
        std::error_code error;
        fs::remove_all(home, error);
        fs::create_directories(folder);
        for (int n = 0; n < count; ++n) std::ofstream(at(dated(n))) << "x";
    }
    int replays() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            count += is_replay_name(entry.path().filename().c_str());
        return count;
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
            EXPECT_EQ(fs::path(path).parent_path(), fs::path(folder)) << "the new replay's folder";
            EXPECT_FALSE(fs::exists(path)) << "the new name is free";
            std::ofstream(path) << "x";
        }
        EXPECT_EQ(replays(), c.before - c.gone + c.made) << "replays in the folder with the new one";
        if (c.gone > 0) {
            EXPECT_FALSE(fs::exists(at(dated(c.gone - 1)))) << "the newest removed";
        }
        if (c.gone < c.before) {
            EXPECT_TRUE(fs::exists(at(dated(c.gone)))) << "the oldest kept";
        }
    }
}

// 50 replays of 2001 and, older than all of them, the names below: those of
// the exact dated form are removed, the near ones stay and are not counted
// (counted, they would take the oldest of 2001 with them).
TEST_F(ReplayFolder, RemovesOnlyItsOwnDatedFiles) {
    enum Made { file, folder_of_that_name, link_to_a_file };
    const struct {
        const char* name;
        Made made;
        bool removed;
    } entries[] = {
        {"2000-01-01_00-00-00.vrp", file, true},           {"2000-01-01_00-00-00-2.vrp", file, true},
        {"2000-01-01_00-00-00-17.vrp", file, true},        {"2000-01-01_00-00-01.vrp", folder_of_that_name, false},
        {"2000-01-01_00-00-02.vrp", link_to_a_file, false}, {"2000-01-01_00-00-00.vrp.bak", file, false},
        {"2000-01-01_00-00-00.VRP", file, false},          {"2000-01-01_00-00-0x.vrp", file, false},
        {"2000-01-01_00-00-00-.vrp", file, false},         {"2000-01-01_00-00-00-2a.vrp", file, false},
        {"2000-01-01_00-00-0.vrp", file, false},           {"2000-01-01 00-00-00.vrp", file, false},
        {"x2000-01-01_00-00-00.vrp", file, false},         {"2000-01-01_00-00-00x.vrp", file, false},
        {"notes.txt", file, false},
    };
    fill(50);
    const std::string outside = home + "/elsewhere.vrp";
    std::ofstream(outside) << "x";
    for (const auto& e : entries) {
        if (e.made == file) std::ofstream(at(e.name)) << "x";
        if (e.made == folder_of_that_name) fs::create_directory(at(e.name));
        if (e.made == link_to_a_file) fs::create_symlink(outside, at(e.name));
    }
    prune_replays(folder.c_str(), 50);
    for (const auto& e : entries) EXPECT_EQ(fs::exists(fs::symlink_status(at(e.name))), !e.removed) << e.name;
    EXPECT_TRUE(fs::exists(at(dated(0)))) << "the oldest replay of 2001";
    EXPECT_TRUE(fs::exists(outside)) << "the linked file";
}
