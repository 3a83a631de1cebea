// One frame of the game: pace, camera, world and units drawn, rules advanced,
// text written, overlay presented. Always returns true.
#pragma once

bool run_frame();
// The frame's picture of the game as it stands, drawn again without
// advancing or reading anything: for a replay that stops between the
// frames it shows.
void draw_still_frame();
