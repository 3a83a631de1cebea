// Where the game's data files are found on Windows: the working directory
// first, then the folder of the executable; only ever opened for reading.
#pragma once

#include <cstddef>

// Writes into path (of path_size bytes) the first place where the data file
// exists, with Windows separators. False when it is in neither place.
bool win32_find_data_file(const char* relative_path, char* path, size_t path_size);
