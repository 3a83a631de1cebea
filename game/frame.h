// One frame of the game: pace, camera, world and units drawn, rules advanced,
// text written, overlay presented. Always returns true.
#pragma once

#include "render/world_drawing.h"

// The game draws its world batched; benchmarks time whole frames both ways.
bool run_frame(WorldDrawing way = WorldDrawing::batched);
// The frame's picture of the game as it stands, drawn again without
// advancing or reading anything: for a replay that stops between the
// frames it shows.
void draw_still_frame();
