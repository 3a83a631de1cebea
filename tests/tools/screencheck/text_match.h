// How well a line of large-font text, drawn by the game's own draw_text,
// matches what a screen dump of the window shows at the same place.
#pragma once

#include "xwd_image.h"

struct TextMatch {
    int ink;      // pixels the text puts ink on
    int missing;  // of those, the ones not white on the screen
    int stray;    // white screen pixels in the text's box where the text has no ink
};

// x, y in overlay coordinates (from the window's bottom-left corner).
TextMatch match_text(const XwdImage& screen, int x, int y, const char* text);
