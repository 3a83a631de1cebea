// Reading pictures into image slots: the accepted files, the refused ones,
// and the start-up table, which creates no file for a missing picture.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/common/data_files.h"
#include "render/image_loader.h"
#include "render/image_table.h"
#include "tests/support/gl_context.h"

namespace {

namespace fs = std::filesystem;

void put(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size = 4) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A colour of its own for every pixel, (0, 0) bottom-left.
uint8_t channel(int x, int y, int c) { return static_cast<uint8_t>(c == 0 ? x * 7 + 1 : c == 1 ? y * 11 + 2 : x + y * 3); }

// A bottom-up file as paint programs write it: rows padded with non-zero
// filler to four bytes, junk between the 54-byte header and the pixels.
std::vector<uint8_t> make_bmp(int width, int height, uint32_t offset = 54) {
    const size_t stride = (width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(offset + stride * height, 0xEE);
    std::fill(bytes.begin(), bytes.begin() + 54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(bytes, 10, offset);
    put(bytes, 18, width);
    put(bytes, 22, height);
    put(bytes, 28, 24, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x) bytes[offset + stride * y + x] = channel(x / 3, y, 2 - x % 3);
    return bytes;
}

void expect_picture(int slot, int width, int height) {
    const Image& image = image_table[slot];
    ASSERT_NE(image.pixels, nullptr);
    ASSERT_EQ(image.width * 10000 + image.height, width * 10000 + height);
    for (int i = 0; i < width * height * 3; ++i)
        ASSERT_EQ(image.pixels[i], channel(i / 3 % width, i / 3 / width, i % 3)) << i / 3 % width << "," << i / 3 / width;
}

// Each test in a folder of its own, as the game's working folder.
class ImageLoader : public ::testing::Test {
protected:
    std::string folder = fs::temp_directory_path() / ("varnhold_images_" + std::to_string(getpid()));
    char previous[PATH_MAX];
    void SetUp() override {
        ASSERT_TRUE(alloc_image_table());
        data_files_search_beside_executable(false);  // the real pictures lie beside the tests
        fs::create_directories(folder);
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous), 0);
        fs::remove_all(folder);
        release_image_table();
        data_files_search_beside_executable(true);
    }
    static bool load(const std::vector<uint8_t>& bytes, int slot, const std::string& path = "a.bmp") {
        if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return load_image(path.c_str(), slot);
    }
};

}  // namespace

TEST_F(ImageLoader, PaddedRowsAndLongerHeadersLoadBottomRowFirstInRedGreenBlue) {
    for (int width : {1, 2, 3, 4, 5})
        for (uint32_t offset : {54u, 138u}) {
            ASSERT_TRUE(load(make_bmp(width, 3, offset), 30));
            expect_picture(30, width, 3);
        }
    for (int side : {1, 4096}) {  // the largest sides taken
        ASSERT_TRUE(load(make_bmp(side, 4097 - side), 30));
        expect_picture(30, side, 4097 - side);
    }
    std::vector<uint8_t> bytes = make_bmp(5, 3);
    bytes.pop_back();  // the last row's padding is never read
    ASSERT_TRUE(load(bytes, 30));
    expect_picture(30, 5, 3);
}

TEST_F(ImageLoader, RefusedHeadersLeaveTheSlotAsItWasAndShortPixelsLeaveItEmpty) {
    // Where, what and how many bytes: 32 bits a pixel, a bit count whose low
    // byte reads 24, not "BM", widths 0, 4097 and negative, top-down, heights
    // 0 and 4097, offsets inside the header and past the end.
    const uint32_t spoilt[][3] = {{28, 32, 2},       {28, 0x118, 2}, {1, 'A', 1},         {18, 0, 4},
                                  {18, 4097, 4},     {18, 1u << 31, 4}, {22, 0xFFFFFFC0u, 4}, {22, 0, 4},
                                  {22, 4097, 4},     {10, 14, 4},    {10, 54 + 16 * 16 * 3 + 1, 4}};
    ASSERT_TRUE(load(make_bmp(4, 4), 3, "good.bmp"));
    for (const auto& s : spoilt) {
        std::vector<uint8_t> bytes = make_bmp(16, 16);
        put(bytes, s[0], s[1], static_cast<int>(s[2]));
        EXPECT_FALSE(load(bytes, 3)) << s[0] << " " << s[1];
        expect_picture(3, 4, 4);
    }
    const std::vector<uint8_t> good = make_bmp(4, 4);
    for (size_t length : {0, 53}) {
        EXPECT_FALSE(load(std::vector<uint8_t>(good.begin(), good.begin() + length), 3));
        expect_picture(3, 4, 4);
    }
    EXPECT_FALSE(load_image("good.bmp", -1) || load_image("good.bmp", 2048));
    for (size_t cut : {1, 16 * 16 * 3}) {
        std::vector<uint8_t> bytes = make_bmp(16, 16);
        bytes.resize(bytes.size() - cut);
        EXPECT_FALSE(load(bytes, 3));
        EXPECT_EQ(image_table[3].pixels, nullptr);
        EXPECT_EQ(image_table[3].width, 0);
        ASSERT_TRUE(load_image("good.bmp", 3));
    }
}

// Every file of the start-up table gets a side of its own, so each slot
// shows which file it got; the two terrain pictures become textures.
TEST_F(ImageLoader, StartUpFillsTheSlotsOfItsTableAndUploadsTheTerrainPictures) {
    ASSERT_TRUE(open_test_gl_context());
    const char* const creatures[] = {"mage_eye", "floating_eye", "minotor", "dragon", "medusa", "mantis", "ogre",
                                     "squeletton_floating", "serpent_fire", "rust_monster", "giant_worm",
                                     "squeletton", "dragon_basilic", "dragon_hydra", "catapult"};
    std::vector<std::pair<int, std::string>> table = {{0, "bmp_floor/brickold2.bmp"}, {1, "bmp_floor/grass1.bmp"},
                                                      {3, "bmp_scr/intro1.bmp"}, {9, "bmp_unit/unit_blood.bmp"},
                                                      {10, "bmp_unit/unit_mage.bmp"}, {90, "bmp_land/mine.bmp"}};
    for (int i = 0; i < 15; ++i) table.push_back({30 + i, std::string("bmp_unit/unit_") + creatures[i] + ".bmp"});
    for (const auto& entry : table) load(make_bmp(entry.first + 4, entry.first + 4), 5, entry.second);
    clear_image_slot(5);
    fs::remove("bmp_unit/unit_ogre.bmp");  // a missing one leaves its slot empty
    load_all_images();
    int filled = 0;
    for (int slot = 0; slot < 2048; ++slot) filled += image_table[slot].pixels != nullptr;
    EXPECT_EQ(filled, 20);
    for (const auto& entry : table)
        if (entry.first != 36) expect_picture(entry.first, entry.first + 4, entry.first + 4);
    for (int entry = 0; entry < 2; ++entry) {
        GLint width = 0;
        glBindTexture(GL_TEXTURE_2D, texture_names[entry]);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, entry + 4);
    }
    glDeleteTextures(texture_name_count, texture_names);
    EXPECT_FALSE(fs::exists("bmp_unit/unit_ogre.bmp"));
}
