// The game's version, the one the build was configured with: its
// --version, its package, its replays and its network hello alike.
#pragma once

// "1.1.0", the number alone.
const char* game_version();
// "varnhold 1.1.0".
const char* version_text();
