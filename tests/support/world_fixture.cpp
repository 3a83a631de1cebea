#include "tests/support/world_fixture.h"

#include <cstring>

#include "game/view.h"
#include "path/path_search.h"
#include "render/fonts.h"

void WorldTest::SetUp() {
    headless_reset();
    ASSERT_TRUE(alloc_world());
    init_face_table();
    init_map_cells();
    path_search = new PathSearch;
    ASSERT_TRUE(path_search->create_buffers());
    std::memset(keys, 0, sizeof keys);
    std::memset(mouse_buttons, 0, sizeof mouse_buttons);
    reset_shared_state();
    local_view = start_view(0);
    local_view.map_sx = local_view.map_sy = 32;
}

void WorldTest::TearDown() {
    path_search->release_buffers();
    delete path_search;
    path_search = nullptr;
    free_world();
    headless_reset();
}

Unit& place_unit(int slot, int owner, int kind, int x, int y) {
    Unit& unit = unit_table[slot];
    unit.active = 1;
    unit.owner = owner;
    unit.kind = static_cast<uint16_t>(kind);
    unit.tile_x = static_cast<uint16_t>(x);
    unit.tile_y = static_cast<uint16_t>(y);
    unit.mobility = kind == kind_mine ? 2 : 1;
    unit.max_hp = unit.hp = kind_max_hp(kind);
    return unit;
}

namespace {
bool white(const uint8_t* rgba, int x, int y) {
    const uint8_t* p = rgba + (static_cast<size_t>(y) * 640 + x) * 4;
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
}
// Does the 8 x 12 cell below (x, y) hold exactly this glyph's ink?
bool cell_is(const uint8_t* rgba, int x, int y, const char* glyph) {
    for (int row = 1; row <= 12; ++row)
        for (int column = 0; column < 8; ++column)
            if (white(rgba, x + column, y - row) != (glyph[row * large_font_row_length + column] == '1')) return false;
    return true;
}
}  // namespace

std::string text_at(const uint8_t* rgba, int x, int y) {
    std::string text;
    for (int pen = x; pen + 8 <= 640; pen += 8) {
        char read = '?';
        for (int code = 32; code < 127 && read == '?'; ++code)
            if (cell_is(rgba, pen, y, large_font[code])) read = static_cast<char>(code);
        text += read;
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "  ") == 0) break;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}
