// The window and the world started together, for a game or a replay
// watched, and torn down together.
#pragma once

#include <cstdint>

// Window, pictures and GL state, then the world dealt first from seed, and
// the local view on that deal. False (the message shown, everything
// released) when either cannot start.
bool open_game_window(uint32_t first_seed);
void close_game_window();
