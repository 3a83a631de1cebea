// What rule and screen tests share: a world on the headless backend with a
// flat open map and the search object, units placed by hand, the count of
// draws a step makes, and lines of large text read back from pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "world/records.h"

// Arrays allocated and zeroed, map flat and open, path_search created, input
// released, clock, flags, selection, help and view centre (32, 32) reset.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Fills one slot as the deal would (mobility 2 for a mine, attack 4, gold
// 1.0) and returns it for further changes.
Unit& place_unit(int slot, int owner, int kind, int x, int y);
// Seeds the generator, runs the step and returns how many draws it made.
int draws_made(uint32_t seed, const std::function<void()>& step);

// The large-font text whose glyph cells start at (x, y), read from a
// 640 x 480 RGBA buffer (the overlay or the screen) where text is white;
// cells that match no glyph read as '?'. Reading stops at two blank cells.
std::string text_at(const uint8_t* rgba, int x, int y);
