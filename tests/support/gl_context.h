// A real offscreen GL context for tests (640 x 480, through the headless
// backend), and reading back what was drawn into it.
#pragma once

#include <cstdint>

struct ScreenPixel {
    uint8_t red, green, blue, alpha;
};

// Opens the context once per process and makes it current; later calls only
// make it current again and reset the viewport to the whole 640 x 480 surface.
// False when no offscreen GL is available.
bool open_test_gl_context();
// Releases the context; the next open creates a new one.
void close_test_gl_context();

// One pixel of the colour buffer, in window coordinates (origin bottom-left).
ScreenPixel read_screen_pixel(int x, int y);
// The whole 640 x 480 colour buffer as RGBA, bottom row first.
void read_screen(uint8_t* rgba);
