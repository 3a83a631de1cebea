#include "render/overlay.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "render/fonts.h"
#include "render/image_table.h"
#include "world/settings.h"
#include "world/world_arrays.h"

char text_buffer[text_buffer_size];

namespace {

// Small glyphs are drawn from rows 1 to 9; large ones from rows 1 to 12.
constexpr int small_drawn_rows = 9;
constexpr int large_drawn_rows = 12;
constexpr int large_glyph_width = 8;
// A glyph text must reach its last drawn row to be drawn at all.
constexpr size_t small_glyph_min_length = (small_drawn_rows + 1) * small_font_row_length;
constexpr size_t large_glyph_min_length = (large_drawn_rows + 1) * large_font_row_length;
// A code without a small glyph takes no columns, only the gap after it.
constexpr int small_glyph_gap = 1;

// Pictures mark their see-through pixels with this colour (or with black).
constexpr uint8_t key_red = 255, key_green = 0, key_blue = 246;

const char* small_glyph(unsigned char code) {
    if (code >= small_font_size) return nullptr;
    const char* glyph = small_font[code];
    if (!glyph || std::strlen(glyph) < small_glyph_min_length) return nullptr;
    if (glyph[0] < '0' || glyph[0] > '0' + small_font_row_length) return nullptr;
    return glyph;
}

const char* large_glyph(unsigned char code) {
    const char* glyph = large_font[code];
    if (!glyph || std::strlen(glyph) < large_glyph_min_length) return nullptr;
    return glyph;
}

bool is_ink(char c) { return c != '0'; }

}  // namespace

void format_text(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text_buffer, sizeof text_buffer, format, arguments);
    va_end(arguments);
}

void clear_overlay() {
    if (overlay_pixels) std::memset(overlay_pixels, 0, static_cast<size_t>(screen_width) * screen_height * 4);
}

void put_pixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
    if (x < 0 || x >= screen_width || y < 0 || y >= screen_height || !overlay_pixels) return;
    uint8_t* pixel = overlay_pixels + (static_cast<size_t>(y) * screen_width + x) * 4;
    pixel[0] = red;
    pixel[1] = green;
    pixel[2] = blue;
    pixel[3] = 255;
}

// Row 1 of a glyph lands one pixel above y, row 9 seven below it.
void draw_text_small(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
    int pen = x;
    for (const char* c = text_buffer; c < text_buffer + text_buffer_size && *c; ++c) {
        const char* glyph = small_glyph(static_cast<unsigned char>(*c));
        if (!glyph) {
            pen += small_glyph_gap;
            continue;
        }
        const int width = glyph[0] - '0';
        for (int row = 1; row <= small_drawn_rows; ++row)
            for (int column = 0; column < width; ++column)
                if (is_ink(glyph[row * small_font_row_length + column]))
                    put_pixel(pen + column, y - row + 2, red, green, blue);
        pen += width + small_glyph_gap;
    }
}

// Row 1 of a glyph lands one pixel below y; the glyphs carry their own spacing.
void draw_text(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
    int pen = x;
    for (const char* c = text_buffer; c < text_buffer + text_buffer_size && *c; ++c) {
        const char* glyph = large_glyph(static_cast<unsigned char>(*c));
        if (glyph) {
            for (int row = 1; row <= large_drawn_rows; ++row)
                for (int column = 0; column < large_glyph_width; ++column)
                    if (is_ink(glyph[row * large_font_row_length + column]))
                        put_pixel(pen + column, y - row, red, green, blue);
        }
        pen += large_glyph_width;
    }
}

// The error starts at the minor delta rather than half the major one, so the
// minor coordinate steps earlier than in the textbook form.
void draw_line(int x1, int y1, int x2, int y2, uint8_t red, uint8_t green, uint8_t blue) {
    const int dx = x2 > x1 ? x2 - x1 : x1 - x2;
    const int dy = y2 > y1 ? y2 - y1 : y1 - y2;
    const int sx = x2 > x1 ? 1 : (x2 < x1 ? -1 : 0);
    const int sy = y2 > y1 ? 1 : (y2 < y1 ? -1 : 0);
    int x = x1, y = y1;
    put_pixel(x, y, red, green, blue);
    if (dx > dy) {
        int error = dy;
        for (int step = 0; step < dx; ++step) {
            error += dy;
            if (error > dx) {
                error -= dx;
                y += sy;
            }
            x += sx;
            put_pixel(x, y, red, green, blue);
        }
    } else {
        int error = dx;
        for (int step = 0; step < dy; ++step) {
            error += dx;
            if (error > dy) {
                error -= dy;
                x += sx;
            }
            y += sy;
            put_pixel(x, y, red, green, blue);
        }
    }
}

// Pictures are square and take their side from the width; one with fewer
// rows than that is drawn only as far as its rows go.
void draw_image(int x, int y, int slot) {
    if (!image_table || slot < 0 || slot >= max_images) return;
    const Image& image = image_table[slot];
    if (!image.pixels || image.width <= 0) return;
    const int side = image.width;
    const int rows = image.height < side ? image.height : side;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < side; ++column) {
            const uint8_t* pixel = image.pixels + (static_cast<size_t>(row) * side + column) * 3;
            const uint8_t red = pixel[0], green = pixel[1], blue = pixel[2];
            if (red == key_red && green == key_green && blue == key_blue) continue;
            if (red == 0 && green == 0 && blue == 0) continue;
            put_pixel(x + column, y + row, red, green, blue);
        }
    }
}

void begin_overlay_present() {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
}

// The raster position is never set: it stays at the window's bottom-left
// corner with depth 0, so the overlay passes the depth test everywhere.
void finish_overlay_present() {
    if (overlay_pixels) glDrawPixels(screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE, overlay_pixels);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

void present_overlay() {
    begin_overlay_present();
    finish_overlay_present();
}
