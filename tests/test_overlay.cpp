// The overlay: clipping, where both fonts put their rows and how far they
// advance, lines, and see-through pictures.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "render/image_table.h"
#include "render/overlay.h"
#include "tests/support/world_fixture.h"
#include "world/world_arrays.h"

namespace {

using Points = std::set<std::pair<int, int>>;

Points written() {
    Points points;
    for (int i = 0; i < screen_width * screen_height; ++i)
        if (overlay_pixels[i * 4 + 3]) points.insert({i % screen_width, i / screen_width});
    return points;
}

const uint8_t* at(int x, int y) { return overlay_pixels + (y * screen_width + x) * 4; }

class Overlay : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_TRUE(alloc_image_table());
    }
    static void draw(const char* text, void (*writer)(int, int, uint8_t, uint8_t, uint8_t), int x, int y) {
        clear_overlay();
        format_text("%s", text);
        writer(x, y, 255, 255, 255);
    }
    static void set_picture(int slot, int width, int height, const std::vector<uint8_t>& rgb) {
        Image& image = image_table[slot];
        image.pixels = static_cast<uint8_t*>(std::malloc(rgb.size()));
        std::memcpy(image.pixels, rgb.data(), rgb.size());
        image.width = width;
        image.height = height;
    }
};

}  // namespace

TEST_F(Overlay, PutPixelWritesInsideOnlyAndClearEmpties) {
    put_pixel(639, 479, 10, 20, 30);
    const char* const channels[4] = {"red", "green", "blue", "alpha"};
    const int written_pixel[4] = {10, 20, 30, 255};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(at(639, 479)[k], written_pixel[k]) << channels[k];
    put_pixel(0, 0, 1, 2, 3);
    for (auto p : Points{{640, 0}, {0, 480}, {-1, 0}, {0, -1}, {INT_MIN, INT_MIN}, {INT_MAX, 5}})
        put_pixel(p.first, p.second, 9, 9, 9);
    EXPECT_EQ(written(), (Points{{0, 0}, {639, 479}})) << "pixels written";
    clear_overlay();
    EXPECT_TRUE(written().empty()) << "pixels left after clearing";
}

// Small glyph row r lands at y - r + 2 and the pen moves on by the width
// plus one; large glyph row r lands at y - r and the pen moves on by 8.
TEST_F(Overlay, BothFontsPlaceTheirRowsAndAdvanceAsTheGameShowsThem) {
    draw("HP", draw_text_small, 10, 100);
    EXPECT_EQ(written(), (Points{{10, 99}, {12, 99}, {10, 98}, {12, 98}, {10, 97}, {11, 97}, {12, 97}, {10, 96},
                                 {12, 96}, {10, 95}, {12, 95}, {14, 99}, {15, 99}, {16, 99}, {14, 98}, {16, 98},
                                 {14, 97}, {15, 97}, {16, 97}, {14, 96}, {14, 95}}));
    draw("I`I", draw_text_small, 10, 100);  // a code without a glyph takes only the gap
    Points columns;
    for (auto p : written()) columns.insert({p.first, 0});
    EXPECT_EQ(columns, (Points{{10, 0}, {11, 0}, {12, 0}, {15, 0}, {16, 0}, {17, 0}})) << "columns written";
    draw("|\x7fH", draw_text, 100, 300);
    // '|' rows 2 to 5 and 7 to 10 in columns 0 and 1; H rows 2 to 10 in
    // columns 0, 1, 4 and 5 with its bar in row 6; nothing for 0x7f.
    Points expected = {{118, 294}, {119, 294}};
    for (int row = 2; row <= 10; ++row)
        for (int column : {0, 1, 4, 5}) {
            expected.insert({116 + column, 300 - row});
            if (row != 6 && column < 2) expected.insert({100 + column, 300 - row});
        }
    EXPECT_EQ(written(), expected) << "pixels of the large text";
}

TEST_F(Overlay, FormattingIsBoundedByTheBuffer) {
    format_text("%s", std::string(1000, 'x').c_str());
    EXPECT_EQ(std::strlen(text_buffer), static_cast<size_t>(text_buffer_size - 1)) << "length of the text cut at the buffer";
}

TEST_F(Overlay, LinesStepTheMinorAxisEarlyAndEndOnTheirEndPoint) {
    const struct {
        int x1, y1, x2, y2;
        Points points;
    } lines[] = {{0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
                 {4, 2, 0, 0, {{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}},
                 {0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}},
                 {7, 9, 7, 9, {{7, 9}}},
                 {5, 2, 5, -10, {{5, 0}, {5, 1}, {5, 2}}}};
    for (const auto& line : lines) {
        clear_overlay();
        draw_line(line.x1, line.y1, line.x2, line.y2, 255, 0, 0);
        EXPECT_EQ(written(), line.points) << "pixels of the line " << line.x1 << "," << line.y1 << " to " << line.x2 << "," << line.y2;
    }
}

TEST_F(Overlay, PicturesSkipKeyColourAndBlackAndStayInsideTheirRows) {
    // Bottom row: red, key colour, black, almost the key colour; then green,
    // blue, white, grey; two more rows of dark blues.
    std::vector<uint8_t> rgb = {255, 0, 0, 255, 0, 246, 0, 0, 0, 255, 0, 245,
                                0, 255, 0, 0, 0, 255, 255, 255, 255, 128, 128, 128};
    for (int i = 8; i < 16; ++i) rgb.insert(rgb.end(), {9, 9, static_cast<uint8_t>(i)});
    set_picture(9, 4, 4, rgb);
    put_pixel(101, 50, 1, 2, 3);
    draw_image(100, 50, 9);
    EXPECT_EQ(at(100, 50)[0], 255) << "red of the red pixel";
    EXPECT_EQ(at(101, 50)[2], 3) << "blue under the key colour: what was there";
    EXPECT_EQ(at(102, 50)[3], 0) << "alpha under black: see-through";
    EXPECT_EQ(at(103, 50)[2], 245) << "blue of the almost key colour";
    EXPECT_EQ(at(100, 51)[1], 255) << "green of the second row's first pixel";
    EXPECT_EQ(at(103, 53)[2], 15) << "blue of the top row's last pixel";
    EXPECT_EQ(written().size(), 15u) << "pixels written";
    clear_overlay();
    for (int slot : {2, -1, 2048}) draw_image(0, 0, slot);
    draw_image(638, 478, 9);
    EXPECT_EQ(written(), (Points{{638, 478}, {638, 479}, {639, 479}})) << "pixels written at the corner";
    // Wider than tall: only its rows; taller than wide: a square of the width.
    clear_overlay();
    set_picture(10, 3, 1, std::vector<uint8_t>(9, 200));
    set_picture(11, 1, 3, std::vector<uint8_t>(9, 200));
    draw_image(20, 20, 10);
    draw_image(30, 30, 11);
    EXPECT_EQ(written(), (Points{{20, 20}, {21, 20}, {22, 20}, {30, 30}})) << "pixels of the narrow pictures";
}
