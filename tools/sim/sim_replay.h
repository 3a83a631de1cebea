// varnhold-sim --replay: a replay played through the rule steps without a
// window, each deal's outcome and every digest checked.
#pragma once

#include <cstdint>

// Prints the report on stdout and, on anything but a replay whose digests
// all match to its end, one line on stderr. Returns the exit code: 0 when
// all match, 1 otherwise (unreadable, damaged, cut off, or parting).
int check_replay(const char* path);

// varnhold-sim --replay FILE --seek F...: seeks to each frame in turn (the
// last one for "end") as the viewer does, and prints where each landed, the
// digests checked and the state there, and how long it took. Exit code 0
// when every seek landed on its frame with every digest matching.
constexpr int sim_most_seeks = 64;
constexpr uint64_t sim_seek_to_end = UINT64_MAX;
int seek_in_replay(const char* path, const uint64_t* frames, int count);
