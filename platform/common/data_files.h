// Where data files are looked for. Tests that need a folder without any
// pictures turn off the places found from the executable: beside it, and
// the installed data folder.
#pragma once

void data_files_search_beside_executable(bool enabled);
