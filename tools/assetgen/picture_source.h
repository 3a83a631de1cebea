// Picture sources: a palette of characters and the drawing lines that make
// one picture, read and drawn in the order they are written.
#pragma once

#include <string>

#include "tools/assetgen/canvas.h"

// Draws the picture that the source file describes. False, with a message
// naming the file and the line, when the source is malformed.
bool draw_picture_source(const std::string& path, Canvas* canvas, std::string* error);
