// What the rule, screen and frame tests share: a world on the headless
// backend, units placed by hand, large text read from pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/input_state.h"
#include "platform/headless/headless_platform.h"
#include "world/game_state.h"
#include "world/random.h"
#include "world/unit_kinds.h"
#include "world/world_arrays.h"

// Arrays zeroed, map flat and open, path_search created, input released,
// clock, flags, selection and help reset, view centre (32, 32).
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// One living unit in the slot, at full health (mobility 2 for a mine, else 1).
Unit& place_unit(int slot, int owner, int kind, int x, int y);
// The white large-font text whose cells start at (x, y) in a 640 x 480 RGBA
// buffer (overlay or screen); '?' for a cell that is no glyph; reading
// stops at two blank cells.
std::string text_at(const uint8_t* rgba, int x, int y);
