// The game's shared state beside the arrays: the view, the frame clock,
// the selection, the help toggle and the end-of-game flags.
#pragma once

#include <cstdint>

// View. The values in the data are the start-up ones; every new game
// resets zoom, pitch, yaw, spin and the scroll position.
extern float camera_zoom;
extern float camera_pitch;
extern float camera_yaw;
extern float camera_spin;
extern int32_t map_sx;
extern int32_t map_sy;

// Edge of a unit's picture in world units (F2 to F4) and the frame delay
// step (F5 to F8); both survive a new game.
extern float unit_size;
extern int32_t game_speed;

// Frames since the last new game; every periodic rule counts from it.
extern int32_t frame_counter;

// The unit that takes the player's orders; survives a new game.
extern int32_t selected_unit;
// Non-zero while the help text replaces the status lines.
extern int32_t help_visible;

// End of game: set by the census, cleared by a new game.
extern int32_t empire_0_won;
extern int32_t empire_1_won;
extern int32_t tie;

// The picture sizes of F2, F3 and F4, as single-precision bit patterns:
// one unit in the last place under 1.6 and 3.2, and the float nearest 0.96.
extern const float unit_size_small;
extern const float unit_size_normal;
extern const float unit_size_large;

// True while any end-of-game flag is set.
bool game_over();
