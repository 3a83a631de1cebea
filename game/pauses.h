// The pauses that pace the game and debounce held keys (the frame delay,
// the scroll, E and H): slept in play, counted while a replay is watched.
#pragma once

#include <cstdint>

void pause_ms(int milliseconds);
// Set while a replay is watched: pauses add to counted_pause_ms instead, and
// the viewer keeps its own pace from the count.
extern bool pauses_counted;
extern int64_t counted_pause_ms;
