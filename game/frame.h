// One frame of the game: pace, camera, world and units drawn, rules advanced
// on both sides' commands, the view moved by its player's input, text
// written, overlay presented.
#pragma once

#include "game/pass_input.h"
#include "game/side_command.h"
#include "game/view.h"
#include "render/world_drawing.h"

// The frame seen through view, whose player's input is input. Always true.
// The game draws its world batched; benchmarks time whole frames both ways.
bool run_frame(const FrameCommands& commands, View* view, const PassInput& input,
               WorldDrawing way = WorldDrawing::batched);
// The pause a frame makes first, set by the pace keys: 0, 6, 12 or 18 ms.
int frame_pause_ms();
// The same steps without the drawing: for frames nobody will see.
void run_frame_undrawn(const FrameCommands& commands, View* view, const PassInput& input);
// The frame's picture of the game as it stands, drawn again without
// advancing or reading anything: for a replay that stops between the
// frames it shows.
void draw_still_frame(const View& view);
