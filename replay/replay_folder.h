// Where the game keeps its replays: a folder of its own under the user's
// data home (never the data folders or the working directory).
#pragma once

#include <cstddef>

constexpr int replays_kept = 50;

// $XDG_DATA_HOME/varnhold/replays (~/.local/share/... when unset; on
// Windows %APPDATA%\varnhold\replays). False when there is none to name.
bool replay_folder(char* folder, size_t size);
// Makes the folder, names a new replay in it by the date and time, and
// removes the oldest of ours beyond the newest replays_kept, counting the
// new one. False, after one line on stderr, when there is no place for it;
// then nothing is removed.
bool new_replay_path(char* path, size_t size);
// Removes the oldest replays of ours in folder until at most keep remain.
// Other files, and folders or links of a replay's name, are never touched.
void prune_replays(const char* folder, int keep);
// Whether a file name is one this game gives its replays.
bool is_replay_name(const char* name);
