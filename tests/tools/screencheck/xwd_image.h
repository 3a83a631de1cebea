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
