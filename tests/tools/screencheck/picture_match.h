// How much of a picture file a screen dump shows: where the overlay put it,
// or anywhere by the colours only the picture's family uses.
#pragma once

#include "xwd_image.h"

// Per thousand of the picture's lit pixels (neither black nor the key
// colour, both see-through) that the screen shows in their own colour with
// the picture's bottom-left corner at overlay (x, y). -1 when the picture
// cannot be read.
int picture_shown_per_mille(const XwdImage& screen, int x, int y, const char* bmp_path);

// Screen pixels whose colour the first pictures use and none of the others
// does: how much of those pictures is on the screen, drawn at any place or
// size. -1 when a picture cannot be read.
int pixels_in_own_colours(const XwdImage& screen, const char* const* own, int own_count, const char* const* others,
                          int other_count);
