// One frame of the game: pace, camera, world and units drawn, rules advanced,
// text written, overlay presented. Always returns true.
#pragma once

bool run_frame();
