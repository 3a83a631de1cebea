// The pictures and the sound the build generates beside the game, read back
// the way the game reads them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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
