#include "app/banner.h"

#include <cstdio>
#include <cstring>

#include "render/overlay.h"
#include "world/settings.h"

namespace {

constexpr int banner_x = 40;
constexpr int banner_first_y = 130;
constexpr int banner_line_step = 20;
constexpr int banner_top = 140;
// The band reaches this far below the last line's place.
constexpr int banner_below_last = 30;

}  // namespace

void draw_banner(const char* const* lines, int count) {
    if (count > banner_tallest) count = banner_tallest;
    // Past the usual lines the band grows upward, its bottom staying put.
    const int rise = count > banner_most_lines ? (count - banner_most_lines) * banner_line_step : 0;
    const int first_y = banner_first_y + rise;
    const int bottom = first_y - (count - 1) * banner_line_step - banner_below_last;
    clear_overlay();
    for (int y = bottom; y < banner_top + rise; ++y)
        for (int x = 0; x < screen_width; ++x) put_pixel(x, y, 1, 1, 1);
    for (int i = 0; i < count; ++i) {
        format_text("%s", lines[i]);
        draw_text(banner_x, first_y - i * banner_line_step, 255, 255, 255);
    }
    begin_overlay_present();
    finish_overlay_present();
}

int wrap_banner_text(const char* text, char* rows, int row_size, int most_rows) {
    int count = 0;
    while (*text && count < most_rows) {
        int length = static_cast<int>(std::strlen(text));
        int cut = length;
        if (length > banner_columns) {
            cut = banner_columns;
            while (cut > 0 && text[cut] != ' ') --cut;
            // A word longer than a line is broken where the line ends.
            if (cut == 0) cut = banner_columns;
        }
        std::snprintf(rows + static_cast<size_t>(count++) * row_size, static_cast<size_t>(row_size), "%.*s", cut, text);
        text += cut;
        while (*text == ' ') ++text;
    }
    return count;
}
