// The lettering used for titles in picture sources: one glyph per character,
// drawn in a text file as rows of '#' (ink) and '.' (paper).
#pragma once

#include <string>
#include <vector>

struct Glyph {
    bool defined = false;
    int width = 0;
    std::vector<std::string> rows;  // height rows of width characters
};

struct TitleFont {
    int height = 0;
    Glyph glyphs[128];
};

// Reads a font file: a "height N" line, then for each character a
// "glyph C" line (C one character, or the word space) and N rows.
bool load_title_font(const std::string& path, TitleFont* font, std::string* error);
// Width in font pixels of a text, one blank column between letters; -1 and
// the offending character in *missing when a character has no glyph.
int measure_text(const TitleFont& font, const std::string& text, char* missing);
