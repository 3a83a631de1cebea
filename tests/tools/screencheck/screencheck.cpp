// screencheck: checks the game's screen from outside, for the end-to-end tests.
//   screencheck shows DUMP X Y TEXT          exit 0 when the text is there in white
//   screencheck picture DUMP X Y BMP         prints how much of the picture (per mille) is at X, Y
//   screencheck close WINDOW_ID              asks the window to close, as a desktop's close button does
//   screencheck same DUMP OTHER...           exit 0 when an OTHER equals DUMP above the foot's line (y 60)
// Positions are overlay coordinates: x from the left, y from the bottom.
// With "--picture LEFT TOP FACTOR" first, shows and picture
// look at the game's picture enlarged in the dump with its top-left corner
// at LEFT, TOP (pixels from the dump's top-left): one pixel of each block.
// The dump is read as true-colour X window dump (16, 24 or 32 bits); the
// text and pictures are drawn and read by the game's own code to compare.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/image_loader.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "world/settings.h"
#include "world/world_arrays.h"

#ifdef SCREENCHECK_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace {

// Red-green-blue rows, top row first, as the dump stores them.
struct Dump {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

uint32_t big_endian_word(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// One channel of a pixel value, scaled to 0..255 whatever its mask width.
uint8_t channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1u)) ++shift;
    return static_cast<uint8_t>(((value & mask) >> shift) * 255u / (mask >> shift));
}

bool read_xwd(const char* path, Dump* screen) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    // Header words: size, version, format, depth, width, height, ..., byte
    // order (7), bits per pixel (11), bytes per line (12), masks (14-16), colours (19).
    if (bytes.size() < 100) return false;
    uint32_t h[25];
    for (int i = 0; i < 25; ++i) h[i] = big_endian_word(&bytes[i * 4]);
    const long bytes_per_pixel = h[11] / 8, width = h[4], height = h[5], stride = h[12];
    const long pixels_at = static_cast<long>(h[0]) + static_cast<long>(h[19]) * 12;
    if (h[1] != 7 || h[2] != 2 || bytes_per_pixel < 2 || bytes_per_pixel > 4 || width <= 0 || height <= 0 ||
        width > 16384 || height > 16384 || stride < width * bytes_per_pixel ||
        pixels_at + stride * height > static_cast<long>(bytes.size()))
        return false;
    screen->width = static_cast<int>(width);
    screen->height = static_cast<int>(height);
    screen->rgb.resize(static_cast<size_t>(width * height * 3));
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            uint32_t v = 0;
            const uint8_t* p = &bytes[pixels_at + y * stride + x * bytes_per_pixel];
            for (long i = 0; i < bytes_per_pixel; ++i) v = (v << 8) | p[h[7] == 1 ? i : bytes_per_pixel - 1 - i];
            uint8_t* out = &screen->rgb[(y * width + x) * 3];
            for (int c = 0; c < 3; ++c) out[c] = channel(v, h[14 + c]);
        }
    return true;
}

// The game's picture enlarged by factor at (left, top): one pixel of each block.
bool take_picture(Dump* screen, int left, int top, int factor) {
    if (factor < 1 || left < 0 || top < 0 || static_cast<long>(left) + long(screen_width) * factor > screen->width ||
        static_cast<long>(top) + long(screen_height) * factor > screen->height)
        return false;
    Dump picture;
    picture.width = screen_width;
    picture.height = screen_height;
    picture.rgb.resize(static_cast<size_t>(screen_width) * screen_height * 3);
    for (int y = 0; y < screen_height; ++y)
        for (int x = 0; x < screen_width; ++x)
            std::memcpy(&picture.rgb[(static_cast<size_t>(y) * screen_width + x) * 3],
                        screen->at(left + x * factor, top + y * factor), 3);
    *screen = picture;
    return true;
}

// Pixel (x, y) of the overlay, which counts rows up from the bottom edge.
const uint8_t* overlay_point(const Dump& screen, int x, int y) {
    const int row = screen.height - 1 - y;
    return x < 0 || x >= screen.width || row < 0 || row >= screen.height ? nullptr : screen.at(x, row);
}

struct TextMatch {
    int ink = 0;      // pixels the text puts ink on
    int missing = 0;  // of those, the ones not white on the screen
    int stray = 0;    // white screen pixels in the text's box where the text has no ink
};

// The text drawn by the game's own draw_text at the same place, against the screen.
TextMatch match_text(const Dump& screen, int x, int y, const char* text) {
    TextMatch match;
    if (!overlay_pixels && !alloc_world()) return match;
    clear_overlay();
    format_text("%s", text);
    draw_text(x, y, 255, 255, 255);
    const int right = x + 8 * static_cast<int>(std::strlen(text));
    for (int py = y - 12; py < y; ++py)
        for (int px = x; px < right; ++px) {
            const bool ink = px >= 0 && px < screen_width && py >= 0 && py < screen_height &&
                             overlay_pixels[(static_cast<size_t>(py) * screen_width + px) * 4 + 3] != 0;
            const uint8_t* p = overlay_point(screen, px, py);
            const bool white = p && p[0] == 255 && p[1] == 255 && p[2] == 255;
            match.ink += ink;
            match.missing += ink && !white;
            match.stray += !ink && white;
        }
    return match;
}

uint32_t colour_at(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
bool see_through(uint32_t colour) { return colour == 0 || colour == 0xFF00F6; }

// A picture read by the game's own loader: rows bottom first, red-green-blue.
const Image* read_picture(const char* path) {
    if (!image_table && !alloc_image_table()) return nullptr;
    return load_image(path, 0) ? &image_table[0] : nullptr;
}

// Per thousand of the picture's lit pixels (neither black nor the key
// colour) shown in their own colour with its bottom-left corner at (x, y).
int picture_shown_per_mille(const Dump& screen, int x, int y, const char* path) {
    const Image* picture = read_picture(path);
    if (!picture) return -1;
    long lit = 0, shown = 0;
    for (int row = 0; row < picture->height; ++row)
        for (int column = 0; column < picture->width; ++column) {
            uint32_t colour = colour_at(picture->pixels + (static_cast<long>(row) * picture->width + column) * 3);
            if (see_through(colour)) continue;
            ++lit;
            const uint8_t* p = overlay_point(screen, x + column, y + row);
            shown += p && colour_at(p) == colour;
        }
    return lit ? static_cast<int>(shown * 1000 / lit) : 0;
}

// The window manager's delete message, which the program may answer as it likes.
bool request_window_close(unsigned long window_id) {
#ifdef SCREENCHECK_HAVE_X11
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window_id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window_id, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0;
#else
    (void)window_id;
    return false;
#endif
}

int usage() {
    std::fprintf(stderr, "usage: see the top of tests/tools/screencheck/screencheck.cpp\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int left = 0, top = 0, factor = 0;  // where --picture says the game's picture lies
    if (argc >= 5 && std::strcmp(argv[1], "--picture") == 0) {
        left = std::atoi(argv[2]);
        top = std::atoi(argv[3]);
        factor = std::atoi(argv[4]);
        argv[4] = argv[0];
        argv += 4;
        argc -= 4;
    }
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return request_window_close(std::strtoul(argv[2], nullptr, 0)) ? 0 : 1;
    if (argc < 4) return usage();
    const char* verb = argv[1];
    Dump screen, other;
    if (std::strcmp(verb, "same") == 0 && read_xwd(argv[2], &screen)) {
        const size_t above_foot = static_cast<size_t>(screen.width) * (screen.height - 60) * 3;
        for (int i = 3; i < argc; ++i)
            if (read_xwd(argv[i], &other) && other.rgb.size() == screen.rgb.size() &&
                std::memcmp(screen.rgb.data(), other.rgb.data(), above_foot) == 0)
                return 0;
        return 1;
    }
    if (!read_xwd(argv[2], &screen)) {
        std::fprintf(stderr, "screencheck: cannot read %s\n", argv[2]);
        return 2;
    }
    const int x = std::atoi(argv[3]), y = argc > 4 ? std::atoi(argv[4]) : 0;
    if (factor && !take_picture(&screen, left, top, factor)) {
        std::fprintf(stderr, "screencheck: the picture does not lie inside the dump\n");
        return 2;
    }
    if (std::strcmp(verb, "shows") == 0 && argc == 6) {
        TextMatch match = match_text(screen, x, y, argv[5]);
        std::printf("ink=%d missing=%d stray=%d\n", match.ink, match.missing, match.stray);
        // Every ink pixel white; other white in the box (units' labels
        // crossing the line) is tolerated up to a third of the ink.
        return match.ink > 0 && match.missing == 0 && match.stray * 3 <= match.ink ? 0 : 1;
    }
    if (std::strcmp(verb, "picture") != 0 || argc != 6) return usage();
    const int shown = picture_shown_per_mille(screen, x, y, argv[5]);
    if (shown < 0) {
        std::fprintf(stderr, "screencheck: cannot read the picture %s\n", argv[5]);
        return 2;
    }
    std::printf("%d\n", shown);
    return 0;
}
