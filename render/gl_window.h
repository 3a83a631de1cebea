// The game's window with its GL context: start-up in its fixed order,
// teardown in reverse, and the projection on resize.
#pragma once

bool open_window(const char* title, int width, int height, int bits);
void close_window();
void set_start_projection(int width, int height);
void resize_view(int width, int height);
// The pictures and the GL state. Null when the scene is ready; else the
// message start-up shows before it ends, with whatever was taken left for
// close_window. The world starts on its own (game/world_start.h).
const char* init_scene();
