// Writing a replay as the game goes: the header, one line per frame with
// only what changed in the sides' commands, the digests, and the end;
// flushed regularly.
#pragma once

#include <cstdint>
#include <cstdio>

#include "replay/replay_format.h"
#include "state/state_digest.h"

struct ReplayWriter {
    std::FILE* file;
    const char* path;         // as given to writer_open; kept by the caller
    bool failed;              // a write failed: nothing more is written
    FrameCommands last;       // the commands of the last frame written
    uint32_t pending_run;     // frames like the last one, not yet written
    int lines_since_flush;
    uint32_t file_hash;       // of every byte written so far
};

// Creates (or empties) the file and writes the header: a game that starts
// from the deal of first_seed, or from snapshot (snapshot_bytes bytes) when
// one is given. On failure one line on stderr says why and the writer stays
// closed.
bool writer_open(ReplayWriter* writer, const char* path, const char* game_version, uint32_t first_seed,
                 const ReplayGame& game, const uint8_t* snapshot = nullptr);
bool writer_is_open(const ReplayWriter& writer);
// One frame: what changed since the last frame, or one more in a run.
void writer_frame(ReplayWriter* writer, const FrameCommands& commands);
// What a side said, shown once the frame just written ran. Text that is
// not 1 to replay_chat_capacity printable characters is not written.
void writer_chat(ReplayWriter* writer, int side, const char* text);
// The state after a census frame; flushes the file.
void writer_digest(ReplayWriter* writer, uint64_t frame, const StateDigest& digest);
// The end, with the state as the game left it; closes the file.
void writer_close(ReplayWriter* writer, uint64_t frame, const StateDigest& digest);
// Closes without an end line, as a crash would leave the file.
void writer_abandon(ReplayWriter* writer);

// The frame line's text (without "f" and newline) for the changes from
// before to now; returns its length. text holds replay_line_capacity bytes.
int encode_frame_changes(const FrameCommands& before, const FrameCommands& now, char* text);
