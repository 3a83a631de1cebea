#include "platform/sdl/sdl_keys.h"

namespace {

struct KeyPair {
    SDL_Keycode keycode;
    int vk;
};

// Keys outside the letter, digit and function-key runs.
const KeyPair named_keys[] = {
    {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09},       {SDLK_RETURN, 0x0D},    {SDLK_KP_ENTER, 0x0D},
    {SDLK_PAUSE, 0x13},     {SDLK_CAPSLOCK, 0x14},  {SDLK_ESCAPE, 0x1B},    {SDLK_SPACE, 0x20},
    {SDLK_PAGEUP, 0x21},    {SDLK_PAGEDOWN, 0x22},  {SDLK_END, 0x23},       {SDLK_HOME, 0x24},
    {SDLK_LEFT, 0x25},      {SDLK_UP, 0x26},        {SDLK_RIGHT, 0x27},     {SDLK_DOWN, 0x28},
    {SDLK_PRINTSCREEN, 0x2C}, {SDLK_INSERT, 0x2D},  {SDLK_DELETE, 0x2E},
    {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B}, {SDLK_KP_MINUS, 0x6D},  {SDLK_KP_PERIOD, 0x6E},
    {SDLK_KP_DIVIDE, 0x6F}, {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91},
    {SDLK_SEMICOLON, 0xBA}, {SDLK_EQUALS, 0xBB},    {SDLK_COMMA, 0xBC},     {SDLK_MINUS, 0xBD},
    {SDLK_PERIOD, 0xBE},    {SDLK_SLASH, 0xBF},     {SDLK_BACKQUOTE, 0xC0}, {SDLK_LEFTBRACKET, 0xDB},
    {SDLK_BACKSLASH, 0xDC}, {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
};

const SDL_Keycode keypad_digits[10] = {SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4,
                                       SDLK_KP_5, SDLK_KP_6, SDLK_KP_7, SDLK_KP_8, SDLK_KP_9};

// The virtual keys that stand for both keys of a pair.
bool both_sides_of(int vk, SDL_Scancode scancodes[2], int* count) {
    switch (vk) {
    case 0x10: scancodes[0] = SDL_SCANCODE_LSHIFT; scancodes[1] = SDL_SCANCODE_RSHIFT; break;
    case 0x11: scancodes[0] = SDL_SCANCODE_LCTRL; scancodes[1] = SDL_SCANCODE_RCTRL; break;
    case 0x12: scancodes[0] = SDL_SCANCODE_LALT; scancodes[1] = SDL_SCANCODE_RALT; break;
    case 0x0D: scancodes[0] = SDL_SCANCODE_RETURN; scancodes[1] = SDL_SCANCODE_KP_ENTER; break;
    default: return false;
    }
    *count = 2;
    return true;
}

// The one SDL key of a virtual key that has a single key, or SDLK_UNKNOWN.
SDL_Keycode keycode_from_vk(int vk) {
    if (vk >= 0x41 && vk <= 0x5A) return SDLK_a + (vk - 0x41);
    if (vk >= 0x30 && vk <= 0x39) return SDLK_0 + (vk - 0x30);
    if (vk >= 0x70 && vk <= 0x7B) return SDLK_F1 + (vk - 0x70);
    if (vk >= 0x60 && vk <= 0x69) return keypad_digits[vk - 0x60];
    for (const KeyPair& pair : named_keys)
        if (pair.vk == vk) return pair.keycode;
    return SDLK_UNKNOWN;
}

}  // namespace

int vk_from_sdl_keycode(SDL_Keycode keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 0x41 + (keycode - SDLK_a);
    if (keycode >= SDLK_0 && keycode <= SDLK_9) return 0x30 + (keycode - SDLK_0);
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return 0x70 + (keycode - SDLK_F1);
    for (int digit = 0; digit < 10; ++digit)
        if (keycode == keypad_digits[digit]) return 0x60 + digit;
    switch (keycode) {
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_LALT: case SDLK_RALT: return 0x12;
    default: break;
    }
    for (const KeyPair& pair : named_keys)
        if (pair.keycode == keycode) return pair.vk;
    return 0;
}

int sdl_scancodes_for_vk(int vk, SDL_Scancode scancodes[2]) {
    int count = 0;
    if (both_sides_of(vk, scancodes, &count)) return count;
    SDL_Keycode keycode = keycode_from_vk(vk);
    if (keycode == SDLK_UNKNOWN) return 0;
    // Through the keyboard layout, so that the key that sends a letter is
    // also the key that reads as down for it.
    SDL_Scancode scancode = SDL_GetScancodeFromKey(keycode);
    if (scancode == SDL_SCANCODE_UNKNOWN) return 0;
    scancodes[0] = scancode;
    return 1;
}
