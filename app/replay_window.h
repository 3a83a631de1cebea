// Watching a replay in the window: the recorded passes driven through the
// game's own frame and view keys, paced and steered by the viewer's keys.
#pragma once

#include "app/options.h"

// Space pauses, + and - step the speed (1/4x to 8x, then as fast as it
// goes), , . [ ] Home and End seek (replay/replay_seek.h), T takes over
// (app/take_over.h), as --take-over-at does at once, Escape leaves. A file
// that cannot be watched is a message box and exit code 1; a replay that
// parts from the game, is cut off or damaged stops there with a line on
// screen and on stderr, and exits 1 once left (unless taken over: then the
// game's own exit code). The replay is options.replay_path.
int watch_replay(const GameOptions& options);
