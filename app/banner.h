// Lines of the program's own over the picture the window shows (a replay's
// end, a network game's lobby and its waits), white on a black band.
#pragma once

// Up to banner_most_lines lines from the band's top down (banner_tallest
// for a list); the band is as tall as they need. Draws over what the frame left, without clearing it.
constexpr int banner_most_lines = 6;
// A list (the games on the LAN) may take more: the band then rises higher.
constexpr int banner_tallest = 12;
// Characters of a line that fit in the picture right of the band's margin.
constexpr int banner_columns = 75;
void draw_banner(const char* const* lines, int count);
// Breaks text into lines of at most banner_columns characters, at spaces
// where it can, into rows of row_size bytes each; returns how many, at
// most most_rows (the rest is dropped).
int wrap_banner_text(const char* text, char* rows, int row_size, int most_rows);
