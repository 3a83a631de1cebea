// Where the game keeps what it writes for the player (saves beside the
// replays, under the user's data home) and how saves are named and kept.
#pragma once

#include <cstddef>

// The newest this many autosaves are kept; a save the player made is never removed.
constexpr int autosaves_kept = 10;

// $XDG_DATA_HOME/varnhold/LEAF (~/.local/share/... when it is unset or not
// absolute; on Windows %APPDATA%\varnhold\LEAF). False when there is none.
bool user_data_folder(const char* leaf, char* folder, size_t size);
// The local date and time as "YYYY-MM-DD_HH-MM-SS"; false when unknown.
bool date_stamp(char* stamp, size_t size);

// "save_YYYY-MM-DD_HH-MM-SS.vsv" or "autosave_...", with "-N" before the
// extension when two come in the same second, and then "-empire1" when the
// player who saved it played empire 1 of a network game.
bool is_save_name(const char* name, bool autosave);
// Saves the game as it stands under a new dated name in the saves folder
// (made when missing), written whole or not at all; an autosave then
// removes the oldest autosaves beyond autosaves_kept. `side` is the empire
// the player plays (1 only in a network game), kept in the name. True with
// the file's path; false with one line in error (no newline; error_size bytes).
bool save_game(bool autosave, int side, char* path, size_t path_size, char* error, size_t error_size);
// The empire the player who saved the file at path played, by its name:
// whoever hosts that network game again keeps that side. No save (null): 0.
int saved_side(const char* path);
// The newest save or autosave in the saves folder, by the time in its name.
bool newest_save(char* path, size_t size);
