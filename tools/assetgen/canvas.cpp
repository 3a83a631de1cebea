#include "tools/assetgen/canvas.h"

#include <cmath>

namespace {

int wrap_index(int value, int size) {
    int m = value % size;
    return m < 0 ? m + size : m;
}

uint8_t clamp_channel(int value) {
    if (value < 0) return 0;
    if (value > 255) return 255;
    return static_cast<uint8_t>(value);
}

// Adds delta to every channel of a coloured pixel; black stays black, and a
// coloured pixel never becomes black, which would make it transparent.
void shift_brightness(Canvas* canvas, int x, int y, int delta) {
    uint8_t* p = &canvas->rgb[(static_cast<size_t>(y) * canvas->width + x) * 3];
    if (p[0] == 0 && p[1] == 0 && p[2] == 0) return;
    p[0] = clamp_channel(p[0] + delta);
    p[1] = clamp_channel(p[1] + delta);
    p[2] = clamp_channel(p[2] + delta);
    if (p[0] == 0 && p[1] == 0 && p[2] == 0) p[0] = p[1] = p[2] = 1;
}

Rgb shaded(Rgb colour, int delta) {
    return Rgb{clamp_channel(colour.r + delta), clamp_channel(colour.g + delta), clamp_channel(colour.b + delta)};
}

// The bounding box that a shape can touch: anywhere when wrapping (one turn
// around is enough), else only inside the picture.
void clip_box(const Canvas& canvas, int* x0, int* y0, int* x1, int* y1) {
    int low_x = canvas.wrap ? -canvas.width : 0;
    int low_y = canvas.wrap ? -canvas.height : 0;
    int high_x = canvas.wrap ? 2 * canvas.width - 1 : canvas.width - 1;
    int high_y = canvas.wrap ? 2 * canvas.height - 1 : canvas.height - 1;
    if (*x0 < low_x) *x0 = low_x;
    if (*y0 < low_y) *y0 = low_y;
    if (*x1 > high_x) *x1 = high_x;
    if (*y1 > high_y) *y1 = high_y;
}

}  // namespace

uint32_t hash3(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

void canvas_start(Canvas* canvas, int width, int height) {
    canvas->width = width;
    canvas->height = height;
    canvas->wrap = false;
    canvas->rgb.assign(static_cast<size_t>(width) * height * 3, 0);
}

void canvas_put(Canvas* canvas, int x, int y, Rgb colour) {
    if (canvas->wrap) {
        x = wrap_index(x, canvas->width);
        y = wrap_index(y, canvas->height);
    } else if (x < 0 || y < 0 || x >= canvas->width || y >= canvas->height) {
        return;
    }
    uint8_t* p = &canvas->rgb[(static_cast<size_t>(y) * canvas->width + x) * 3];
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

Rgb canvas_get(const Canvas& canvas, int x, int y) {
    if (canvas.wrap) {
        x = wrap_index(x, canvas.width);
        y = wrap_index(y, canvas.height);
    } else if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) {
        return Rgb{0, 0, 0};
    }
    const uint8_t* p = &canvas.rgb[(static_cast<size_t>(y) * canvas.width + x) * 3];
    return Rgb{p[0], p[1], p[2]};
}

bool is_black(Rgb colour) { return colour.r == 0 && colour.g == 0 && colour.b == 0; }

void fill_canvas(Canvas* canvas, Rgb colour) {
    for (int y = 0; y < canvas->height; ++y)
        for (int x = 0; x < canvas->width; ++x) canvas_put(canvas, x, y, colour);
}

void draw_rect(Canvas* canvas, Rgb colour, int x, int y, int w, int h) {
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column) canvas_put(canvas, column, row, colour);
}

void draw_disc(Canvas* canvas, Rgb colour, int cx, int cy, int radius) {
    int x0 = cx - radius, y0 = cy - radius, x1 = cx + radius, y1 = cy + radius;
    clip_box(*canvas, &x0, &y0, &x1, &y1);
    long limit = static_cast<long>(radius) * radius + radius;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            long dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy <= limit) canvas_put(canvas, x, y, colour);
        }
}

void draw_line(Canvas* canvas, Rgb colour, int x0, int y0, int x1, int y1, int width) {
    double half = width / 2.0 + 0.01;
    int reach = width / 2 + 1;
    int bx0 = (x0 < x1 ? x0 : x1) - reach, bx1 = (x0 < x1 ? x1 : x0) + reach;
    int by0 = (y0 < y1 ? y0 : y1) - reach, by1 = (y0 < y1 ? y1 : y0) + reach;
    clip_box(*canvas, &bx0, &by0, &bx1, &by1);
    double dx = x1 - x0, dy = y1 - y0;
    double length2 = dx * dx + dy * dy;
    for (int y = by0; y <= by1; ++y)
        for (int x = bx0; x <= bx1; ++x) {
            double px = x - x0, py = y - y0;
            double t = length2 > 0 ? (px * dx + py * dy) / length2 : 0.0;
            if (t < 0) t = 0;
            if (t > 1) t = 1;
            double ex = px - t * dx, ey = py - t * dy;
            if (std::sqrt(ex * ex + ey * ey) <= half) canvas_put(canvas, x, y, colour);
        }
}

void draw_polygon(Canvas* canvas, Rgb colour, const int* xs, const int* ys, int count) {
    int x0 = xs[0], x1 = xs[0], y0 = ys[0], y1 = ys[0];
    for (int i = 1; i < count; ++i) {
        if (xs[i] < x0) x0 = xs[i];
        if (xs[i] > x1) x1 = xs[i];
        if (ys[i] < y0) y0 = ys[i];
        if (ys[i] > y1) y1 = ys[i];
    }
    clip_box(*canvas, &x0, &y0, &x1, &y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            double px = x + 0.5, py = y + 0.5;
            bool inside = false;
            for (int i = 0, j = count - 1; i < count; j = i++) {
                bool crosses = (ys[i] > py) != (ys[j] > py);
                if (crosses) {
                    double at = xs[j] + (py - ys[j]) * (xs[i] - xs[j]) / static_cast<double>(ys[i] - ys[j]);
                    if (px < at) inside = !inside;
                }
            }
            if (inside) canvas_put(canvas, x, y, colour);
        }
}

void draw_outline(Canvas* canvas, Rgb colour, int thickness) {
    for (int pass = 0; pass < thickness; ++pass) {
        Canvas before = *canvas;
        for (int y = 0; y < canvas->height; ++y)
            for (int x = 0; x < canvas->width; ++x) {
                if (!is_black(canvas_get(before, x, y))) continue;
                bool touches = false;
                for (int dy = -1; dy <= 1 && !touches; ++dy)
                    for (int dx = -1; dx <= 1 && !touches; ++dx)
                        if (!is_black(canvas_get(before, x + dx, y + dy))) touches = true;
                if (touches) canvas_put(canvas, x, y, colour);
            }
    }
}

void lay_bricks(Canvas* canvas, Rgb colour, int course, int length, int mortar, int vary, int seed) {
    int courses = (canvas->height + course - 1) / course;
    int per_course = canvas->width / length + 1;
    for (int i = 0; i < courses; ++i) {
        int offset = (i % 2) * (length / 2);
        for (int k = -1; k < per_course; ++k) {
            // Bricks are numbered by where they sit, so the one cut by the
            // right edge has the same shade as its other half on the left.
            int x = offset + k * length;
            int place = wrap_index(x, canvas->width);
            int delta = vary > 0 ? static_cast<int>(hash3(i, place, seed) % (2 * vary + 1)) - vary : 0;
            draw_rect(canvas, shaded(colour, delta), x + mortar, i * course + mortar, length - mortar, course - mortar);
        }
    }
}

void bevel_bricks(Canvas* canvas, int course, int length, int mortar, int amount) {
    int courses = (canvas->height + course - 1) / course;
    int per_course = canvas->width / length + 1;
    for (int i = 0; i < courses; ++i) {
        int offset = (i % 2) * (length / 2);
        int top = i * course + mortar;
        int bottom = (i + 1) * course - 1;
        for (int k = 0; k < per_course; ++k) {
            int x = offset + k * length;
            if (x >= canvas->width) break;
            for (int c = x + mortar; c < x + length; ++c) {
                int column = wrap_index(c, canvas->width);
                if (top < canvas->height) shift_brightness(canvas, column, top, amount);
                if (bottom < canvas->height) shift_brightness(canvas, column, bottom, -amount);
            }
            // The right end of a brick lies in shadow as well.
            for (int row = top; row <= bottom && row < canvas->height; ++row)
                shift_brightness(canvas, wrap_index(x + length - 1, canvas->width), row, -amount / 2);
        }
    }
}

void add_mottle(Canvas* canvas, int amount, int cell, int seed) {
    int nx = canvas->width / cell, ny = canvas->height / cell;
    for (int y = 0; y < canvas->height; ++y)
        for (int x = 0; x < canvas->width; ++x) {
            int ix = x / cell, iy = y / cell;
            double fx = (x % cell + 0.5) / cell, fy = (y % cell + 0.5) / cell;
            double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
            auto lattice = [&](int i, int j) {
                uint32_t h = hash3(wrap_index(i, nx), wrap_index(j, ny), seed);
                return (h % 2001) / 1000.0 - 1.0;
            };
            double top = lattice(ix, iy) * (1 - sx) + lattice(ix + 1, iy) * sx;
            double low = lattice(ix, iy + 1) * (1 - sx) + lattice(ix + 1, iy + 1) * sx;
            double value = top * (1 - sy) + low * sy;
            shift_brightness(canvas, x, y, static_cast<int>(std::lround(value * amount)));
        }
}

void add_speckle(Canvas* canvas, int amount, int seed) {
    for (int y = 0; y < canvas->height; ++y)
        for (int x = 0; x < canvas->width; ++x) {
            int delta = static_cast<int>(hash3(x, y, seed + 0x5bd1) % (2 * amount + 1)) - amount;
            shift_brightness(canvas, x, y, delta);
        }
}

void scatter_blades(Canvas* canvas, Rgb colour, int count, int length, int seed) {
    for (int k = 0; k < count; ++k) {
        uint32_t h = hash3(k, seed, 0xb1ade);
        int x = static_cast<int>(h % canvas->width);
        int y = static_cast<int>((h / canvas->width) % canvas->height);
        int lean = static_cast<int>((h >> 20) % 3) - 1;
        int size = length - static_cast<int>((h >> 24) % 2);
        for (int j = 0; j < size; ++j) canvas_put(canvas, x + lean * ((j + 1) / 2), y - j, colour);
    }
}
