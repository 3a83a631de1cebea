// The window procedure: each event the loop takes becomes the input state
// (keys, buttons, mouse position, active flag) or a new viewport.
#pragma once

#include "platform/platform.h"

// One event. The quit event is the loop's own business and changes nothing here.
void window_procedure(const PlatformEvent& event);
