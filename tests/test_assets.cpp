// The pictures and the sound the build generates beside the game, read back
// the way the game reads them, and the generator's refusal of bad sources.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "render/image_loader.h"
#include "render/image_table.h"

#ifndef VARNHOLD_ASSETGEN
#define VARNHOLD_ASSETGEN "tools/assetgen/varnhold_assetgen"
#endif

namespace {

struct PictureFile {
    const char* path;
    int slot;
    int side;
};

const PictureFile picture_files[] = {
    {"bmp_floor/brickold2.bmp", 0, 64},
    {"bmp_floor/grass1.bmp", 1, 64},
    {"bmp_scr/intro1.bmp", 3, 240},
    {"bmp_unit/unit_blood.bmp", 9, 16},
    {"bmp_unit/unit_mage.bmp", 10, 16},
    {"bmp_unit/unit_mage_eye.bmp", 30, 16},
    {"bmp_unit/unit_floating_eye.bmp", 31, 16},
    {"bmp_unit/unit_minotor.bmp", 32, 16},
    {"bmp_unit/unit_dragon.bmp", 33, 16},
    {"bmp_unit/unit_medusa.bmp", 34, 16},
    {"bmp_unit/unit_mantis.bmp", 35, 16},
    {"bmp_unit/unit_ogre.bmp", 36, 16},
    {"bmp_unit/unit_squeletton_floating.bmp", 37, 16},
    {"bmp_unit/unit_serpent_fire.bmp", 38, 16},
    {"bmp_unit/unit_rust_monster.bmp", 39, 16},
    {"bmp_unit/unit_giant_worm.bmp", 40, 16},
    {"bmp_unit/unit_squeletton.bmp", 41, 16},
    {"bmp_unit/unit_dragon_basilic.bmp", 42, 16},
    {"bmp_unit/unit_dragon_hydra.bmp", 43, 16},
    {"bmp_unit/unit_catapult.bmp", 44, 16},
    {"bmp_land/mine.bmp", 90, 16},
};

// Every picture drawn as a unit: the leaders, the fifteen creatures, the
// mine and the blood of the fallen.
const int unit_slots[] = {9, 10, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 90};

const uint8_t* pixel_at(const Image& image, int x, int row) {
    return image.pixels + (static_cast<size_t>(row) * image.width + x) * 3;
}

bool is_black_pixel(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

int coloured_pixel_count(const Image& image) {
    int count = 0;
    for (int row = 0; row < image.height; ++row)
        for (int x = 0; x < image.width; ++x) count += is_black_pixel(pixel_at(image, x, row)) ? 0 : 1;
    return count;
}

class GeneratedPictures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(alloc_image_table());
        for (const PictureFile& file : picture_files) loaded.push_back(load_image(file.path, file.slot));
    }
    void TearDown() override { release_image_table(); }
    std::vector<bool> loaded;
};

TEST_F(GeneratedPictures, EveryFileLoadsIntoItsSlotAtItsSize) {
    for (size_t i = 0; i < std::size(picture_files); ++i) {
        const PictureFile& file = picture_files[i];
        SCOPED_TRACE(file.path);
        ASSERT_TRUE(loaded[i]);
        const Image& image = image_table[file.slot];
        EXPECT_NE(image.pixels, nullptr);
        EXPECT_EQ(image.width, file.side);
        EXPECT_EQ(image.height, file.side);
        EXPECT_EQ(image.bytes_per_pixel, 3);
    }
}

TEST_F(GeneratedPictures, NoPictureUsesTheOverlayKeyColour) {
    for (const PictureFile& file : picture_files) {
        SCOPED_TRACE(file.path);
        const Image& image = image_table[file.slot];
        ASSERT_NE(image.pixels, nullptr);
        int keyed = 0;
        for (int row = 0; row < image.height; ++row)
            for (int x = 0; x < image.width; ++x) {
                const uint8_t* p = pixel_at(image, x, row);
                keyed += p[0] == 255 && p[1] == 0 && p[2] == 246;
            }
        EXPECT_EQ(keyed, 0);
    }
}

TEST_F(GeneratedPictures, UnitPicturesAreVisibleAndAllDifferent) {
    for (int slot : unit_slots) {
        SCOPED_TRACE(slot);
        ASSERT_NE(image_table[slot].pixels, nullptr);
        EXPECT_GE(coloured_pixel_count(image_table[slot]), 40);
    }
    // Telling units apart starts with their outlines: any two pictures differ
    // in where they are drawn at all, not only in their colours.
    for (size_t a = 0; a < std::size(unit_slots); ++a)
        for (size_t b = a + 1; b < std::size(unit_slots); ++b) {
            const Image& first = image_table[unit_slots[a]];
            const Image& second = image_table[unit_slots[b]];
            SCOPED_TRACE(testing::Message() << "slots " << unit_slots[a] << " and " << unit_slots[b]);
            ASSERT_EQ(first.width, second.width);
            int outline_differences = 0;
            for (int row = 0; row < first.height; ++row)
                for (int x = 0; x < first.width; ++x)
                    outline_differences +=
                        is_black_pixel(pixel_at(first, x, row)) != is_black_pixel(pixel_at(second, x, row));
            EXPECT_GE(outline_differences, 20);
        }
}

// Mean colour difference between the averages of the n lines before line k
// and the n lines from line k on, lines wrapping around the picture. Lines
// are columns when across_columns is set, else rows.
double step_across(const Image& image, bool across_columns, int k, int n) {
    const int side = image.width;
    double total = 0;
    for (int i = 0; i < side; ++i)
        for (int channel = 0; channel < 3; ++channel) {
            double before = 0, after = 0;
            for (int j = 0; j < n; ++j) {
                int line_before = ((k - 1 - j) % side + side) % side;
                int line_after = (k + j) % side;
                before += across_columns ? pixel_at(image, line_before, i)[channel] : pixel_at(image, i, line_before)[channel];
                after += across_columns ? pixel_at(image, line_after, i)[channel] : pixel_at(image, i, line_after)[channel];
            }
            total += std::fabs(before - after) / n;
        }
    return total / (side * 3);
}

TEST_F(GeneratedPictures, TerrainTexturesTileWithoutSeams) {
    for (int slot : {0, 1}) {
        const Image& image = image_table[slot];
        ASSERT_NE(image.pixels, nullptr);
        // GL 1.1 takes only power-of-two textures.
        EXPECT_EQ(image.width & (image.width - 1), 0);
        EXPECT_EQ(coloured_pixel_count(image), image.width * image.height);
        for (bool across_columns : {true, false})
            // Pixel to pixel, and broad patches eight lines wide.
            for (int n : {1, 8}) {
                SCOPED_TRACE(testing::Message() << "slot " << slot << (across_columns ? " columns" : " rows")
                                                << " width " << n);
                double seam = step_across(image, across_columns, 0, n);
                double roughest_inside = 0;
                for (int k = 1; k < image.width; ++k)
                    roughest_inside = std::fmax(roughest_inside, step_across(image, across_columns, k, n));
                EXPECT_LE(seam, roughest_inside);
            }
    }
}

TEST_F(GeneratedPictures, IntroIsMostlyClearAndLeavesTheEndLinesReadable) {
    const Image& intro = image_table[3];
    ASSERT_NE(intro.pixels, nullptr);
    int coloured = coloured_pixel_count(intro);
    EXPECT_GE(coloured, 4000);
    EXPECT_LE(coloured, intro.width * intro.height / 3);
    // Drawn at overlay (200, 200), the picture's lowest 90 rows lie over
    // the end-of-game lines, whose letters hang below y 260 and 280; they
    // must stay transparent.
    for (int row = 0; row < 90; ++row)
        for (int x = 0; x < intro.width; ++x) ASSERT_TRUE(is_black_pixel(pixel_at(intro, x, row))) << x << "," << row;
}

std::vector<uint8_t> read_file_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t u16_at(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

double rms_of(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / (to - from));
}

TEST(GeneratedSound, ExplosionIsAShortFadingMonoPcmWave) {
    std::vector<uint8_t> bytes = read_file_bytes("sound/explosion3b.wav");
    ASSERT_GE(bytes.size(), 44u);
    ASSERT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    ASSERT_EQ(std::memcmp(bytes.data() + 8, "WAVE", 4), 0);
    EXPECT_EQ(u32_at(bytes, 4), bytes.size() - 8);
    bool has_format = false;
    uint32_t rate = 0;
    std::vector<int16_t> samples;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t size = u32_at(bytes, at + 4);
        ASSERT_LE(at + 8 + size, bytes.size());
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0) {
            ASSERT_GE(size, 16u);
            EXPECT_EQ(u16_at(bytes, at + 8), 1);   // PCM
            EXPECT_EQ(u16_at(bytes, at + 10), 1);  // mono
            rate = u32_at(bytes, at + 12);
            EXPECT_EQ(u16_at(bytes, at + 20), 2);   // bytes per frame
            EXPECT_EQ(u16_at(bytes, at + 22), 16);  // bits per sample
            has_format = true;
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            for (uint32_t i = 0; i + 1 < size; i += 2)
                samples.push_back(static_cast<int16_t>(u16_at(bytes, at + 8 + i)));
        }
        at += 8 + size + (size & 1);
    }
    ASSERT_TRUE(has_format);
    EXPECT_TRUE(rate == 22050 || rate == 44100) << rate;
    ASSERT_GT(rate, 0u);
    double seconds = static_cast<double>(samples.size()) / rate;
    EXPECT_GE(seconds, 0.3);
    EXPECT_LE(seconds, 2.0);
    ASSERT_GE(samples.size(), 100u);
    // Loud at the blast, and dying away: the last tenth is far quieter.
    size_t tenth = samples.size() / 10;
    double first = rms_of(samples, 0, tenth);
    double last = rms_of(samples, samples.size() - tenth, samples.size());
    EXPECT_GT(first, 3000.0);
    EXPECT_GT(first, 4 * last);
}

// Runs the generator on a source written to a scratch folder and gives its
// exit status and what it printed.
struct GeneratorRun {
    int status;
    std::string message;
    bool output_written;
};

GeneratorRun run_generator(const char* mode, const std::string& name, const std::string& source,
                           const std::string& output_name) {
    std::filesystem::path folder = std::filesystem::current_path() / "assetgen_test";
    std::filesystem::create_directories(folder);
    std::filesystem::path source_path = folder / name;
    std::filesystem::path output_path = folder / output_name;
    std::filesystem::path message_path = folder / (name + ".err");
    std::filesystem::remove(output_path);
    std::ofstream(source_path, std::ios::binary) << source;
    std::string command = std::string("'") + VARNHOLD_ASSETGEN + "' " + mode + " '" + source_path.string() + "' '" +
                          output_path.string() + "' 2> '" + message_path.string() + "'";
    int raw = std::system(command.c_str());
    GeneratorRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream message_file(message_path);
    std::stringstream message;
    message << message_file.rdbuf();
    run.message = message.str();
    run.output_written = std::filesystem::exists(output_path);
    return run;
}

const char* const small_picture =
    "# four by four, to check the generator itself\n"
    "size 4 4\n"
    "colour . 0 0 0\n"
    "colour r 200 10 20\n"
    "colour g 30 180 40\n"
    "grid\n"
    "r...\n"
    "....\n"
    "....\n"
    "...g\n"
    "end\n";

std::string with_row(int row, const std::string& text) {
    std::string source = small_picture;
    size_t at = source.find("grid\n") + 5;
    for (int i = 0; i < row; ++i) at = source.find('\n', at) + 1;
    size_t end = source.find('\n', at);
    return source.substr(0, at) + text + source.substr(end);
}

TEST(PictureGenerator, DrawsAWellFormedSourceTopRowFirst) {
    GeneratorRun run = run_generator("picture", "small.txt", small_picture, "small.bmp");
    ASSERT_EQ(run.status, 0) << run.message;
    ASSERT_TRUE(alloc_image_table());
    ASSERT_TRUE(load_image("assetgen_test/small.bmp", 5));
    const Image& image = image_table[5];
    ASSERT_EQ(image.width, 4);
    // The slot keeps the bottom row first: the grid's last row, whose last
    // pixel is green, and at the top the red first pixel of the first row.
    const uint8_t* green = pixel_at(image, 3, 0);
    const uint8_t* red = pixel_at(image, 0, 3);
    EXPECT_EQ(green[0], 30);
    EXPECT_EQ(green[1], 180);
    EXPECT_EQ(green[2], 40);
    EXPECT_EQ(red[0], 200);
    EXPECT_EQ(red[1], 10);
    EXPECT_EQ(red[2], 20);
    EXPECT_EQ(coloured_pixel_count(image), 2);
    release_image_table();
}

TEST(PictureGenerator, RefusesMalformedSourcesNamingFileAndLine) {
    struct BadSource {
        const char* name;
        std::string text;
        const char* where;  // "file:line:" expected in the message
    };
    const BadSource bad_sources[] = {
        {"long_row.txt", with_row(1, "....."), "long_row.txt:8:"},
        {"short_row.txt", with_row(2, "..."), "short_row.txt:9:"},
        {"unknown_colour.txt", with_row(3, "..x."), "unknown_colour.txt:10:"},
        {"missing_row.txt", "size 4 4\ncolour . 0 0 0\ngrid\n....\n....\n....\nend\n", "missing_row.txt:3:"},
        {"no_end.txt", "size 4 4\ncolour . 0 0 0\ngrid\n....\n", "no_end.txt:3:"},
        {"bad_number.txt", "size 4 4\ncolour r 300 0 0\n", "bad_number.txt:2:"},
        {"key_colour.txt", "size 4 4\ncolour k 255 0 246\n", "key_colour.txt:2:"},
        {"odd_width.txt", "size 6 6\n", "odd_width.txt:1:"},
        {"unknown_word.txt", "size 4 4\nsplash r 1 1\n", "unknown_word.txt:2:"},
        {"untiled_bricks.txt", "size 64 64\nwrap on\ncolour b 150 70 50\nbricks b 8 12 1 0 1\n",
         "untiled_bricks.txt:4:"},
    };
    for (const BadSource& bad : bad_sources) {
        SCOPED_TRACE(bad.name);
        GeneratorRun run = run_generator("picture", bad.name, bad.text, "bad.bmp");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.message.find(bad.where), std::string::npos) << run.message;
        EXPECT_FALSE(run.output_written);
    }
}

const char* const small_sound =
    "rate 22050\n"
    "seconds 0.5\n"
    "seed 3\n"
    "attack 0.003\n"
    "crack_level 0.5\n"
    "crack_decay 0.03\n"
    "noise_level 1\n"
    "noise_decay 0.2\n"
    "noise_cutoff_start 4000\n"
    "noise_cutoff_end 250\n"
    "rumble_level 0.8\n"
    "rumble_start 70\n"
    "rumble_end 30\n"
    "rumble_decay 0.4\n"
    "fade 0.05\n";

std::string with_setting(const std::string& name, const std::string& line) {
    std::string source = small_sound;
    size_t at = source.find(name + " ");
    size_t end = source.find('\n', at);
    return source.substr(0, at) + line + source.substr(end);
}

TEST(SoundGenerator, SynthesisesTheSameSoundEveryTime) {
    GeneratorRun first = run_generator("sound", "small_sound.txt", small_sound, "first.wav");
    ASSERT_EQ(first.status, 0) << first.message;
    GeneratorRun second = run_generator("sound", "small_sound.txt", small_sound, "second.wav");
    ASSERT_EQ(second.status, 0) << second.message;
    std::vector<uint8_t> a = read_file_bytes("assetgen_test/first.wav");
    EXPECT_EQ(a.size(), 44u + 2u * 11025u);
    EXPECT_EQ(a, read_file_bytes("assetgen_test/second.wav"));
}

TEST(SoundGenerator, RefusesSettingsOutsideTheirLimits) {
    struct BadSource {
        const char* name;
        std::string text;
        const char* where;
    };
    const BadSource bad_sources[] = {
        {"too_long.txt", with_setting("seconds", "seconds 3"), "too_long.txt:2:"},
        {"odd_rate.txt", with_setting("rate", "rate 30000"), "odd_rate.txt:1:"},
        {"not_a_number.txt", with_setting("seed", "seed three"), "not_a_number.txt:3:"},
        {"unknown.txt", std::string(small_sound) + "echo 2\n", "unknown.txt:16:"},
        {"twice.txt", std::string(small_sound) + "fade 0.1\n", "twice.txt:16:"},
        {"missing.txt", with_setting("fade", "# no fade given"), "'fade' is missing"},
    };
    for (const BadSource& bad : bad_sources) {
        SCOPED_TRACE(bad.name);
        GeneratorRun run = run_generator("sound", bad.name, bad.text, "bad.wav");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.message.find(bad.where), std::string::npos) << run.message;
        EXPECT_FALSE(run.output_written);
    }
}

}  // namespace
