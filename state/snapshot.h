// Snapshots: the shared state as bytes and as files, written whole, and read
// back as hostile input: every field checked before anything is swapped in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "state/shared_state.h"

// A snapshot (docs/snapshots.md) is a fixed 16-byte head (the magic, the
// version, the size), the fields of the shared state in the digest's order
// and widths, and the digest of that state. Every snapshot of a version has
// the same size.
constexpr int snapshot_version = 1;
constexpr int snapshot_head_bytes = 16;
constexpr int snapshot_bytes = snapshot_head_bytes + shared_state_bytes + 8;
// Room for the one line that says why a snapshot was refused.
constexpr int snapshot_error_capacity = 512;

// The game's state as it is now, as snapshot_bytes bytes.
void snapshot_to_bytes(uint8_t* bytes);
// Reads a snapshot into *state without touching the game. False, with one
// line in error (no newline, at most snapshot_error_capacity bytes), when
// the size, the magic, the version, any field's bounds or the digest is
// wrong; *state is then unspecified.
bool read_snapshot(const uint8_t* bytes, size_t size, SharedState* state, char* error);
// read_snapshot, then the state swapped in whole. On false the game in
// progress is as it was.
bool load_snapshot(const uint8_t* bytes, size_t size, char* error);

// The state now into a file: written beside it under another name, flushed
// to the disk, then renamed over it, so that a crash or a full disk leaves
// the file as it was before or whole. False with one line in error (naming
// the file) when it could not be written; nothing is left behind.
bool save_snapshot_file(const char* path, char* error);
// The file read (at most one byte past a snapshot's size) and checked as
// read_snapshot does; the line in error names the file.
bool read_snapshot_file(const char* path, SharedState* state, char* error);
// read_snapshot_file, then the state swapped in whole, or nothing changed.
bool load_snapshot_file(const char* path, char* error);

// A state kept only in this program's memory (a viewer's points to seek
// back to) needs no bytes: capture_shared_state and apply_shared_state
// (state/shared_state.h) hold the same fields, and digest_of_state
// (state/state_digest.h) checks one against a replay's digest.
