// Writing a replay as the game goes: the header, one line per loop pass
// with only what changed, the digests, and the end; flushed regularly.
#pragma once

#include <cstdint>
#include <cstdio>

#include "replay/replay_format.h"
#include "replay/state_digest.h"

struct ReplayWriter {
    std::FILE* file;
    const char* path;         // as given to writer_open; kept by the caller
    bool failed;              // a write failed: nothing more is written
    PassInput last;           // the inputs of the last pass written
    uint32_t pending_run;     // passes like the last one, not yet written
    int lines_since_flush;
    uint32_t file_hash;       // of every byte written so far
};

// Creates (or empties) the file and writes the header. On failure one line
// on stderr says why and the writer stays closed.
bool writer_open(ReplayWriter* writer, const char* path, const char* game_version, uint32_t first_seed);
bool writer_is_open(const ReplayWriter& writer);
// One pass: what changed since the last pass, or one more in a run.
void writer_pass(ReplayWriter* writer, const PassInput& input);
// The state after a census pass; flushes the file.
void writer_digest(ReplayWriter* writer, uint64_t frame, const StateDigest& digest);
// The end, with the state as the game left it; closes the file.
void writer_close(ReplayWriter* writer, uint64_t frame, const StateDigest& digest);
// Closes without an end line, as a crash would leave the file.
void writer_abandon(ReplayWriter* writer);

// The pass line's text (without "p" and newline) for the changes from
// before to now; returns its length. text holds replay_line_capacity bytes.
int encode_pass_changes(const PassInput& before, const PassInput& now, char* text);
