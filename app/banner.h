// Lines of the program's own over the picture the window shows (a replay's
// end, a network game's lobby and its waits), white on a black band.
#pragma once

// Up to banner_most_lines lines from the band's top down; the band is as
// tall as they need. Draws over what the frame left, without clearing it.
constexpr int banner_most_lines = 6;
void draw_banner(const char* const* lines, int count);
