#include "tools/assetgen/picture_source.h"

#include <vector>

#include "tools/assetgen/source_text.h"
#include "tools/assetgen/title_font.h"

namespace {

// The largest picture side the game's loader takes.
constexpr int largest_side = 4096;
// Coordinates may reach a little past the picture (shapes are clipped there).
constexpr int coordinate_limit = 2 * largest_side;

struct Palette {
    bool defined[128] = {};
    Rgb colour[128] = {};
};

struct SourceState {
    std::string path;
    std::string folder;  // the source's folder, for the font file
    std::vector<SourceLine> lines;
    size_t next = 0;  // index of the next line to read
    Palette palette;
    TitleFont font;
    bool has_font = false;
    bool has_size = false;
    Canvas* canvas = nullptr;
    std::string* error = nullptr;
    int line = 0;  // number of the line being read
};

bool fail(SourceState* s, const std::string& message) {
    *s->error = source_error(s->path, s->line, message);
    return false;
}

bool want_words(SourceState* s, const std::vector<std::string>& words, size_t count, const char* form) {
    if (words.size() == count) return true;
    return fail(s, std::string("expected '") + form + "'");
}

bool read_int(SourceState* s, const std::string& word, int low, int high, const char* what, int* value) {
    if (parse_int_in(word, low, high, value)) return true;
    return fail(s, std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
                       std::to_string(high) + ", not '" + word + "'");
}

bool read_coordinate(SourceState* s, const std::string& word, const char* what, int* value) {
    return read_int(s, word, -coordinate_limit, coordinate_limit, what, value);
}

bool read_colour(SourceState* s, const std::string& word, Rgb* colour) {
    unsigned char c = word.size() == 1 ? static_cast<unsigned char>(word[0]) : 0;
    if (c == 0 || c >= 128 || !s->palette.defined[c])
        return fail(s, "unknown colour character '" + word + "' (define it with a 'colour' line first)");
    *colour = s->palette.colour[c];
    return true;
}

bool need_size(SourceState* s) {
    if (s->has_size) return true;
    return fail(s, "drawing before the 'size' line");
}

bool read_size(SourceState* s, const std::vector<std::string>& words) {
    if (!want_words(s, words, 3, "size WIDTH HEIGHT")) return false;
    if (s->has_size) return fail(s, "the size is given twice");
    int width = 0, height = 0;
    if (!read_int(s, words[1], 4, largest_side, "the width", &width)) return false;
    if (!read_int(s, words[2], 4, largest_side, "the height", &height)) return false;
    // The game takes a picture's side from its width and reads rows without
    // padding, so pictures are square and a multiple of 4 wide.
    if (width != height) return fail(s, "pictures are square: width and height must be equal");
    if (width % 4 != 0) return fail(s, "the width must be a multiple of 4");
    canvas_start(s->canvas, width, height);
    s->has_size = true;
    return true;
}

bool read_palette_entry(SourceState* s, const std::vector<std::string>& words) {
    if (!want_words(s, words, 5, "colour C RED GREEN BLUE")) return false;
    const std::string& name = words[1];
    unsigned char c = name.size() == 1 ? static_cast<unsigned char>(name[0]) : 0;
    if (c < 33 || c > 126) return fail(s, "a colour is named by one visible character, not '" + name + "'");
    if (s->palette.defined[c]) return fail(s, "colour '" + name + "' is defined twice");
    int r = 0, g = 0, b = 0;
    if (!read_int(s, words[2], 0, 255, "red", &r) || !read_int(s, words[3], 0, 255, "green", &g) ||
        !read_int(s, words[4], 0, 255, "blue", &b))
        return false;
    // The overlay skips this colour as well as black: it would draw nothing.
    if (r == 255 && g == 0 && b == 246) return fail(s, "255 0 246 is the transparent key colour; pick another");
    s->palette.defined[c] = true;
    s->palette.colour[c] = Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
    return true;
}

bool read_wrap(SourceState* s, const std::vector<std::string>& words) {
    if (!want_words(s, words, 2, "wrap on|off") || !need_size(s)) return false;
    if (words[1] != "on" && words[1] != "off") return fail(s, "expected 'wrap on' or 'wrap off'");
    s->canvas->wrap = words[1] == "on";
    return true;
}

bool read_font(SourceState* s, const std::vector<std::string>& words) {
    if (!want_words(s, words, 2, "font FILE")) return false;
    std::string font_error;
    if (!load_title_font(s->folder + words[1], &s->font, &font_error)) return fail(s, "font: " + font_error);
    s->has_font = true;
    return true;
}

bool read_fill(SourceState* s, const std::vector<std::string>& words) {
    Rgb colour;
    if (!want_words(s, words, 2, "fill C") || !need_size(s) || !read_colour(s, words[1], &colour)) return false;
    fill_canvas(s->canvas, colour);
    return true;
}

bool read_rect(SourceState* s, const std::vector<std::string>& words) {
    Rgb colour;
    int x, y, w, h;
    if (!want_words(s, words, 6, "rect C X Y WIDTH HEIGHT") || !need_size(s) || !read_colour(s, words[1], &colour) ||
        !read_coordinate(s, words[2], "x", &x) || !read_coordinate(s, words[3], "y", &y) ||
        !read_int(s, words[4], 0, largest_side, "the width", &w) ||
        !read_int(s, words[5], 0, largest_side, "the height", &h))
        return false;
    draw_rect(s->canvas, colour, x, y, w, h);
    return true;
}

bool read_disc(SourceState* s, const std::vector<std::string>& words) {
    Rgb colour;
    int x, y, r;
    if (!want_words(s, words, 5, "disc C X Y RADIUS") || !need_size(s) || !read_colour(s, words[1], &colour) ||
        !read_coordinate(s, words[2], "x", &x) || !read_coordinate(s, words[3], "y", &y) ||
        !read_int(s, words[4], 0, largest_side, "the radius", &r))
        return false;
    draw_disc(s->canvas, colour, x, y, r);
    return true;
}

bool read_line_command(SourceState* s, const std::vector<std::string>& words) {
    Rgb colour;
    int x0, y0, x1, y1, w;
    if (!want_words(s, words, 7, "line C X0 Y0 X1 Y1 WIDTH") || !need_size(s) ||
        !read_colour(s, words[1], &colour) || !read_coordinate(s, words[2], "x0", &x0) ||
        !read_coordinate(s, words[3], "y0", &y0) || !read_coordinate(s, words[4], "x1", &x1) ||
        !read_coordinate(s, words[5], "y1", &y1) || !read_int(s, words[6], 1, 256, "the width", &w))
        return false;
    draw_line(s->canvas, colour, x0, y0, x1, y1, w);
    return true;
}

bool read_polygon(SourceState* s, const std::vector<std::string>& words) {
    constexpr int most_points = 64;
    if (!need_size(s)) return false;
    if (words.size() < 8 || words.size() % 2 != 0 || words.size() > 2 + 2 * most_points)
        return fail(s, "expected 'polygon C X1 Y1 X2 Y2 X3 Y3 ...' with 3 to 64 points");
    Rgb colour;
    if (!read_colour(s, words[1], &colour)) return false;
    int xs[most_points], ys[most_points];
    int count = static_cast<int>(words.size() - 2) / 2;
    for (int i = 0; i < count; ++i)
        if (!read_coordinate(s, words[2 + 2 * i], "x", &xs[i]) || !read_coordinate(s, words[3 + 2 * i], "y", &ys[i]))
            return false;
    draw_polygon(s->canvas, colour, xs, ys, count);
    return true;
}

bool read_outline(SourceState* s, const std::vector<std::string>& words) {
    Rgb colour;
    int thickness;
    if (!want_words(s, words, 3, "outline C THICKNESS") || !need_size(s) || !read_colour(s, words[1], &colour) ||
        !read_int(s, words[2], 1, 16, "the thickness", &thickness))
        return false;
    if (is_black(colour)) return fail(s, "an outline in black would be transparent");
    draw_outline(s->canvas, colour, thickness);
    return true;
}

// Courses and lengths that leave a whole number of bricks around a wrapping
// picture, so that the pattern meets itself at the edges.
bool check_brick_sizes(SourceState* s, int course, int length, int mortar) {
    if (mortar >= course || mortar >= length) return fail(s, "the mortar must be thinner than a brick");
    if (length % 2 != 0) return fail(s, "the brick length must be even (every other course is shifted by half)");
    if (s->canvas->wrap && (s->canvas->width % length != 0 || s->canvas->height % (2 * course) != 0))
        return fail(s, "bricks would not tile: the width must be a multiple of the length and the height of twice the course");
    return true;
}

bool read_bricks(SourceState* s, const std::vector<std::string>& words) {
    Rgb colour;
    int course, length, mortar, vary, seed;
    if (!want_words(s, words, 7, "bricks C COURSE LENGTH MORTAR VARY SEED") || !need_size(s) ||
        !read_colour(s, words[1], &colour) || !read_int(s, words[2], 2, 1024, "the course height", &course) ||
        !read_int(s, words[3], 2, 1024, "the brick length", &length) ||
        !read_int(s, words[4], 0, 64, "the mortar width", &mortar) ||
        !read_int(s, words[5], 0, 128, "the shade variation", &vary) ||
        !read_int(s, words[6], 0, 1000000, "the seed", &seed) || !check_brick_sizes(s, course, length, mortar))
        return false;
    lay_bricks(s->canvas, colour, course, length, mortar, vary, seed);
    return true;
}

bool read_bevel(SourceState* s, const std::vector<std::string>& words) {
    int course, length, mortar, amount;
    if (!want_words(s, words, 5, "bevel COURSE LENGTH MORTAR AMOUNT") || !need_size(s) ||
        !read_int(s, words[1], 2, 1024, "the course height", &course) ||
        !read_int(s, words[2], 2, 1024, "the brick length", &length) ||
        !read_int(s, words[3], 0, 64, "the mortar width", &mortar) ||
        !read_int(s, words[4], 0, 128, "the amount", &amount) || !check_brick_sizes(s, course, length, mortar))
        return false;
    bevel_bricks(s->canvas, course, length, mortar, amount);
    return true;
}

bool read_mottle(SourceState* s, const std::vector<std::string>& words) {
    int amount, cell, seed;
    if (!want_words(s, words, 4, "mottle AMOUNT CELL SEED") || !need_size(s) ||
        !read_int(s, words[1], 0, 128, "the amount", &amount) ||
        !read_int(s, words[2], 1, largest_side, "the cell size", &cell) ||
        !read_int(s, words[3], 0, 1000000, "the seed", &seed))
        return false;
    if (s->canvas->width % cell != 0 || s->canvas->height % cell != 0)
        return fail(s, "the cell size must divide the picture's side, or the patches would not tile");
    add_mottle(s->canvas, amount, cell, seed);
    return true;
}

bool read_speckle(SourceState* s, const std::vector<std::string>& words) {
    int amount, seed;
    if (!want_words(s, words, 3, "speckle AMOUNT SEED") || !need_size(s) ||
        !read_int(s, words[1], 0, 128, "the amount", &amount) || !read_int(s, words[2], 0, 1000000, "the seed", &seed))
        return false;
    add_speckle(s->canvas, amount, seed);
    return true;
}

bool read_blades(SourceState* s, const std::vector<std::string>& words) {
    Rgb colour;
    int count, length, seed;
    if (!want_words(s, words, 5, "blades C COUNT LENGTH SEED") || !need_size(s) ||
        !read_colour(s, words[1], &colour) || !read_int(s, words[2], 0, 100000, "the count", &count) ||
        !read_int(s, words[3], 1, 64, "the length", &length) || !read_int(s, words[4], 0, 1000000, "the seed", &seed))
        return false;
    scatter_blades(s->canvas, colour, count, length, seed);
    return true;
}

void stamp_glyph(Canvas* canvas, const Glyph& glyph, Rgb colour, int x, int y, int scale) {
    for (size_t row = 0; row < glyph.rows.size(); ++row)
        for (int column = 0; column < glyph.width; ++column)
            if (glyph.rows[row][column] == '#')
                draw_rect(canvas, colour, x + column * scale, y + static_cast<int>(row) * scale, scale, scale);
}

// text C X Y SCALE WORDS...: X may be the word centre.
bool read_text(SourceState* s, const std::vector<std::string>& words) {
    if (!need_size(s)) return false;
    if (words.size() < 6) return fail(s, "expected 'text C X Y SCALE TEXT' (X may be 'centre')");
    if (!s->has_font) return fail(s, "text before a 'font' line");
    Rgb colour;
    int x = 0, y, scale;
    if (!read_colour(s, words[1], &colour) || !read_coordinate(s, words[3], "y", &y) ||
        !read_int(s, words[4], 1, 64, "the scale", &scale))
        return false;
    std::string text = words[5];
    for (size_t k = 6; k < words.size(); ++k) text += " " + words[k];
    char missing = 0;
    int width = measure_text(s->font, text, &missing);
    if (width < 0) return fail(s, std::string("the font has no glyph for '") + missing + "'");
    if (words[2] == "centre" || words[2] == "center") {
        x = (s->canvas->width - width * scale) / 2;
    } else if (!read_coordinate(s, words[2], "x", &x)) {
        return false;
    }
    for (char c : text) {
        const Glyph& glyph = s->font.glyphs[static_cast<unsigned char>(c)];
        stamp_glyph(s->canvas, glyph, colour, x, y, scale);
        x += (glyph.width + 1) * scale;
    }
    return true;
}

// grid [X Y [SCALE]] and then rows of colour characters up to a line "end".
// Without a place the grid is the whole picture, one character per pixel.
// Characters whose colour is black leave what lies beneath.
bool read_grid(SourceState* s, const std::vector<std::string>& words) {
    if (!need_size(s)) return false;
    bool whole = words.size() == 1;
    int x = 0, y = 0, scale = 1;
    if (!whole) {
        if (words.size() != 3 && words.size() != 4) return fail(s, "expected 'grid' or 'grid X Y [SCALE]'");
        if (!read_coordinate(s, words[1], "x", &x) || !read_coordinate(s, words[2], "y", &y)) return false;
        if (words.size() == 4 && !read_int(s, words[3], 1, 64, "the scale", &scale)) return false;
    }
    int start = s->line;
    std::vector<std::string> rows;
    std::vector<int> row_lines;
    bool ended = false;
    while (s->next < s->lines.size()) {
        const SourceLine& line = s->lines[s->next++];
        std::string text = trim_text(line.text);
        if (text == "end") {
            ended = true;
            break;
        }
        rows.push_back(text);
        row_lines.push_back(line.number);
    }
    if (!ended) return fail(s, "this grid has no 'end' line");
    if (rows.empty()) return fail(s, "this grid has no rows");
    size_t width = whole ? static_cast<size_t>(s->canvas->width) : rows[0].size();
    for (size_t r = 0; r < rows.size(); ++r) {
        s->line = row_lines[r];
        if (rows[r].size() != width)
            return fail(s, "row " + std::to_string(r + 1) + " of the grid is " + std::to_string(rows[r].size()) +
                               " characters long, expected " + std::to_string(width));
        for (size_t column = 0; column < width; ++column) {
            unsigned char c = static_cast<unsigned char>(rows[r][column]);
            if (c >= 128 || !s->palette.defined[c])
                return fail(s, std::string("unknown colour character '") + rows[r][column] + "' in column " +
                                   std::to_string(column + 1) + " of the grid");
        }
    }
    if (whole && static_cast<int>(rows.size()) != s->canvas->height) {
        s->line = start;
        return fail(s, "the grid has " + std::to_string(rows.size()) + " rows, the picture is " +
                           std::to_string(s->canvas->height) + " high");
    }
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t column = 0; column < width; ++column) {
            Rgb colour = s->palette.colour[static_cast<unsigned char>(rows[r][column])];
            if (is_black(colour)) continue;
            draw_rect(s->canvas, colour, x + static_cast<int>(column) * scale, y + static_cast<int>(r) * scale, scale,
                      scale);
        }
    return true;
}

bool read_command(SourceState* s, const std::vector<std::string>& words) {
    const std::string& name = words[0];
    if (name == "size") return read_size(s, words);
    if (name == "colour" || name == "color") return read_palette_entry(s, words);
    if (name == "wrap") return read_wrap(s, words);
    if (name == "font") return read_font(s, words);
    if (name == "fill") return read_fill(s, words);
    if (name == "rect") return read_rect(s, words);
    if (name == "disc") return read_disc(s, words);
    if (name == "line") return read_line_command(s, words);
    if (name == "polygon") return read_polygon(s, words);
    if (name == "outline") return read_outline(s, words);
    if (name == "bricks") return read_bricks(s, words);
    if (name == "bevel") return read_bevel(s, words);
    if (name == "mottle") return read_mottle(s, words);
    if (name == "speckle") return read_speckle(s, words);
    if (name == "blades") return read_blades(s, words);
    if (name == "text") return read_text(s, words);
    if (name == "grid") return read_grid(s, words);
    return fail(s, "unknown instruction '" + name + "'");
}

}  // namespace

bool draw_picture_source(const std::string& path, Canvas* canvas, std::string* error) {
    SourceState s;
    s.path = path;
    size_t slash = path.find_last_of('/');
    s.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    s.canvas = canvas;
    s.error = error;
    if (!read_source_lines(path, &s.lines, error)) return false;
    while (s.next < s.lines.size()) {
        const SourceLine& line = s.lines[s.next++];
        s.line = line.number;
        std::vector<std::string> words = split_words(line.text);
        if (words.empty()) continue;
        if (!read_command(&s, words)) return false;
    }
    if (!s.has_size) {
        *error = path + ": no 'size' line, so there is no picture";
        return false;
    }
    return true;
}
