// What the player reads: status lines or help, the intro picture, and the
// end-of-game lines, all written into the overlay for the view's side.
#pragma once

#include "game/view.h"

// The lines and pictures, changing nothing.
void draw_screens(const View& view);
