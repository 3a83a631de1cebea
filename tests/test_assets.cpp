// The pictures and the sound the build generates beside the game, read back
// the way the game reads them, and the generator's refusal of bad sources.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "render/image_loader.h"
#include "render/image_table.h"

TEST(GeneratedAssets, EveryPictureLoadsAtItsSizeAndTheSoundIsAShortMonoWave) {
    const char* const units[] = {"blood", "mage", "mage_eye", "floating_eye", "minotor", "dragon", "medusa", "mantis",
                                 "ogre", "squeletton_floating", "serpent_fire", "rust_monster", "giant_worm",
                                 "squeletton", "dragon_basilic", "dragon_hydra", "catapult"};
    std::vector<std::pair<std::string, int>> files = {{"bmp_floor/brickold2.bmp", 64}, {"bmp_floor/grass1.bmp", 64},
                                                      {"bmp_scr/intro1.bmp", 240}, {"bmp_land/mine.bmp", 16}};
    for (const char* unit : units) files.push_back({std::string("bmp_unit/unit_") + unit + ".bmp", 16});
    ASSERT_TRUE(alloc_image_table());
    for (const auto& file : files) {
        EXPECT_TRUE(load_image(file.first.c_str(), 5)) << file.first;
        EXPECT_EQ(image_table[5].width * 1000 + image_table[5].height, file.second * 1001) << file.first;
    }
    release_image_table();
    std::ifstream sound("sound/explosion3b.wav", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(sound)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(std::string(bytes.data(), 4) + std::string(bytes.data() + 8, 8), "RIFFWAVEfmt ");
    EXPECT_EQ(bytes[20] + bytes[22] * 10 + bytes[34] * 100, 1 + 10 + 1600) << "PCM, mono, 16 bits";
    EXPECT_GT(bytes.size(), 22050u * 2 * 3 / 10);
    EXPECT_LT(bytes.size(), 44100u * 2 * 2);
}

TEST(AssetGenerator, RefusesMalformedSourcesNamingFileAndLine) {
    const std::string picture = "size 4 4\ncolour . 0 0 0\ngrid\n....\n....\n....\n....\nend\n";
    const char* const bad[][3] = {
        {"picture", "size 4 4\ncolour . 0 0 0\ngrid\n.....\n....\n....\n....\nend\n", ":4:"},
        {"picture", "size 4 4\ncolour r 300 0 0\n", ":2:"},
        {"picture", "size 4 4\ncolour k 255 0 246\n", ":2:"},          {"picture", "size 6 6\n", ":1:"},
        {"picture", "size 4 4\ncolour . 0 0 0\ngrid\n....\n", ":3:"}, {"sound", "rate 30000\n", ":1:"},
    };
    std::filesystem::create_directories("assetgen_test");
    for (const auto& case_ : bad) {
        std::ofstream("assetgen_test/bad.txt") << case_[1];
        std::filesystem::remove("assetgen_test/out");
        const std::string command = std::string("'") + VARNHOLD_ASSETGEN + "' " + case_[0] +
                                    " assetgen_test/bad.txt assetgen_test/out 2> assetgen_test/message";
        const int status = std::system(command.c_str());
        std::stringstream message;
        message << std::ifstream("assetgen_test/message").rdbuf();
        EXPECT_EQ(WEXITSTATUS(status), 1) << case_[1];
        EXPECT_NE(message.str().find(std::string("bad.txt") + case_[2]), std::string::npos) << message.str();
        EXPECT_FALSE(std::filesystem::exists("assetgen_test/out"));
    }
    std::ofstream("assetgen_test/good.txt") << picture;
    EXPECT_EQ(std::system((std::string("'") + VARNHOLD_ASSETGEN + "' picture assetgen_test/good.txt assetgen_test/out").c_str()), 0);
}
