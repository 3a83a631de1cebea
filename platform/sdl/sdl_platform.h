// The platform contract on SDL2: a borderless OpenGL window, its events
// turned into the game's events, the keyboard, cursor, boxes, time and sound.
#pragma once

#include <SDL.h>

#include "platform/platform.h"

// The game's view of one SDL event; whatever the game does not know
// becomes platform_event_other, so that it still costs the loop a pass.
void sdl_translate_event(const SDL_Event& sdl_event, PlatformEvent* event);
