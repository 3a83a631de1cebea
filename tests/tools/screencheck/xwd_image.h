// A screen dump in the X window dump format, read into plain RGB rows with
// row 0 at the top, as the dump stores them.
#pragma once

#include <cstdint>

struct XwdImage {
    int width;
    int height;
    uint8_t* rgb;  // width * height * 3, top row first
};

// False (and an empty image) when the file is missing, truncated or in a
// layout other than true-colour pixels of 16, 24 or 32 bits.
bool read_xwd(const char* path, XwdImage* image);
void release_xwd(XwdImage* image);

// The game's picture of width x height as the dump holds it enlarged by
// factor with its top-left corner at (left, top): one pixel of each block,
// the block's top-left one. False when the picture does not lie in the dump.
bool take_picture(const XwdImage& screen, int left, int top, int factor, int width, int height,
                  XwdImage* picture);
// Blocks of factor x factor pixels of that picture holding more than one colour.
int mixed_blocks(const XwdImage& screen, int left, int top, int factor, int width, int height);
// Pixels that are not black outside the rectangle (left, top, width, height).
int lit_pixels_outside(const XwdImage& screen, int left, int top, int width, int height);
