#include "app/banner.h"

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
    if (count > banner_most_lines) count = banner_most_lines;
    const int bottom = banner_first_y - (count - 1) * banner_line_step - banner_below_last;
    clear_overlay();
    for (int y = bottom; y < banner_top; ++y)
        for (int x = 0; x < screen_width; ++x) put_pixel(x, y, 1, 1, 1);
    for (int i = 0; i < count; ++i) {
        format_text("%s", lines[i]);
        draw_text(banner_x, banner_first_y - i * banner_line_step, 255, 255, 255);
    }
    begin_overlay_present();
    finish_overlay_present();
}
