// Where data files are looked for. Tests that need a folder without any
// pictures turn off the second place, beside the executable.
#pragma once

void data_files_search_beside_executable(bool enabled);
