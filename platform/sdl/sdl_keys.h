// The SDL keyboard seen through Windows virtual-key codes, the codes the
// game's key table and its direct key tests are written in.
#pragma once

#include <SDL.h>

// The virtual-key code of an SDL key, 0 for keys the game has no code for.
int vk_from_sdl_keycode(SDL_Keycode keycode);
// The scancodes that make up a virtual key (two for Shift, Control and Alt:
// either side counts). Returns how many were written into scancodes (0 to 2).
int sdl_scancodes_for_vk(int vk, SDL_Scancode scancodes[2]);
