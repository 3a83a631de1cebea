// A real offscreen GL context for tests (640 x 480, through the headless
// backend), and reading back what was drawn into it.
#pragma once

#include <cstdint>

// Opens the context once per process and makes it current with the whole
// surface as viewport; false when no offscreen GL is available.
bool open_test_gl_context();
// The whole 640 x 480 colour buffer as RGBA, bottom row first.
void read_screen(uint8_t* rgba);
