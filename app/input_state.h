// What the window procedure keeps of the player's input: keys and buttons
// as the events reported them, the mouse position, and whether frames run;
// and that input read once per loop pass for the view and the command.
#pragma once

#include <cstdint>

#include "game/pass_input.h"

extern uint8_t keys[256];         // 1 while the virtual key is down, per the events
extern int32_t mouse_buttons[3];  // 0 left, 1 middle, 2 right
extern int32_t mouse_x;           // client pixels from the left edge
extern int32_t mouse_y;           // client pixels from the top edge
extern uint8_t window_active;     // 0 while minimised: no frames run

// The pass's input: the key table and the buttons as the events left them,
// the keys the view and the command read, taken from the keyboard directly
// once so that the whole pass sees one keyboard, the cursor's offsets from
// the mouse, and F1's deal seeded from the calendar clock.
void read_pass_input(PassInput* input);
