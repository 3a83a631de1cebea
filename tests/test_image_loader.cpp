// Reading pictures into image slots: the accepted files, the refused ones,
// and that nothing on disk is ever created or changed.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/common/data_files.h"
#include "render/image_loader.h"
#include "render/image_table.h"
#include "tests/support/gl_context.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
    uint8_t red, green, blue;
};

// A recognisable colour per pixel; (0, 0) is the picture's bottom-left.
Rgb pattern(int x, int y) {
    return {static_cast<uint8_t>(x * 7 + 1), static_cast<uint8_t>(y * 11 + 2), static_cast<uint8_t>((x + y) * 3 + 5)};
}

void put_u32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void put_u16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A bottom-up 24-bit file as a paint program writes it: rows padded to four
// bytes (with non-zero filler, so unskipped padding shows), and any header
// bytes between 54 and the pixel offset filled with junk.
std::vector<uint8_t> make_bmp(int width, int height, uint32_t offset = 54) {
    const size_t row_bytes = static_cast<size_t>(width) * 3;
    const size_t stride = (row_bytes + 3) / 4 * 4;
    std::vector<uint8_t> bytes(offset + stride * height, 0xA5);
    std::fill(bytes.begin(), bytes.begin() + 54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put_u32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    put_u32(bytes, 10, offset);
    put_u32(bytes, 14, offset == 54 ? 40 : offset - 14);
    put_u32(bytes, 18, static_cast<uint32_t>(width));
    put_u32(bytes, 22, static_cast<uint32_t>(height));
    put_u16(bytes, 26, 1);
    put_u16(bytes, 28, 24);
    put_u32(bytes, 34, static_cast<uint32_t>(stride * height));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes.data() + offset + stride * y;
        for (int x = 0; x < width; ++x) {
            Rgb c = pattern(x, y);
            row[x * 3 + 0] = c.blue;
            row[x * 3 + 1] = c.green;
            row[x * 3 + 2] = c.red;
        }
        for (size_t pad = row_bytes; pad < stride; ++pad) row[pad] = 0xEE;
    }
    return bytes;
}

void expect_pattern(int slot, int width, int height) {
    const Image& image = image_table[slot];
    ASSERT_NE(image.pixels, nullptr);
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    ASSERT_EQ(image.bytes_per_pixel, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = image.pixels + (y * width + x) * 3;
            Rgb c = pattern(x, y);
            ASSERT_EQ(p[0], c.red) << x << "," << y;
            ASSERT_EQ(p[1], c.green) << x << "," << y;
            ASSERT_EQ(p[2], c.blue) << x << "," << y;
        }
}

void expect_empty(int slot) {
    const Image& image = image_table[slot];
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
}

class ImageLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(alloc_image_table());
        // The build puts the real pictures beside the test executables; these
        // tests work in a folder of their own and must not find those.
        data_files_search_beside_executable(false);
        char pattern_path[] = "/tmp/varnhold_images_XXXXXX";
        ASSERT_NE(mkdtemp(pattern_path), nullptr);
        folder = pattern_path;
        ASSERT_NE(getcwd(previous_directory, sizeof previous_directory), nullptr);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(previous_directory), 0);
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
        release_image_table();
        data_files_search_beside_executable(true);
    }

    std::string write_file(const std::string& name, const std::vector<uint8_t>& bytes) {
        fs::path path = fs::path(folder) / name;
        fs::create_directories(path.parent_path());
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (!file) return path;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    std::string folder;
    char previous_directory[PATH_MAX];
};

}  // namespace

TEST_F(ImageLoaderTest, SquarePictureLoadsBottomRowFirstInRedGreenBlue) {
    std::vector<uint8_t> bytes = make_bmp(64, 64);
    ASSERT_TRUE(load_image(write_file("grass.bmp", bytes).c_str(), 1));
    expect_pattern(1, 64, 64);
    // The first stored pixel is the bottom-left one, red first.
    const uint8_t* first = image_table[1].pixels;
    EXPECT_EQ(first[0], 1);
    EXPECT_EQ(first[1], 2);
    EXPECT_EQ(first[2], 5);
    // Byte for byte what a straight read of 12288 bytes at 54 with blue and
    // red swapped gives, for a width that needs no padding.
    std::vector<uint8_t> straight(bytes.begin() + 54, bytes.begin() + 54 + 12288);
    for (size_t i = 0; i < straight.size(); i += 3) std::swap(straight[i], straight[i + 2]);
    EXPECT_EQ(std::memcmp(image_table[1].pixels, straight.data(), straight.size()), 0);
}

TEST_F(ImageLoaderTest, PaddedRowsAndLongerHeadersAreHonoured) {
    // Each width needs a different amount of padding; 138 bytes is the header
    // that current paint programs write.
    for (int width : {1, 2, 3, 5, 6, 7}) {
        for (uint32_t offset : {54u, 138u}) {
            SCOPED_TRACE(::testing::Message() << "width " << width << " offset " << offset);
            std::string path = write_file("odd.bmp", make_bmp(width, 3, offset));
            ASSERT_TRUE(load_image(path.c_str(), 30));
            expect_pattern(30, width, 3);
        }
    }
    // The last row's padding is never read, so a file without it still loads.
    std::vector<uint8_t> bytes = make_bmp(5, 3, 138);
    bytes.pop_back();
    ASSERT_TRUE(load_image(write_file("trimmed.bmp", bytes).c_str(), 31));
    expect_pattern(31, 5, 3);
}

TEST_F(ImageLoaderTest, ReloadOfAnotherSizeKeepsOnlyTheNewPicture) {
    ASSERT_TRUE(load_image(write_file("big.bmp", make_bmp(64, 64)).c_str(), 10));
    ASSERT_TRUE(load_image(write_file("small.bmp", make_bmp(8, 4)).c_str(), 10));
    expect_pattern(10, 8, 4);
}

TEST_F(ImageLoaderTest, RefusedHeadersLeaveTheSlotAsItWas) {
    ASSERT_TRUE(load_image(write_file("good.bmp", make_bmp(4, 4)).c_str(), 3));
    const uint8_t* kept = image_table[3].pixels;

    struct Hostile {
        const char* what;
        void (*spoil)(std::vector<uint8_t>&);
    };
    const Hostile cases[] = {
        {"32 bits per pixel", [](std::vector<uint8_t>& b) { put_u16(b, 28, 32); }},
        {"bit-count word with a high byte", [](std::vector<uint8_t>& b) { put_u16(b, 28, 0x0118); }},
        {"not a BMP", [](std::vector<uint8_t>& b) { b[1] = 'A'; }},
        {"zero width", [](std::vector<uint8_t>& b) { put_u32(b, 18, 0); }},
        {"width over 4096", [](std::vector<uint8_t>& b) { put_u32(b, 18, 4097); }},
        {"huge width", [](std::vector<uint8_t>& b) { put_u32(b, 18, 0x7FFFFFFF); }},
        {"width with the sign bit", [](std::vector<uint8_t>& b) { put_u32(b, 18, 0x80000000u); }},
        {"top-down (negative height)", [](std::vector<uint8_t>& b) { put_u32(b, 22, static_cast<uint32_t>(-64)); }},
        {"zero height", [](std::vector<uint8_t>& b) { put_u32(b, 22, 0); }},
        {"huge height", [](std::vector<uint8_t>& b) { put_u32(b, 22, 0x40000000u); }},
        {"offset inside the header", [](std::vector<uint8_t>& b) { put_u32(b, 10, 14); }},
        {"offset past the end", [](std::vector<uint8_t>& b) { put_u32(b, 10, 0xFFFFFFF0u); }},
        {"offset just past the end", [](std::vector<uint8_t>& b) { put_u32(b, 10, static_cast<uint32_t>(b.size() + 1)); }},
        {"header cut short", [](std::vector<uint8_t>& b) { b.resize(53); }},
        {"empty file", [](std::vector<uint8_t>& b) { b.clear(); }},
    };
    for (const Hostile& hostile : cases) {
        SCOPED_TRACE(hostile.what);
        std::vector<uint8_t> bytes = make_bmp(16, 16);
        hostile.spoil(bytes);
        EXPECT_FALSE(load_image(write_file("hostile.bmp", bytes).c_str(), 3));
        EXPECT_EQ(image_table[3].pixels, kept);
        expect_pattern(3, 4, 4);
    }

    // Slots outside the table are refused too.
    std::string good = write_file("good.bmp", make_bmp(4, 4));
    EXPECT_FALSE(load_image(good.c_str(), -1));
    EXPECT_FALSE(load_image(good.c_str(), 2048));
}

TEST_F(ImageLoaderTest, PixelsCutShortLeaveTheSlotEmpty) {
    for (uint32_t offset : {54u, 138u}) {
        SCOPED_TRACE(::testing::Message() << "offset " << offset);
        ASSERT_TRUE(load_image(write_file("good.bmp", make_bmp(8, 8)).c_str(), 9));
        std::vector<uint8_t> bytes = make_bmp(16, 16, offset);
        bytes.resize(bytes.size() - 1);
        EXPECT_FALSE(load_image(write_file("short.bmp", bytes).c_str(), 9));
        expect_empty(9);
        // Pixel data that never begins: the offset is the file's end.
        ASSERT_TRUE(load_image(write_file("good.bmp", make_bmp(8, 8)).c_str(), 9));
        bytes.resize(offset);
        EXPECT_FALSE(load_image(write_file("short.bmp", bytes).c_str(), 9));
        expect_empty(9);
    }
}

TEST_F(ImageLoaderTest, MissingPictureCreatesNothing) {
    ASSERT_TRUE(load_image(write_file("good.bmp", make_bmp(4, 4)).c_str(), 32));
    std::string missing = folder + "/missing.bmp";
    EXPECT_FALSE(load_image(missing.c_str(), 32));
    EXPECT_FALSE(fs::exists(missing));
    expect_pattern(32, 4, 4);

    // Relative paths are looked up from the working directory; neither the
    // file nor its folder appear.
    ASSERT_EQ(chdir(folder.c_str()), 0);
    EXPECT_FALSE(load_image("bmp_unit/unit_ogre.bmp", 36));
    EXPECT_FALSE(load_image("unit_ogre.bmp", 36));
    EXPECT_FALSE(fs::exists(fs::path(folder) / "bmp_unit"));
    EXPECT_FALSE(fs::exists(fs::path(folder) / "unit_ogre.bmp"));
    expect_empty(36);
}

TEST_F(ImageLoaderTest, ReadOnlyInstallLoadsFromTheWorkingDirectory) {
    std::string path = write_file("bmp_unit/unit_mage.bmp", make_bmp(12, 12));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod((folder + "/bmp_unit").c_str(), 0555), 0);
    struct stat before;
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    ASSERT_EQ(chdir(folder.c_str()), 0);
    ASSERT_TRUE(load_image("bmp_unit/unit_mage.bmp", 10));
    expect_pattern(10, 12, 12);

    struct stat after;
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtime, before.st_mtime);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

TEST_F(ImageLoaderTest, DamagedFilesNeverBreakTheLoader) {
    // Random damage to the header and length of a good file: each load either
    // succeeds with a picture that fits its file, or fails cleanly.
    std::mt19937 noise(20240611);
    const std::vector<uint8_t> good = make_bmp(8, 8);
    std::string path = folder + "/damaged.bmp";
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> bytes = good;
        const int damage = 1 + static_cast<int>(noise() % 6);
        for (int d = 0; d < damage; ++d) bytes[10 + noise() % 20] = static_cast<uint8_t>(noise());
        if (noise() % 3 == 0) bytes.resize(noise() % bytes.size());
        write_file("damaged.bmp", bytes);
        if (load_image(path.c_str(), 40)) {
            const Image& image = image_table[40];
            ASSERT_NE(image.pixels, nullptr);
            ASSERT_GT(image.width, 0);
            ASSERT_GT(image.height, 0);
            ASSERT_LE(static_cast<size_t>(image.width) * image.height * 3, bytes.size());
        }
    }
}

namespace {

struct StartPicture {
    int slot;
    const char* path;
};

const StartPicture start_pictures[] = {
    {0, "bmp_floor/brickold2.bmp"},
    {1, "bmp_floor/grass1.bmp"},
    {3, "bmp_scr/intro1.bmp"},
    {9, "bmp_unit/unit_blood.bmp"},
    {10, "bmp_unit/unit_mage.bmp"},
    {30, "bmp_unit/unit_mage_eye.bmp"},
    {31, "bmp_unit/unit_floating_eye.bmp"},
    {32, "bmp_unit/unit_minotor.bmp"},
    {33, "bmp_unit/unit_dragon.bmp"},
    {34, "bmp_unit/unit_medusa.bmp"},
    {35, "bmp_unit/unit_mantis.bmp"},
    {36, "bmp_unit/unit_ogre.bmp"},
    {37, "bmp_unit/unit_squeletton_floating.bmp"},
    {38, "bmp_unit/unit_serpent_fire.bmp"},
    {39, "bmp_unit/unit_rust_monster.bmp"},
    {40, "bmp_unit/unit_giant_worm.bmp"},
    {41, "bmp_unit/unit_squeletton.bmp"},
    {42, "bmp_unit/unit_dragon_basilic.bmp"},
    {43, "bmp_unit/unit_dragon_hydra.bmp"},
    {44, "bmp_unit/unit_catapult.bmp"},
    {90, "bmp_land/mine.bmp"},
};

// A side of its own for every picture, so each slot shows which file it got.
int side_of(int index) { return index < 2 ? 8 << index : 4 + index; }

}  // namespace

TEST_F(ImageLoaderTest, StartUpFillsEverySlotOfTheLoadTableAndUploadsTheTerrainPictures) {
    ASSERT_TRUE(open_test_gl_context());
    const int count = static_cast<int>(sizeof start_pictures / sizeof start_pictures[0]);
    ASSERT_EQ(count, 21);
    for (int i = 0; i < count; ++i) {
        const int side = side_of(i);
        write_file(start_pictures[i].path, make_bmp(side, side));
    }
    ASSERT_EQ(chdir(folder.c_str()), 0);
    load_all_images();

    std::set<int> filled;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(start_pictures[i].path);
        expect_pattern(start_pictures[i].slot, side_of(i), side_of(i));
        filled.insert(start_pictures[i].slot);
    }
    for (int slot = 0; slot < 2048; ++slot)
        if (!filled.count(slot)) {
            ASSERT_EQ(image_table[slot].pixels, nullptr) << slot;
        }

    for (int entry = 0; entry < 2; ++entry) {
        GLint width = 0;
        glBindTexture(GL_TEXTURE_2D, texture_names[entry]);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, side_of(entry)) << "texture " << entry;
    }
    glDeleteTextures(texture_name_count, texture_names);
}

TEST_F(ImageLoaderTest, StartUpWithMissingPicturesGoesOnAndWritesNothing) {
    ASSERT_TRUE(open_test_gl_context());
    write_file("bmp_land/mine.bmp", make_bmp(16, 16));
    write_file("bmp_floor/grass1.bmp", make_bmp(8, 8));
    ASSERT_EQ(chdir(folder.c_str()), 0);
    load_all_images();
    expect_pattern(90, 16, 16);
    expect_pattern(1, 8, 8);
    expect_empty(0);
    expect_empty(10);

    std::set<std::string> on_disk;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        on_disk.insert(fs::relative(entry.path(), folder).string());
    EXPECT_EQ(on_disk, (std::set<std::string>{"bmp_land", "bmp_land/mine.bmp", "bmp_floor", "bmp_floor/grass1.bmp"}));
    glDeleteTextures(texture_name_count, texture_names);
}
