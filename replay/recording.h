// The game's own recording: the loop feeds it once a pass with what the
// rules read from outside the world, and it keeps the replay file.
#pragma once

#include <cstdint>

// Where this game is kept: record_path when given, else a new file named
// by date and time in the replay folder (the oldest beyond the newest 50
// removed), or nowhere with no_record. Call after the first deal. A replay
// that cannot be written costs one line on stderr and never stops the game.
void start_recording(const char* record_path, bool no_record);
// Around each pass that runs a frame or the view keys (not event passes).
void record_pass_begins();
void record_pass_ends();
// Writes the end with the state as the game leaves it.
void stop_recording();
// The file being written, or null.
const char* recording_path();
// Frames recorded so far.
uint64_t recorded_frames();
