// The 640 x 480 RGBA overlay in memory, written pixel by pixel (text in two
// bitmap fonts, lines, pictures) and put over the scene once per frame.
#pragma once

#include <cstdint>

constexpr int text_buffer_size = 256;
// Every caller formats into this (bounded) and then draws it.
extern char text_buffer[text_buffer_size];

// printf-style into text_buffer, never past its end.
void format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

void clear_overlay();
void put_pixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue);
void draw_text_small(int x, int y, uint8_t red, uint8_t green, uint8_t blue);
void draw_text(int x, int y, uint8_t red, uint8_t green, uint8_t blue);
void draw_line(int x1, int y1, int x2, int y2, uint8_t red, uint8_t green, uint8_t blue);
void draw_image(int x, int y, int slot);
// The first half of putting the overlay on screen: 2D texturing off, blending on.
void begin_overlay_present();
// The second half: the overlay drawn over the scene, GL state restored.
void finish_overlay_present();
// Both halves together.
void present_overlay();
