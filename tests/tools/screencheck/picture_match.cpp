#include "picture_match.h"

#include <cstdint>
#include <set>

#include "render/image_loader.h"
#include "render/image_table.h"

namespace {

// A picture read by the game's own loader into a scratch slot: rows bottom
// first, red-green-blue, exactly as the game holds it. False when the
// loader refuses the file.
constexpr int scratch_slot = 0;

bool read_picture(const char* path, Image* picture) {
    if (!image_table && !alloc_image_table()) return false;
    if (!load_image(path, scratch_slot)) return false;
    *picture = image_table[scratch_slot];
    return true;
}

uint32_t colour_at(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }

bool see_through(uint32_t colour) { return colour == 0 || colour == 0xFF00F6; }

// Every lit colour of the pictures; false when one cannot be read.
bool collect_colours(const char* const* paths, int count, std::set<uint32_t>* colours) {
    for (int i = 0; i < count; ++i) {
        Image picture;
        if (!read_picture(paths[i], &picture)) return false;
        for (long p = 0; p < static_cast<long>(picture.width) * picture.height; ++p) {
            uint32_t colour = colour_at(picture.pixels + p * 3);
            if (!see_through(colour)) colours->insert(colour);
        }
    }
    return true;
}

}  // namespace

int picture_shown_per_mille(const XwdImage& screen, int x, int y, const char* bmp_path) {
    Image picture;
    if (!read_picture(bmp_path, &picture)) return -1;
    long lit = 0, shown = 0;
    for (int row = 0; row < picture.height; ++row) {
        for (int column = 0; column < picture.width; ++column) {
            uint32_t colour = colour_at(picture.pixels + (static_cast<long>(row) * picture.width + column) * 3);
            if (see_through(colour)) continue;
            ++lit;
            // The overlay counts rows up from the window's bottom edge.
            int sx = x + column, sy = screen.height - 1 - (y + row);
            if (sx < 0 || sy < 0 || sx >= screen.width || sy >= screen.height) continue;
            if (colour_at(screen.rgb + (static_cast<long>(sy) * screen.width + sx) * 3) == colour) ++shown;
        }
    }
    return lit ? static_cast<int>(shown * 1000 / lit) : 0;
}

int pixels_in_own_colours(const XwdImage& screen, const char* const* own, int own_count, const char* const* others,
                          int other_count) {
    std::set<uint32_t> own_colours, other_colours;
    if (!collect_colours(own, own_count, &own_colours) || !collect_colours(others, other_count, &other_colours))
        return -1;
    for (uint32_t colour : other_colours) own_colours.erase(colour);
    int count = 0;
    for (long p = 0; p < static_cast<long>(screen.width) * screen.height; ++p)
        count += own_colours.count(colour_at(screen.rgb + p * 3)) ? 1 : 0;
    return count;
}
