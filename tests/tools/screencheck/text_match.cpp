#include "text_match.h"

#include <cstdio>
#include <cstring>

#include "render/overlay.h"
#include "world/settings.h"
#include "world/world_arrays.h"

namespace {

constexpr int glyph_width = 8;
constexpr int glyph_rows = 12;

bool white_on_screen(const XwdImage& screen, int x, int y) {
    // Overlay rows count from the bottom, the dump's from the top.
    int row = screen.height - 1 - y;
    if (x < 0 || x >= screen.width || row < 0 || row >= screen.height) return false;
    const uint8_t* p = screen.rgb + (static_cast<size_t>(row) * screen.width + x) * 3;
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
}

bool overlay_ink(int x, int y) {
    if (x < 0 || x >= screen_width || y < 0 || y >= screen_height) return false;
    return overlay_pixels[(static_cast<size_t>(y) * screen_width + x) * 4 + 3] != 0;
}

}  // namespace

TextMatch match_text(const XwdImage& screen, int x, int y, const char* text) {
    TextMatch match = {0, 0, 0};
    if (!overlay_pixels && !alloc_world()) return match;
    clear_overlay();
    format_text("%s", text);
    draw_text(x, y, 255, 255, 255);
    const int right = x + glyph_width * static_cast<int>(std::strlen(text));
    for (int py = y - glyph_rows; py < y; ++py) {
        for (int px = x; px < right; ++px) {
            bool ink = overlay_ink(px, py);
            bool white = white_on_screen(screen, px, py);
            if (ink) {
                ++match.ink;
                if (!white) ++match.missing;
            } else if (white) {
                ++match.stray;
            }
        }
    }
    return match;
}
