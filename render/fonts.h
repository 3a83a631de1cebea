// The overlay's two bitmap fonts, kept as glyph texts of '0' and '1' and
// read character by character when text is drawn.
#pragma once

// Proportional, up to 7 pixels wide. A glyph text is 11 rows of 8 characters:
// row 0 holds the width digit and a height digit, rows 1 to 10 the pixels
// from the top (code 32 has only 10 rows). Codes 32-95 and 97-122 have glyphs;
// the other entries hold texts too short to be one.
constexpr int small_font_size = 128;
constexpr int small_font_row_length = 8;
extern const char* const small_font[small_font_size];

// Fixed, 8 pixels wide. A glyph text is 13 rows of 10 characters: row 0
// empty, rows 1 to 12 the pixels from the top. Codes 32-126 have glyphs;
// every other entry is null.
constexpr int large_font_size = 256;
constexpr int large_font_row_length = 10;
extern const char* const large_font[large_font_size];
