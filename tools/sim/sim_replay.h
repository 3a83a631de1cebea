// varnhold-sim --replay: a replay played through the rule steps without a
// window, each deal's outcome and every digest checked.
#pragma once

// Prints the report on stdout and, on anything but a replay whose digests
// all match to its end, one line on stderr. Returns the exit code: 0 when
// all match, 1 otherwise (unreadable, damaged, cut off, or parting).
int check_replay(const char* path);
