// Seeking in a replay both ways: snapshots of the game kept along the replay,
// each with the reader's place, so that a seek is a load and a few frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "replay/replay_player.h"
#include "state/snapshot.h"

// A replay's time is its frames at 60 a second, the pace a game is played at.
constexpr uint64_t seek_frames_per_second = 60;
// A point is kept every 10 s of the replay at first; when the points run
// out, every other one goes and the spacing doubles, so that the memory is
// fixed at open whatever the replay's length.
constexpr uint64_t seek_first_spacing = 10 * seek_frames_per_second;
constexpr int seek_most_points = 768;

// The game at frame place.frames, and where the player stood in the file.
struct SeekPoint {
    uint8_t snapshot[snapshot_bytes];
    ReplayPlace place;
};

struct ReplaySeek {
    SeekPoint* points;  // most_points of them, allocated at open
    int most_points;
    SeekPoint* aside;   // where the player was while the index went ahead
    int point_count;    // point i is at frame i * spacing
    uint64_t spacing;
    uint64_t length;    // the frames the file holds, read through at open
    bool indexed;       // the points go as far as the replay plays
};

// Call after replay_check_first_deal: reads the file through for its length,
// allocates most_points points (made even, at least 2; false when the
// memory is not there) and keeps the first, at frame 0.
bool seek_open(ReplaySeek* seek, ReplayPlayer* player, int most_points = seek_most_points);
void seek_close(ReplaySeek* seek);
// The bytes that many points take, allocated once at open.
size_t seek_memory_bytes(int most_points = seek_most_points);
// The frames a replay file holds: each pass that ran one (format 1) or each
// frame line and run, up to its end or to where it is cut or damaged.
uint64_t count_replay_frames(const char* path);

// After each pass played on from the last point: keeps a point when one is due.
void note_seek_point(ReplaySeek* seek, ReplayPlayer* player);
// The player at frame (at most the length): from the last point at or
// before it when it lies behind the player or past a point ahead, or when
// the player had stopped (at the end or a fault: it plays no further), then
// frame by frame through the rule steps, every digest on the way checked.
// replay_step_played when it is there; otherwise what stopped it short
// (the end, or where the replay parts, is cut or is damaged).
ReplayStep seek_to_frame(ReplaySeek* seek, ReplayPlayer* player, uint64_t frame, bool player_stopped);
// The index one spacing further than its last point, the player put back
// where it was: for a viewer with time to spare. Nothing once indexed.
void index_ahead(ReplaySeek* seek, ReplayPlayer* player);
