#include "world/version.h"

#ifndef VARNHOLD_VERSION
#error "the build gives VARNHOLD_VERSION, the one version of the game and its package"
#endif

const char* game_version() { return VARNHOLD_VERSION; }

const char* version_text() { return "varnhold " VARNHOLD_VERSION; }
