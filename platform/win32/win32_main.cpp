// Windows entry: the same whole program as on Linux; the process ends with
// the wParam of the last message the loop took, as a Windows program does.
#include <windows.h>

#include "app/main_loop.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    run_game();
    return win32_last_message_wparam();
}
