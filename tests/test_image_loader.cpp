// Reading pictures into image slots: the accepted files, the refused ones,
// the start-up table, and that nothing on disk is ever created or changed.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <set>
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

// A recognisable colour per pixel, (0, 0) bottom-left, in a bottom-up file
// as paint programs write it: rows padded with non-zero filler to four
// bytes, junk between the 54-byte header and the pixel offset.
uint8_t channel(int x, int y, int c) { return static_cast<uint8_t>(c == 0 ? x * 7 + 1 : c == 1 ? y * 11 + 2 : x + y * 3 + 5); }

std::vector<uint8_t> make_bmp(int width, int height, uint32_t offset = 54) {
    const size_t stride = (width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(offset + stride * height, 0xEE);
    std::fill(bytes.begin(), bytes.begin() + 54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(bytes, 10, offset);
    put(bytes, 18, width);
    put(bytes, 22, height);
    put(bytes, 26, 1, 2);
    put(bytes, 28, 24, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) bytes[offset + stride * y + x * 3 + 2 - c] = channel(x, y, c);
    return bytes;
}

void expect_picture(int slot, int width, int height) {
    const Image& image = image_table[slot];
    ASSERT_NE(image.pixels, nullptr);
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(image.pixels[(y * width + x) * 3 + c], channel(x, y, c)) << x << "," << y;
}

class ImageLoader : public ::testing::Test {
protected:
    std::string folder;
    char previous[PATH_MAX];
    void SetUp() override {
        ASSERT_TRUE(alloc_image_table());
        data_files_search_beside_executable(false);  // the real pictures lie beside the tests
        char name[] = "/tmp/varnhold_images_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(name), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous), 0);
        std::error_code ignored;
        fs::permissions(folder + "/bmp_unit", fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
        release_image_table();
        data_files_search_beside_executable(true);
    }
    static const char* write(const std::string& path, const std::vector<uint8_t>& bytes) {
        static std::string written;
        written = path;
        if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return written.c_str();
    }
};

}  // namespace

TEST_F(ImageLoader, PaddedRowsAndLongerHeadersLoadBottomRowFirstInRedGreenBlue) {
    for (int width : {1, 2, 3, 4, 5})
        for (uint32_t offset : {54u, 138u}) {
            ASSERT_TRUE(load_image(write("a.bmp", make_bmp(width, 3, offset)), 30));
            expect_picture(30, width, 3);
        }
    for (int side : {1, 4096}) {  // the largest sides taken
        ASSERT_TRUE(load_image(write("a.bmp", make_bmp(side, 4097 - side)), 30));
        expect_picture(30, side, 4097 - side);
    }
    std::vector<uint8_t> bytes = make_bmp(5, 3);
    bytes.pop_back();  // the last row's padding is never read
    ASSERT_TRUE(load_image(write("a.bmp", bytes), 30));
    expect_picture(30, 5, 3);
}

TEST_F(ImageLoader, RefusedHeadersLeaveTheSlotAsItWasAndShortPixelsLeaveItEmpty) {
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
        int size;
    } spoilt[] = {
        {"32 bits", 28, 32, 2},        {"bit count 0x118", 28, 0x118, 2}, {"not BM", 1, 'A', 1},
        {"width 0", 18, 0, 4},         {"width 4097", 18, 4097, 4},       {"negative width", 18, 0x80000000u, 4},
        {"top-down", 22, 0xFFFFFFC0u, 4}, {"height 0", 22, 0, 4},         {"height 4097", 22, 4097, 4},
        {"offset 14", 10, 14, 4},      {"offset past the end", 10, 54 + 16 * 16 * 3 + 1, 4},
    };
    ASSERT_TRUE(load_image(write("good.bmp", make_bmp(4, 4)), 3));
    for (const auto& s : spoilt) {
        std::vector<uint8_t> bytes = make_bmp(16, 16);
        put(bytes, s.at, s.value, s.size);
        EXPECT_FALSE(load_image(write("bad.bmp", bytes), 3)) << s.what;
        expect_picture(3, 4, 4);
    }
    const std::vector<uint8_t> good = make_bmp(4, 4);
    for (size_t length : {0, 53}) {
        EXPECT_FALSE(load_image(write("bad.bmp", std::vector<uint8_t>(good.begin(), good.begin() + length)), 3));
        expect_picture(3, 4, 4);
    }
    EXPECT_FALSE(load_image("good.bmp", -1));
    EXPECT_FALSE(load_image("good.bmp", 2048));
    for (size_t cut : {1, 16 * 16 * 3}) {
        std::vector<uint8_t> bytes = make_bmp(16, 16);
        bytes.resize(bytes.size() - cut);
        EXPECT_FALSE(load_image(write("short.bmp", bytes), 3));
        EXPECT_EQ(image_table[3].pixels, nullptr);
        EXPECT_EQ(image_table[3].width, 0);
        ASSERT_TRUE(load_image("good.bmp", 3));
    }
}


TEST_F(ImageLoader, ReadOnlyFilesLoadAndMissingOnesCreateNothing) {
    write("bmp_unit/unit_mage.bmp", make_bmp(12, 12));
    ASSERT_EQ(chmod("bmp_unit/unit_mage.bmp", 0444), 0);
    ASSERT_EQ(chmod("bmp_unit", 0555), 0);
    ASSERT_TRUE(load_image("bmp_unit/unit_mage.bmp", 10));
    expect_picture(10, 12, 12);
    EXPECT_FALSE(load_image("bmp_unit/unit_ogre.bmp", 10));
    EXPECT_FALSE(load_image("bmp_land/mine.bmp", 90));
    expect_picture(10, 12, 12);
    EXPECT_FALSE(fs::exists("bmp_land"));
    EXPECT_FALSE(fs::exists("bmp_unit/unit_ogre.bmp"));
}

// Every file of the start-up table gets a side of its own, so each slot shows which file it got.
TEST_F(ImageLoader, StartUpFillsTheSlotsOfItsTableAndUploadsTheTerrainPictures) {
    ASSERT_TRUE(open_test_gl_context());
    const char* const creatures[] = {"mage_eye", "floating_eye", "minotor", "dragon", "medusa", "mantis", "ogre",
                                     "squeletton_floating", "serpent_fire", "rust_monster", "giant_worm",
                                     "squeletton", "dragon_basilic", "dragon_hydra", "catapult"};
    std::vector<std::pair<int, std::string>> table = {{0, "bmp_floor/brickold2.bmp"}, {1, "bmp_floor/grass1.bmp"},
                                                      {3, "bmp_scr/intro1.bmp"}, {9, "bmp_unit/unit_blood.bmp"},
                                                      {10, "bmp_unit/unit_mage.bmp"}, {90, "bmp_land/mine.bmp"}};
    for (int i = 0; i < 15; ++i) table.push_back({30 + i, std::string("bmp_unit/unit_") + creatures[i] + ".bmp"});
    for (const auto& entry : table) write(entry.second, make_bmp(entry.first + 4, entry.first + 4));
    fs::remove("bmp_unit/unit_ogre.bmp");  // a missing one leaves its slot empty
    load_all_images();
    std::set<int> filled;
    for (const auto& entry : table) {
        if (entry.first == 36) continue;
        SCOPED_TRACE(entry.second);
        expect_picture(entry.first, entry.first + 4, entry.first + 4);
        filled.insert(entry.first);
    }
    for (int slot = 0; slot < 2048; ++slot)
        if (!filled.count(slot)) ASSERT_EQ(image_table[slot].pixels, nullptr) << slot;
    for (int entry = 0; entry < 2; ++entry) {
        GLint width = 0;
        glBindTexture(GL_TEXTURE_2D, texture_names[entry]);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, entry + 4);
    }
    glDeleteTextures(texture_name_count, texture_names);
    EXPECT_FALSE(fs::exists("bmp_unit/unit_ogre.bmp"));
}
