// The picture being drawn by the asset generator: RGB pixels, top row first,
// and the drawing steps a picture source can ask for.
#pragma once

#include <cstdint>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
};

struct Canvas {
    int width = 0;
    int height = 0;
    // When set, drawing that leaves one edge comes back in at the opposite
    // one, which is how the terrain textures tile without seams.
    bool wrap = false;
    std::vector<uint8_t> rgb;  // width * height * 3, top row first
};

void canvas_start(Canvas* canvas, int width, int height);
// Colours one pixel; outside the picture it wraps or is dropped.
void canvas_put(Canvas* canvas, int x, int y, Rgb colour);
// The pixel at (x, y) after wrapping; black outside an unwrapped picture.
Rgb canvas_get(const Canvas& canvas, int x, int y);
bool is_black(Rgb colour);

void fill_canvas(Canvas* canvas, Rgb colour);
void draw_rect(Canvas* canvas, Rgb colour, int x, int y, int w, int h);
void draw_disc(Canvas* canvas, Rgb colour, int cx, int cy, int radius);
// A straight stroke of the given width between two pixel centres.
void draw_line(Canvas* canvas, Rgb colour, int x0, int y0, int x1, int y1, int width);
// Fills the pixels whose centres lie inside the polygon (even-odd rule);
// points are pixel corners, count of them in xs and ys.
void draw_polygon(Canvas* canvas, Rgb colour, const int* xs, const int* ys, int count);
// Turns every black pixel next to a coloured one into colour, thickness times over.
void draw_outline(Canvas* canvas, Rgb colour, int thickness);
// Courses of bricks over the current picture, every other course shifted by
// half a brick; the mortar is whatever lies beneath. Each brick's shade
// differs by up to vary, chosen from seed.
void lay_bricks(Canvas* canvas, Rgb colour, int course, int length, int mortar, int vary, int seed);
// Darkens the bottom rows and lightens the top row of every brick laid by the
// same course and length, so that the bricks stand out of the mortar.
void bevel_bricks(Canvas* canvas, int course, int length, int mortar, int amount);
// Smooth light and dark patches of up to amount, on a lattice of cell pixels.
void add_mottle(Canvas* canvas, int amount, int cell, int seed);
// Independent per-pixel brightness noise of up to amount.
void add_speckle(Canvas* canvas, int amount, int seed);
// count short upright strokes of length pixels at places chosen from seed.
void scatter_blades(Canvas* canvas, Rgb colour, int count, int length, int seed);

// The generator's own deterministic hash of three numbers.
uint32_t hash3(uint32_t a, uint32_t b, uint32_t c);
