// The pictures and the sound the build generates beside the game, read back
// the way the game reads them at start: each file in its slot at its size.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "render/gl_window.h"
#include "render/image_loader.h"
#include "render/image_table.h"
#include "world/settings.h"

TEST(GeneratedAssets, EverySlotGetsItsPictureAtItsSizeAndTheSoundIsAShortMonoWave) {
    const char* const creatures[] = {"mage_eye", "floating_eye", "minotor", "dragon", "medusa", "mantis", "ogre",
                                     "squeletton_floating", "serpent_fire", "rust_monster", "giant_worm",
                                     "squeletton", "dragon_basilic", "dragon_hydra", "catapult"};
    std::map<int, std::string> files = {{0, "bmp_floor/brickold2.bmp"}, {1, "bmp_floor/grass1.bmp"},
                                        {3, "bmp_scr/intro1.bmp"},       {9, "bmp_unit/unit_blood.bmp"},
                                        {10, "bmp_unit/unit_mage.bmp"},  {90, "bmp_land/mine.bmp"}};
    for (int i = 0; i < 15; ++i) files[30 + i] = std::string("bmp_unit/unit_") + creatures[i] + ".bmp";
    headless_reset();
    ASSERT_TRUE(open_window("VARNHOLD", screen_width, screen_height, 16));  // start-up loads them all
    for (int slot = 0; slot < max_images - 1; ++slot) {
        const Image& image = image_table[slot];
        const int side = !files.count(slot) ? 0 : slot < 2 ? 64 : slot == 3 ? 240 : 16;
        ASSERT_EQ(image.width, side) << "width of slot " << slot;
        ASSERT_EQ(image.height, side) << "height of slot " << slot;
        if (side == 0) continue;
        ASSERT_TRUE(load_image(files[slot].c_str(), max_images - 1)) << "load of " << files[slot];
        EXPECT_EQ(std::memcmp(image.pixels, image_table[max_images - 1].pixels, side * side * 3), 0) << "pixels loaded at start-up against " << files[slot];
    }
    for (int entry = 0; entry < 2; ++entry) {  // the two floors become textures too
        std::vector<uint8_t> texels(64 * 64 * 3);
        glBindTexture(GL_TEXTURE_2D, texture_names[entry]);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(std::memcmp(texels.data(), image_table[entry].pixels, texels.size()), 0) << "texels of texture " << entry;
    }
    close_window();
    std::ifstream sound("sound/explosion3b.wav", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(sound)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 44u) << "sound file length: at least its header";
    EXPECT_EQ(std::string(bytes.data(), 4), "RIFF") << "file tag";
    EXPECT_EQ(std::string(bytes.data() + 8, 8), "WAVEfmt ") << "form and first chunk";
    EXPECT_EQ(bytes[20], 1) << "format: PCM";
    EXPECT_EQ(bytes[22], 1) << "channels";
    EXPECT_EQ(bytes[34], 16) << "bits per sample";
    EXPECT_GT(bytes.size(), 22050u * 2 * 3 / 10) << "sound file length: over 0.3 s";
    EXPECT_LT(bytes.size(), 44100u * 2 * 2) << "sound file length: under 2 s";
}
