// The platform contract on plain Win32: a WS_POPUP window of class "OpenGL"
// with a WGL context, its messages, the keyboard, boxes, Sleep and PlaySoundA.
#pragma once

#include "platform/platform.h"

// The wParam of the last message the loop took from the queue (0 until it
// took one, and 0 from the quit message of a closed window): the process's
// exit code.
int win32_last_message_wparam();
