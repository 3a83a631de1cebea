// The one contract between the game and the machine it runs on: window and
// GL context, events, keyboard and cursor, message boxes, time, sound, files.
#pragma once

#include <cstdint>
#include <cstdio>

// ---- Window and GL context -------------------------------------------------
// Each start-up step is its own call so that the caller can name the step
// that failed, and each teardown step reports whether it succeeded: the
// caller shows the one message of each failure; a backend shows none itself.

// How the next window shows the game's picture: enlarged by scale (0: the
// largest whole factor that suits the desktop), and whether it starts full
// screen. Alt+Enter switches between full screen and the window later.
void platform_request_display(int scale, bool full_screen);
// Connects to the screen the window will open on. False when there is none
// that shows a window (no box could show either): the backend has then said
// in one line on stderr what the game needs, and the game ends.
bool platform_open_display();
// Start-up, in this order. The window class (on Windows; elsewhere the
// window system it stands for).
bool platform_register_window_class();
// A borderless window at the screen's top-left corner for a picture of
// width x height, enlarged as requested, double buffered with a depth buffer
// of depth_bits, not yet shown. Whatever its real size, the game draws
// width x height: sizes and mouse positions in events are the picture's.
bool platform_create_window(const char* title, int width, int height, int depth_bits);
// The window's device context, then a double-buffered RGBA pixel format
// with that depth buffer: found, then set on it.
bool platform_get_device_context();
bool platform_choose_pixel_format();
bool platform_set_pixel_format();
// The GL rendering context for that window.
bool platform_create_gl_context();
// Makes the context current on this thread.
bool platform_make_gl_current();
// Shows the window, raises it and gives it the keyboard focus.
void platform_show_window();
// Presents the back buffer.
void platform_swap_buffers();
// Teardown, in this order; each returns false when the step failed.
bool platform_release_gl_current();
bool platform_delete_gl_context();
bool platform_release_device_context();
bool platform_destroy_window();
bool platform_unregister_window_class();

// Moves the window so that its top-left corner is at (x, y) in screen
// coordinates, with the given picture size (enlarged as the window is).
// Full screen stays where it is.
void platform_move_window(int x, int y, int width, int height);
// Shows or hides the mouse cursor over the window.
void platform_show_cursor(bool visible);

// ---- Events ------------------------------------------------------------------
enum PlatformEventType {
    platform_event_none = 0,
    platform_event_quit,         // the window was closed
    platform_event_key_down,     // key: Windows virtual-key code
    platform_event_key_up,
    platform_event_mouse_move,   // x, y: picture pixels from the top-left corner
    platform_event_button_down,  // button: 0 left, 1 middle, 2 right
    platform_event_button_up,
    platform_event_minimized,
    platform_event_restored,
    platform_event_resized,      // x, y: the picture's width and height
    platform_event_other,        // anything else; the loop still spends its pass on it
};

struct PlatformEvent {
    PlatformEventType type;
    int key;
    int button;
    int x;
    int y;
};

// Takes at most one waiting event. Returns false when none waits.
bool platform_poll_event(PlatformEvent* event);

// ---- Keyboard and cursor, read directly --------------------------------------
// True while the key with this Windows virtual-key code is down right now
// (0x10, Shift, means either shift key).
bool platform_key_down(int vk);
// The cursor position in screen coordinates.
void platform_cursor_screen_position(int* x, int* y);

// ---- Messages ------------------------------------------------------------------
// What a message is; the backend picks its buttons and icon from this alone.
enum PlatformMessageKind {
    platform_message_error,     // a start-up step failed (OK)
    platform_message_stop,      // the game gives up at the player's word (OK)
    platform_message_question,  // yes or no
    platform_message_notice,    // something failed and the game goes on, as teardown does (OK)
};
// A modal message; the same caption and text also go to stderr. True only
// when a question was answered yes.
bool platform_message_box(PlatformMessageKind kind, const char* caption, const char* text);

// ---- Time ---------------------------------------------------------------------
void platform_sleep_ms(int milliseconds);
// Calendar time in whole seconds.
int64_t platform_calendar_seconds();

// ---- Sound ----------------------------------------------------------------------
// Starts playing a wave file without waiting for it; a new play replaces the
// one still sounding. A missing or unreadable file is silent.
// relative_path uses '/' and is resolved like platform_open_data_file.
void platform_play_wave_async(const char* relative_path);

// ---- Data files -------------------------------------------------------------------
// Opens a data file for reading only (never creating it): relative_path uses
// '/' between folders and is looked up in the working directory first, then
// beside the executable. Null when it is in neither place.
std::FILE* platform_open_data_file(const char* relative_path);
