// Reading pictures into image slots: the accepted files and the refused
// ones. The start-up table is the generated assets' test to check.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "render/image_loader.h"
#include "render/image_table.h"
#include "tests/support/bmp_file.h"

namespace {

namespace fs = std::filesystem;

void expect_picture(int slot, int width, int height) {
    const Image& image = image_table[slot];
    ASSERT_NE(image.pixels, nullptr) << "pixels";
    ASSERT_EQ(image.width, width) << "width";
    ASSERT_EQ(image.height, height) << "height";
    for (int i = 0; i < width * height * 3; ++i)
        ASSERT_EQ(image.pixels[i], bmp_channel(i / 3 % width, i / 3 / width, i % 3)) << "channel " << i % 3 << " of pixel " << i / 3 % width << "," << i / 3 / width;
}

// Each test process writes its pictures into a file of its own.
class ImageLoader : public ::testing::Test {
protected:
    const std::string path = fs::temp_directory_path() / ("varnhold_image_" + std::to_string(getpid()) + ".bmp");
    void SetUp() override { ASSERT_TRUE(alloc_image_table()); }
    void TearDown() override {
        fs::remove(path);
        release_image_table();
    }
    bool load(const std::vector<uint8_t>& bytes, int slot) const {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return load_image(path.c_str(), slot);
    }
};

}  // namespace

TEST_F(ImageLoader, PaddedRowsAndLongerHeadersLoadBottomRowFirstInRedGreenBlue) {
    for (int width : {1, 2, 3, 4, 5})
        for (uint32_t offset : {54u, 138u}) {
            ASSERT_TRUE(load(make_bmp(width, 3, offset), 30)) << "load of width " << width << " at offset " << offset;
            expect_picture(30, width, 3);
        }
    for (int side : {1, 4096}) {  // the largest sides taken
        ASSERT_TRUE(load(make_bmp(side, 4097 - side), 30)) << "load of side " << side;
        expect_picture(30, side, 4097 - side);
    }
    std::vector<uint8_t> bytes = make_bmp(5, 3);
    bytes.pop_back();  // the last row's padding is never read
    ASSERT_TRUE(load(bytes, 30)) << "load";
    expect_picture(30, 5, 3);
}

TEST_F(ImageLoader, RefusedHeadersLeaveTheSlotAsItWasAndShortPixelsLeaveItEmpty) {
    // Where, what and how many bytes: 32 bits a pixel, a bit count whose low
    // byte reads 24, not "BM", widths 0, 4097 and negative, top-down, heights
    // 0 and 4097, offsets inside the header and past the end.
    const uint32_t spoilt[][3] = {{28, 32, 2},   {28, 0x118, 2},   {1, 'A', 1},          {18, 0, 4},
                                  {18, 4097, 4}, {18, 1u << 31, 4}, {22, 0xFFFFFFC0u, 4}, {22, 0, 4},
                                  {22, 4097, 4}, {10, 14, 4},       {10, 54 + 16 * 16 * 3 + 1, 4}};
    const std::vector<uint8_t> good = make_bmp(4, 4);
    ASSERT_TRUE(load(good, 3)) << "load of the good picture";
    for (const auto& s : spoilt) {
        std::vector<uint8_t> bytes = make_bmp(16, 16);
        put_le(bytes, s[0], s[1], static_cast<int>(s[2]));
        EXPECT_FALSE(load(bytes, 3)) << "load with byte " << s[0] << " set to " << s[1];
        expect_picture(3, 4, 4);
    }
    for (size_t length : {0, 53}) {
        EXPECT_FALSE(load(std::vector<uint8_t>(good.begin(), good.begin() + length), 3)) << "load of the first " << length << " bytes";
        expect_picture(3, 4, 4);
    }
    EXPECT_FALSE(load(good, -1)) << "slot -1";
    EXPECT_FALSE(load(good, 2048)) << "slot 2048";
    for (size_t cut : {1, 16 * 16 * 3}) {
        std::vector<uint8_t> bytes = make_bmp(16, 16);
        bytes.resize(bytes.size() - cut);
        EXPECT_FALSE(load(bytes, 3)) << "load of a file " << cut << " bytes short";
        EXPECT_EQ(image_table[3].pixels, nullptr) << "pixels of the slot after a short file";
        EXPECT_EQ(image_table[3].width, 0) << "width of the slot after a short file";
        ASSERT_TRUE(load(good, 3)) << "load of the good picture";
    }
}
