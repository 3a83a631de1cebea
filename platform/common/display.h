// How the game's fixed-size picture reaches a window or screen of any size:
// a whole enlargement factor, the picture centred with black around it, and
// the mouse mapped back into the picture. Shared by the real backends.
#pragma once

// Where the enlarged picture sits in the drawable (pixels, not points).
struct DisplayLayout {
    int picture_width, picture_height;    // the game's own picture
    int drawable_width, drawable_height;  // what the context really has
    int factor;                           // every picture pixel becomes factor x factor
    int left;                             // columns of black left of the picture
    int bottom;                           // rows of black below it (GL counts from the bottom)
    int top;                              // rows of black above it
};

// What the player asked for and what the window is now, held here once for
// every backend: the request is made before the window opens
// (platform_request_display), the rest is the backend's to keep as the
// window changes (Alt+Enter).
struct DisplayState {
    int requested_scale;                // the window's factor; 0 picks one from the desktop
    bool full_screen_requested;         // start full screen
    int picture_width, picture_height;  // the game's own picture
    int window_factor;                  // the window's whole factor, in points
    bool full_screen;                   // the window covers its desktop
};
extern DisplayState display_state;

// The largest whole factor whose window fits in 90 % of the usable desktop
// area (points); 1 when not even that fits.
int display_window_factor(int picture_width, int picture_height, int usable_width, int usable_height);

// A window about to open for a picture of this size, on a desktop whose
// usable area is this (0 x 0 when it cannot be known): its factor is the
// requested one, else the largest that fits; it opens as a window, full
// screen only once shown.
void display_window_opens(int picture_width, int picture_height, int usable_width, int usable_height);

// The largest whole factor that fits the drawable, the picture centred.
DisplayLayout display_layout(int picture_width, int picture_height, int drawable_width, int drawable_height);

// The picture is the whole drawable, pixel for pixel: nothing to enlarge.
bool display_is_identity(const DisplayLayout& layout);

// A point in window points (from the top-left corner) to the picture pixel
// under it, from the top-left corner; outside the picture it is clamped to
// the picture's edge. window_width and window_height are the window's size
// in points, which high-DPI desktops make smaller than the drawable.
void display_window_point_to_picture(const DisplayLayout& layout, int window_width, int window_height, int* x,
                                     int* y);

// ---- The step at the swap (GL, on the current context) --------------------------

// Once the context is current: the game's viewport is the picture's, whatever
// size the drawable has.
void display_start(int picture_width, int picture_height);
// Before the swap: the picture, drawn by the game in the drawable's
// bottom-left corner, enlarged into its place, and black around it. Does
// nothing while the layout is the identity. Leaves every GL state the game
// set as it was; while the picture is enlarged, the game's drawing is kept
// to the picture's corner by the scissor test.
void display_present(int drawable_width, int drawable_height);
// The layout the last present used (the identity before the first).
DisplayLayout display_current_layout();
// Before the context goes: forgets the texture that held the picture.
void display_stop();
