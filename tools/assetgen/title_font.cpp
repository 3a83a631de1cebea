#include "tools/assetgen/title_font.h"

#include "tools/assetgen/source_text.h"

bool load_title_font(const std::string& path, TitleFont* font, std::string* error) {
    std::vector<SourceLine> lines;
    if (!read_source_lines(path, &lines, error)) return false;
    *font = TitleFont();
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        std::vector<std::string> words = split_words(lines[i].text);
        if (words.empty()) continue;
        if (words[0] != "height" || words.size() != 2 || !parse_int_in(words[1], 1, 64, &font->height)) {
            *error = source_error(path, lines[i].number, "the font must start with 'height N' (N from 1 to 64)");
            return false;
        }
        ++i;
        break;
    }
    if (font->height == 0) {
        *error = path + ": no 'height' line";
        return false;
    }
    while (i < lines.size()) {
        std::vector<std::string> words = split_words(lines[i].text);
        if (words.empty()) {
            ++i;
            continue;
        }
        int at = lines[i].number;
        if (words[0] != "glyph" || words.size() != 2 || (words[1].size() != 1 && words[1] != "space")) {
            *error = source_error(path, at, "expected 'glyph C' with one character C (or the word space)");
            return false;
        }
        unsigned char c = words[1] == "space" ? ' ' : static_cast<unsigned char>(words[1][0]);
        if (c >= 128) {
            *error = source_error(path, at, "glyphs are plain ASCII characters");
            return false;
        }
        Glyph& glyph = font->glyphs[c];
        if (glyph.defined) {
            *error = source_error(path, at, std::string("glyph '") + static_cast<char>(c) + "' is defined twice");
            return false;
        }
        ++i;
        for (int row = 0; row < font->height; ++row, ++i) {
            if (i >= lines.size()) {
                *error = source_error(path, at, "glyph has fewer than " + std::to_string(font->height) + " rows");
                return false;
            }
            std::string text = trim_text(lines[i].text);
            if (text.empty() || text.find_first_not_of("#.") != std::string::npos) {
                *error = source_error(path, lines[i].number, "a glyph row is made of '#' and '.' only");
                return false;
            }
            if (row > 0 && static_cast<int>(text.size()) != glyph.width) {
                *error = source_error(path, lines[i].number,
                                      "row is " + std::to_string(text.size()) + " wide, the glyph's first row " +
                                          std::to_string(glyph.width));
                return false;
            }
            glyph.width = static_cast<int>(text.size());
            glyph.rows.push_back(text);
        }
        glyph.defined = true;
    }
    return true;
}

int measure_text(const TitleFont& font, const std::string& text, char* missing) {
    int width = 0;
    for (size_t k = 0; k < text.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(text[k]);
        if (c >= 128 || !font.glyphs[c].defined) {
            *missing = text[k];
            return -1;
        }
        width += font.glyphs[c].width + (k > 0 ? 1 : 0);
    }
    return width;
}
