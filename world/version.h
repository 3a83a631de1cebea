// The game's one version, as the build was configured with it: the number a
// replay or a peer compares with its own, and the line --version prints.
#pragma once

// The number alone: "1.1.0".
const char* game_version();
// The program and its number: "varnhold 1.1.0".
const char* version_text();
