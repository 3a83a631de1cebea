// The local player's view: camera, scroll, picture size, help page and the
// cursor's place on the window, and the steps that move them. No rule reads
// a view; each player has their own.
#pragma once

#include <cstdint>

#include "game/pass_input.h"

struct View {
    int side;  // the side whose player looks through this view
    float camera_zoom;
    float camera_pitch;
    float camera_yaw;
    float camera_spin;
    int32_t map_sx;  // the map tile at the centre of the drawn area
    int32_t map_sy;
    float unit_size;       // edge of a unit's picture in world units (F2 to F4)
    int32_t help_visible;  // non-zero while the help replaces the status lines
    int32_t cursor_dx;     // the cursor tile's offsets from (map_sx, map_sy)
    int32_t cursor_dy;
    uint32_t deals_seen;   // the deals this view has followed
};

// The picture sizes of F2, F3 and F4, as single-precision bit patterns:
// one unit in the last place under 1.6 and 3.2, and the float nearest 0.96.
extern const float unit_size_small;
extern const float unit_size_normal;
extern const float unit_size_large;

// The window's own view, of side 0 unless the game says otherwise.
extern View local_view;

// A view as the program starts with it, looking at side's game.
View start_view(int side);
// After a deal the camera and the scroll go back to the opening view.
void follow_deal(View* view);

// The cursor tile's offsets for a mouse column and row: the window maps onto
// 40 x 40 tiles around the view centre, whatever the camera does.
int32_t cursor_offset_for_column(int32_t column);
int32_t cursor_offset_for_row(int32_t row);

// The view's steps within a frame, in the frame's order.
void spin_by_mouse(View* view, const PassInput& input);
void aim_cursor(View* view, const PassInput& input);
void apply_picture_size(View* view, const PassInput& input);
// At a census, Backspace centres near this side's first unit, 0 near the other's.
void jump_at_census(View* view, const PassInput& input);
void toggle_help(View* view, const PassInput& input);
void close_help_when_over(View* view);
// The keys read after each swap: zoom, E, camera turns and the scroll.
void apply_view_keys(View* view, const PassInput& input);
