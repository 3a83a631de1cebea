// The overlay: clipping, both fonts (checked glyph by glyph against their
// rows written out in hex), lines and see-through pictures.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "render/fonts.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "world/world_arrays.h"

namespace {

using Point = std::pair<int, int>;
using PointSet = std::set<Point>;

// The glyphs as the artist drew them: one hex byte per row from the top,
// bit 7 being the leftmost column.
struct SmallGlyphRows {
    int code;
    int width;
    const char* rows;  // rows 1 to 9
};

struct LargeGlyphRows {
    int code;
    const char* rows;  // rows 1 to 12
};

const SmallGlyphRows small_glyph_rows[] = {
    {32, 2, "000000000000000000"}, {33, 2, "004040404000400000"}, {34, 3, "0000A0A00000000000"},
    {35, 5, "000050F850F8500000"}, {36, 3, "004060804020C04000"}, {37, 3, "000080204080200000"},
    {38, 4, "000040A050A0500000"}, {39, 2, "000000404000000000"}, {40, 2, "000040808080804000"},
    {41, 2, "000080404040408000"}, {42, 5, "000000A870D870A800"}, {43, 3, "00000040E040000000"},
    {44, 2, "000000000000408000"}, {45, 3, "00000000E000000000"}, {46, 3, "000000000000400000"},
    {47, 4, "000000102040800000"}, {48, 3, "000040A0A0A0400000"}, {49, 3, "000040C04040E00000"},
    {50, 3, "000040A02040E00000"}, {51, 3, "0000C020E020C00000"}, {52, 3, "0000A0A06020200000"},
    {53, 3, "0000E080C020E00000"}, {54, 3, "00006080E0A0E00000"}, {55, 3, "0000E0202040400000"},
    {56, 3, "000040A040A0400000"}, {57, 3, "000040A06020200000"}, {58, 1, "000000008000800000"},
    {59, 2, "000000400000408000"}, {60, 3, "000000204080402000"}, {61, 2, "000000C000C0000000"},
    {62, 3, "000000804020408000"}, {63, 3, "0040A0204000400000"}, {64, 7, "000038449AAA944038"},
    {65, 3, "000040A0E0A0A00000"}, {66, 3, "0000C0A0C0A0C00000"}, {67, 3, "000060808080600000"},
    {68, 3, "0000C0A0A0A0C00000"}, {69, 3, "0000E080E080E00000"}, {70, 3, "0000E080E080800000"},
    {71, 3, "00006080A0A0600000"}, {72, 3, "0000A0A0E0A0A00000"}, {73, 3, "0000E0404040E00000"},
    {74, 4, "0000702020A0400000"}, {75, 3, "0000A0A0C0A0A00000"}, {76, 3, "000080808080E00000"},
    {77, 5, "000050F8A8A8A80000"}, {78, 4, "000090D0B090900000"}, {79, 4, "000060909090600000"},
    {80, 3, "0000E0A0E080800000"}, {81, 4, "0000609090B0700000"}, {82, 4, "0000E090E0A0900000"},
    {83, 3, "00006080E020E00000"}, {84, 3, "0000E0404040400000"}, {85, 3, "0000A0A0A0A0E00000"},
    {86, 3, "0000A0A0A040400000"}, {87, 5, "0000A8A8A8F8500000"}, {88, 5, "000088502050880000"},
    {89, 3, "0000A0A0E040400000"}, {90, 4, "0000F01020C0F00000"}, {91, 2, "0000C080808080C000"},
    {92, 2, "000000804020100000"}, {93, 2, "0000C040404040C000"}, {94, 3, "00000040A000000000"},
    {95, 3, "000000000000E00000"}, {97, 4, "0000000060A0500000"}, {98, 3, "00000080C0A0C00000"},
    {99, 3, "000000006080600000"}, {100, 3, "0000002060A0600000"}, {101, 3, "000000004080600000"},
    {102, 2, "0000004080C0808000"}, {103, 3, "0000000040A0602040"}, {104, 3, "00008080C0A0A00000"},
    {105, 1, "000080008080800000"}, {106, 2, "000040004040408000"}, {107, 3, "00000000A0C0A00000"},
    {108, 1, "000080808080800000"}, {109, 5, "00000000D8A8A80000"}, {110, 3, "00000000C0A0A00000"},
    {111, 3, "0000000040A0400000"}, {112, 3, "00000000C0A0C08000"}, {113, 3, "0000000060A0602000"},
    {114, 2, "000000004080800000"}, {115, 3, "000000006040C00000"}, {116, 3, "000040E04040400000"},
    {117, 3, "00000000A0A0E00000"}, {118, 3, "00000000A0A0400000"}, {119, 5, "00000000A8A8500000"},
    {120, 3, "00000000A040A00000"}, {121, 3, "00000000A0A0404000"}, {122, 3, "00000000C040600000"},
};

const LargeGlyphRows large_glyph_rows[] = {
    {32, "000000000000000000000000"}, {33, "003078787830300030300000"}, {34, "00CCCCCC4800000000000000"},
    {35, "006C6CFE6C6C6CFE6C6C0000"}, {36, "30307CC0C0780C0CF8303000"}, {37, "000000C4CC183060CC8C0000"},
    {38, "0070D8D870FADECCDC760000"}, {39, "00606060C000000000000000"}, {40, "00183060C0C0C06030180000"},
    {41, "00C060301818183060C00000"}, {42, "000000663CFF3C6600000000"}, {43, "0000003030FC303000000000"},
    {44, "00000000000000007070C000"}, {45, "0000000000FE000000000000"}, {46, "000000000000000038380000"},
    {47, "000103060C183060C0800000"}, {48, "007CC6CEDED6F6E6C67C0000"}, {49, "001030F03030303030FC0000"},
    {50, "0078CCCC0C183060CCFC0000"}, {51, "0078CC0C0C380C0CCC780000"}, {52, "000C1C3C6CCCFE0C0C1E0000"},
    {53, "00FCC0C0C0F80C0CCC780000"}, {54, "003860C0C0F8CCCCCC780000"}, {55, "00FEC6C6060C183030300000"},
    {56, "0078CCCCCC78DCCCCC780000"}, {57, "0078CCCCCC7C181830700000"}, {58, "000000E0E00000E0E0000000"},
    {59, "000000E0E00000E0E060C000"}, {60, "000C183060C06030180C0000"}, {61, "00000000FC00FC0000000000"},
    {62, "00C06030180C183060C00000"}, {63, "0078CC0C1830300030300000"}, {64, "00007CC6C6DEDEC0C07C0000"},
    {65, "003078CCCCCCFCCCCCCC0000"}, {66, "00FC6666667C666666FC0000"}, {67, "003C66C6C0C0C0C6663C0000"},
    {68, "00F86C66666666666CF80000"}, {69, "00FE6260647C646062FE0000"}, {70, "00FE6662647C646060F00000"},
    {71, "003C66C6C0C0CEC6663E0000"}, {72, "00CCCCCCCCFCCCCCCCCC0000"}, {73, "00F060606060606060F00000"},
    {74, "001E0C0C0C0CCCCC4C780000"}, {75, "00E6666C6C786C6C66E60000"}, {76, "00F060606060626666FE0000"},
    {77, "00C6EEFEFED6C6C6C6C60000"}, {78, "00C6C6E6F6FEDECEC6C60000"}, {79, "00386CC6C6C6C6C66C380000"},
    {80, "00FC6666667C606060F00000"}, {81, "00386CC6C6C6CEDE7C0C1E00"}, {82, "00F86666667C6C6666E60000"},
    {83, "0078CCCCC07018CCCC780000"}, {84, "00FCB4303030303030780000"}, {85, "00CCCCCCCCCCCCCCCC780000"},
    {86, "00CCCCCCCCCCCCCC78300000"}, {87, "00C6C6C6C6D6D66C6C6C0000"}, {88, "00CCCCCC783078CCCCCC0000"},
    {89, "00CCCCCC4C78303030780000"}, {90, "00FECE9818306062C6FE0000"}, {91, "3C30303030303030303C0000"},
    {92, "0080C06030180C0603010000"}, {93, "781818181818181818780000"}, {94, "10386CC60000000000000000"},
    {95, "00000000000000000000FF00"}, {96, "00C0C0600000000000000000"}, {97, "00000000780C7CCCCC760000"},
    {98, "E06060607C66666666DC0000"}, {99, "0000000078CCC0C0CC780000"}, {100, "1C0C0C0C7CCCCCCCCC760000"},
    {101, "0000000078CCFCC0CC780000"}, {102, "00386C6060F8606060F00000"}, {103, "0000000076CCCCCC7C0CCC78"},
    {104, "00E060606C76666666E60000"}, {105, "00303000F030303030FC0000"}, {106, "000C0C003C0C0C0C0CCCCC78"},
    {107, "00E06060666C786C66E60000"}, {108, "00F030303030303030FC0000"}, {109, "00000000FCD6D6D6D6C60000"},
    {110, "00000000F8CCCCCCCCCC0000"}, {111, "0000000038C6C6C6C6380000"}, {112, "00000000DC666666667C60F0"},
    {113, "0000000076CCCCCCCC7C0C1E"}, {114, "00000000EC6E766060F00000"}, {115, "0000000078CC6018CC780000"},
    {116, "002060FC606060606C380000"}, {117, "00000000CCCCCCCCCC760000"}, {118, "00000000CCCCCCCC78300000"},
    {119, "00000000C6C6D6D66C6C0000"}, {120, "00000000C66C38386CC60000"}, {121, "00000000666666663C0C18F0"},
    {122, "00000000FC8C1860C4FC0000"}, {123, "001C303060C06030301C0000"}, {124, "00C0C0C0C000C0C0C0C00000"},
    {125, "00E03030180C183030E00000"}, {126, "73DACE000000000000000000"},
};

int hex_row(const char* rows, int row) {
    return static_cast<int>(std::stoul(std::string(rows + (row - 1) * 2, 2), nullptr, 16));
}

bool bit_set(int byte, int column) { return (byte >> (7 - column)) & 1; }

const uint8_t* overlay_at(int x, int y) { return overlay_pixels + (y * screen_width + x) * 4; }

// Every pixel that something wrote.
PointSet written_pixels() {
    PointSet points;
    for (int y = 0; y < screen_height; ++y)
        for (int x = 0; x < screen_width; ++x)
            if (overlay_at(x, y)[3] != 0) points.insert({x, y});
    return points;
}

class OverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(alloc_world());
        ASSERT_TRUE(alloc_image_table());
        clear_overlay();
    }
    void TearDown() override { free_world(); }

    // A picture given row by row from the bottom.
    void set_picture(int slot, int width, int height, const std::vector<uint8_t>& rgb) {
        ASSERT_EQ(rgb.size(), static_cast<size_t>(width * height * 3));
        clear_image_slot(slot);
        Image& image = image_table[slot];
        image.pixels = static_cast<uint8_t*>(std::malloc(rgb.size()));
        std::memcpy(image.pixels, rgb.data(), rgb.size());
        image.width = width;
        image.height = height;
        image.bytes_per_pixel = 3;
    }
};

}  // namespace

TEST_F(OverlayTest, PutPixelWritesInsideAndDropsEverythingOutside) {
    put_pixel(639, 479, 10, 20, 30);
    const uint8_t* top_right = overlay_pixels + (479 * 640 + 639) * 4;
    EXPECT_EQ(top_right[0], 10);
    EXPECT_EQ(top_right[1], 20);
    EXPECT_EQ(top_right[2], 30);
    EXPECT_EQ(top_right[3], 255);
    put_pixel(0, 0, 1, 2, 3);
    EXPECT_EQ(overlay_pixels[3], 255);

    for (Point outside : {Point{640, 0}, Point{0, 480}, Point{-1, 0}, Point{0, -1}, Point{INT_MIN, INT_MIN},
                          Point{INT_MAX, 5}, Point{5, INT_MAX}})
        put_pixel(outside.first, outside.second, 255, 255, 255);
    EXPECT_EQ(written_pixels(), (PointSet{{0, 0}, {639, 479}}));

    clear_overlay();
    EXPECT_TRUE(written_pixels().empty());
}

TEST_F(OverlayTest, SmallTextPlacesRowsAroundTheBaselineAndAdvancesByWidthPlusOne) {
    format_text("HP");
    draw_text_small(10, 100, 255, 255, 255);
    // H is 3 wide: rows 3 to 7 are A0 A0 E0 A0 A0; P follows at pen 14:
    // E0 A0 E0 80 80. Glyph row r lands at y = 100 - r + 2.
    const PointSet expected = {
        {10, 99}, {12, 99}, {10, 98}, {12, 98}, {10, 97}, {11, 97}, {12, 97}, {10, 96}, {12, 96}, {10, 95}, {12, 95},
        {14, 99}, {15, 99}, {16, 99}, {14, 98}, {16, 98}, {14, 97}, {15, 97}, {16, 97}, {14, 96}, {14, 95},
    };
    EXPECT_EQ(written_pixels(), expected);
    const uint8_t* pixel = overlay_at(10, 99);
    EXPECT_EQ(pixel[0] + pixel[1] + pixel[2], 3 * 255);

    // "HP" is 3 + 1 + 3 + 1 = 8 wide: what follows it starts at 18.
    clear_overlay();
    format_text("HPH");
    draw_text_small(10, 100, 255, 255, 255);
    PointSet third;
    for (Point p : written_pixels())
        if (p.first >= 18) third.insert(p);
    clear_overlay();
    format_text("H");
    draw_text_small(18, 100, 255, 255, 255);
    EXPECT_EQ(third, written_pixels());
}

TEST_F(OverlayTest, LargeTextIsFixedAtEightPixels) {
    const char* text = "Gold:42!";
    format_text("%s", text);
    draw_text(100, 300, 200, 100, 50);
    PointSet whole = written_pixels();
    // The same as each character drawn alone, eight pixels apart.
    clear_overlay();
    for (int i = 0; i < 8; ++i) {
        format_text("%c", text[i]);
        draw_text(100 + 8 * i, 300, 200, 100, 50);
    }
    EXPECT_EQ(whole, written_pixels());

    // After eight characters the pen stands at x + 64.
    clear_overlay();
    format_text("%sH", text);
    draw_text(100, 300, 200, 100, 50);
    PointSet ninth;
    for (Point p : written_pixels())
        if (p.first >= 164) ninth.insert(p);
    // H's rows 1 to 12 are 00 CC CC CC CC FC CC CC CC CC 00 00; row r lands at y - r.
    PointSet expected;
    for (int row = 2; row <= 10; ++row)
        for (int column : {0, 1, 4, 5}) expected.insert({164 + column, 300 - row});
    for (int column : {2, 3}) expected.insert({164 + column, 300 - 6});
    EXPECT_EQ(ninth, expected);
}

TEST_F(OverlayTest, CharactersWithoutAGlyphDrawNothingAndKeepTheSpacing) {
    format_text("`\x7f\xc8");
    draw_text_small(10, 100, 255, 255, 255);
    EXPECT_TRUE(written_pixels().empty());
    format_text("\x7f\xc8\x01");
    draw_text(10, 100, 255, 255, 255);
    EXPECT_TRUE(written_pixels().empty());

    // The small font moves on by its one-column gap, the large one by 8.
    format_text("I`I");
    draw_text_small(10, 100, 255, 255, 255);
    PointSet small_columns;
    for (Point p : written_pixels()) small_columns.insert({p.first, 0});
    EXPECT_EQ(small_columns, (PointSet{{10, 0}, {11, 0}, {12, 0}, {15, 0}, {16, 0}, {17, 0}}));

    clear_overlay();
    format_text("|\x7f|");
    draw_text(10, 100, 255, 255, 255);
    PointSet large_columns;
    for (Point p : written_pixels()) large_columns.insert({p.first, 0});
    EXPECT_EQ(large_columns, (PointSet{{10, 0}, {11, 0}, {26, 0}, {27, 0}}));
}

TEST_F(OverlayTest, FormattingIsBoundedByTheBuffer) {
    format_text("HP%2.0f/%2.0f", 7.0f, 20.0f);
    EXPECT_STREQ(text_buffer, "HP 7/20");
    std::string long_text(1000, 'x');
    format_text("%s", long_text.c_str());
    EXPECT_EQ(std::strlen(text_buffer), static_cast<size_t>(text_buffer_size - 1));
}

TEST_F(OverlayTest, LinesStepTheMinorAxisEarly) {
    draw_line(0, 0, 4, 2, 255, 0, 0);
    EXPECT_EQ(written_pixels(), (PointSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    clear_overlay();
    draw_line(4, 2, 0, 0, 255, 0, 0);
    EXPECT_EQ(written_pixels(), (PointSet{{4, 2}, {3, 2}, {2, 1}, {1, 1}, {0, 0}}));
    clear_overlay();
    draw_line(0, 0, 2, 4, 255, 0, 0);
    EXPECT_EQ(written_pixels(), (PointSet{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}));
    clear_overlay();
    draw_line(7, 9, 7, 9, 255, 0, 0);
    EXPECT_EQ(written_pixels(), (PointSet{{7, 9}}));

    // 21 pixels are put, the ten below the overlay dropped.
    clear_overlay();
    draw_line(5, 10, 5, -10, 255, 0, 0);
    PointSet column;
    for (int y = 0; y <= 10; ++y) column.insert({5, y});
    EXPECT_EQ(written_pixels(), column);

    // Any line inside the overlay puts one pixel per step of its longer axis
    // and ends exactly on its end point.
    std::mt19937 noise(7);
    for (int round = 0; round < 200; ++round) {
        clear_overlay();
        int x1 = noise() % 640, y1 = noise() % 480, x2 = noise() % 640, y2 = noise() % 480;
        draw_line(x1, y1, x2, y2, 1, 1, 1);
        PointSet line = written_pixels();
        const size_t steps = static_cast<size_t>(std::max(std::abs(x2 - x1), std::abs(y2 - y1)));
        ASSERT_EQ(line.size(), steps + 1) << x1 << "," << y1 << " to " << x2 << "," << y2;
        ASSERT_TRUE(line.count({x2, y2}));
    }
}

TEST_F(OverlayTest, PicturesSkipKeyColourAndBlack) {
    // Bottom row: red, key colour, black, almost the key colour.
    // Top rows: green, blue, white, grey.
    std::vector<uint8_t> rgb = {
        255, 0, 0,   255, 0, 246,   0, 0, 0,   255, 0, 245,
        0, 255, 0,   0, 0, 255,     255, 255, 255,   128, 128, 128,
    };
    for (int row = 2; row < 4; ++row)
        for (int column = 0; column < 4; ++column) rgb.insert(rgb.end(), {9, 9, static_cast<uint8_t>(row * 4 + column)});
    set_picture(9, 4, 4, rgb);
    put_pixel(101, 50, 1, 2, 3);  // under the key-coloured pixel: stays as it was
    draw_image(100, 50, 9);

    EXPECT_EQ(overlay_at(100, 50)[0], 255);
    EXPECT_EQ(overlay_at(101, 50)[0], 1);
    EXPECT_EQ(overlay_at(101, 50)[2], 3);
    EXPECT_EQ(overlay_at(102, 50)[3], 0);  // black: still transparent
    EXPECT_EQ(overlay_at(103, 50)[2], 245);
    EXPECT_EQ(overlay_at(100, 51)[1], 255);  // the second picture row lands one up
    EXPECT_EQ(overlay_at(103, 53)[2], 15);
    // Fourteen drawn, and the one that was there under the key colour.
    EXPECT_EQ(written_pixels().size(), 15u);

    // An empty slot, and slots outside the table, draw nothing.
    clear_overlay();
    draw_image(0, 0, 2);
    draw_image(0, 0, -1);
    draw_image(0, 0, 2048);
    EXPECT_TRUE(written_pixels().empty());

    // Reaching past the overlay's corner is clipped.
    draw_image(638, 478, 9);
    EXPECT_EQ(written_pixels(), (PointSet{{638, 478}, {638, 479}, {639, 479}}));
}

TEST_F(OverlayTest, PicturesThatAreNotSquareStayInsideTheirRows) {
    // Wider than tall: the side is the width, but only the rows that exist are drawn.
    std::vector<uint8_t> wide(6 * 2 * 3, 200);
    set_picture(10, 6, 2, wide);
    draw_image(20, 20, 10);
    PointSet expected;
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 6; ++column) expected.insert({20 + column, 20 + row});
    EXPECT_EQ(written_pixels(), expected);

    // Taller than wide: a square of the width.
    clear_overlay();
    std::vector<uint8_t> tall(2 * 5 * 3, 200);
    set_picture(11, 2, 5, tall);
    draw_image(20, 20, 11);
    EXPECT_EQ(written_pixels(), (PointSet{{20, 20}, {21, 20}, {20, 21}, {21, 21}}));
}

TEST_F(OverlayTest, SmallFontTextsMatchTheirGlyphs) {
    for (const SmallGlyphRows& glyph : small_glyph_rows) {
        SCOPED_TRACE(::testing::Message() << "code " << glyph.code);
        const std::string text = small_font[glyph.code];
        ASSERT_EQ(text.size(), glyph.code == 32 ? 80u : 88u);
        ASSERT_EQ(text.find_first_not_of("01", 2), std::string::npos);
        EXPECT_EQ(text[0], '0' + glyph.width);
        EXPECT_EQ(text[1], glyph.code == 95 ? '7' : '8');
        EXPECT_EQ(text.substr(2, 6), "000000");
        for (int row = 1; row <= 9; ++row) {
            const int byte = hex_row(glyph.rows, row);
            for (int column = 0; column < 8; ++column)
                ASSERT_EQ(text[row * 8 + column] == '1', bit_set(byte, column)) << "row " << row << " column " << column;
        }
        // Row 10 is never drawn; only y keeps a pixel there.
        if (glyph.code != 32) {
            EXPECT_EQ(text.substr(80, 8), glyph.code == 121 ? "10000000" : "00000000");
        }

        // Drawn, only rows 1 to 9 and columns inside the width show.
        clear_overlay();
        format_text("%c", glyph.code);
        draw_text_small(50, 200, 255, 255, 255);
        PointSet expected;
        for (int row = 1; row <= 9; ++row)
            for (int column = 0; column < glyph.width; ++column)
                if (bit_set(hex_row(glyph.rows, row), column)) expected.insert({50 + column, 200 - row + 2});
        EXPECT_EQ(written_pixels(), expected);
    }
    // Every other code is no glyph.
    for (int code = 0; code < small_font_size; ++code) {
        if ((code >= 32 && code <= 95) || (code >= 97 && code <= 122)) continue;
        EXPECT_LT(std::strlen(small_font[code]), 80u) << code;
    }
}

TEST_F(OverlayTest, LargeFontTextsMatchTheirGlyphs) {
    for (const LargeGlyphRows& glyph : large_glyph_rows) {
        SCOPED_TRACE(::testing::Message() << "code " << glyph.code);
        ASSERT_NE(large_font[glyph.code], nullptr);
        const std::string text = large_font[glyph.code];
        ASSERT_EQ(text.size(), 130u);
        ASSERT_EQ(text.find_first_not_of("01"), std::string::npos);
        EXPECT_EQ(text.substr(0, 10), "0000000000");
        for (int row = 1; row <= 12; ++row) {
            const int byte = hex_row(glyph.rows, row);
            for (int column = 0; column < 8; ++column)
                ASSERT_EQ(text[row * 10 + column] == '1', bit_set(byte, column)) << "row " << row << " column " << column;
            EXPECT_EQ(text.substr(row * 10 + 8, 2), "00");
        }

        clear_overlay();
        format_text("%c", glyph.code);
        draw_text(50, 200, 255, 255, 255);
        PointSet expected;
        for (int row = 1; row <= 12; ++row)
            for (int column = 0; column < 8; ++column)
                if (bit_set(hex_row(glyph.rows, row), column)) expected.insert({50 + column, 200 - row});
        EXPECT_EQ(written_pixels(), expected);
    }
    for (int code = 0; code < large_font_size; ++code)
        if (code < 32 || code > 126) {
            EXPECT_EQ(large_font[code], nullptr) << code;
        }
}
