#include "picture_match.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

// A 24-bit uncompressed BMP, as the build writes them: rows bottom first,
// each padded to four bytes, blue-green-red.
struct Bmp {
    int width = 0;
    int height = 0;
    uint8_t* rgb = nullptr;  // bottom row first
};

uint32_t little_word(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

bool read_bmp(const char* path, Bmp* bmp) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    uint8_t header[54];
    bool ok = std::fread(header, 1, sizeof header, file) == sizeof header && header[0] == 'B' && header[1] == 'M' &&
              little_word(header + 28, 2) == 24;
    const long offset = little_word(header + 10, 4);
    bmp->width = static_cast<int>(little_word(header + 18, 4));
    bmp->height = static_cast<int>(little_word(header + 22, 4));
    ok = ok && bmp->width > 0 && bmp->height > 0 && bmp->width <= 4096 && bmp->height <= 4096;
    const long stride = (bmp->width * 3L + 3) / 4 * 4;
    uint8_t* row = ok ? static_cast<uint8_t*>(std::malloc(static_cast<size_t>(stride))) : nullptr;
    if (row) bmp->rgb = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bmp->width) * bmp->height * 3));
    ok = ok && row && bmp->rgb && std::fseek(file, offset, SEEK_SET) == 0;
    for (int y = 0; ok && y < bmp->height; ++y) {
        ok = std::fread(row, 1, static_cast<size_t>(stride), file) == static_cast<size_t>(stride);
        for (int x = 0; ok && x < bmp->width; ++x) {
            uint8_t* out = bmp->rgb + (static_cast<long>(y) * bmp->width + x) * 3;
            out[0] = row[x * 3 + 2];
            out[1] = row[x * 3 + 1];
            out[2] = row[x * 3];
        }
    }
    std::free(row);
    std::fclose(file);
    if (!ok) {
        std::free(bmp->rgb);
        bmp->rgb = nullptr;
    }
    return ok;
}

uint32_t colour_at(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }

bool see_through(uint32_t colour) { return colour == 0 || colour == 0xFF00F6; }

// Every lit colour of the pictures; false when one cannot be read.
bool collect_colours(const char* const* paths, int count, std::set<uint32_t>* colours) {
    for (int i = 0; i < count; ++i) {
        Bmp bmp;
        if (!read_bmp(paths[i], &bmp)) return false;
        for (long p = 0; p < static_cast<long>(bmp.width) * bmp.height; ++p) {
            uint32_t colour = colour_at(bmp.rgb + p * 3);
            if (!see_through(colour)) colours->insert(colour);
        }
        std::free(bmp.rgb);
    }
    return true;
}

}  // namespace

int picture_shown_per_mille(const XwdImage& screen, int x, int y, const char* bmp_path) {
    Bmp bmp;
    if (!read_bmp(bmp_path, &bmp)) return -1;
    long lit = 0, shown = 0;
    for (int row = 0; row < bmp.height; ++row) {
        for (int column = 0; column < bmp.width; ++column) {
            uint32_t colour = colour_at(bmp.rgb + (static_cast<long>(row) * bmp.width + column) * 3);
            if (see_through(colour)) continue;
            ++lit;
            // The overlay counts rows up from the window's bottom edge.
            int sx = x + column, sy = screen.height - 1 - (y + row);
            if (sx < 0 || sy < 0 || sx >= screen.width || sy >= screen.height) continue;
            if (colour_at(screen.rgb + (static_cast<long>(sy) * screen.width + sx) * 3) == colour) ++shown;
        }
    }
    std::free(bmp.rgb);
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
