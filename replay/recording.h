// The game's own recording: the loop feeds it once a frame with both sides'
// commands, and it keeps the replay file with the digests of the census.
#pragma once

#include <cstdint>

#include "game/side_command.h"
#include "replay/replay_format.h"

// Where this game is kept: record_path when given, else a new file named
// by date and time in the replay folder (the oldest beyond the newest 50
// removed), or nowhere with no_record. Call after the first deal, or after
// a snapshot was loaded: the replay then starts from the game as it stands
// (from_snapshot). A replay that cannot be written costs one line on stderr
// and never stops the game.
void start_recording(const char* record_path, bool no_record, const ReplayGame& game = game_at_home(),
                     bool from_snapshot = false);
// After each frame, the commands it ran on.
void record_game_frame(const FrameCommands& commands);
// After a frame: what a side said at it.
void record_chat(int side, const char* text);
// Writes the end with the state as the game leaves it.
void stop_recording();
// The file being written, or null.
const char* recording_path();
// Frames recorded so far.
uint64_t recorded_frames();
