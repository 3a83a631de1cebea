// Windows entry: the same whole program as on Linux; the process ends with
// the wParam of the last message the loop took, as a Windows program does,
// or with 1 when the game could not start.
#include <windows.h>

#include <cstdlib>

#include "app/main_loop.h"
#include "app/network_game.h"
#include "app/options.h"
#include "app/replay_window.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    GameOptions options;
    int exit_code = 0;
    if (handle_command_line(__argc, __argv, &options, &exit_code)) return exit_code;
    if (options.replay_path) return watch_replay(options);
    if (options.host || options.join) return run_network_game(options);
    if (run_game(options) != 0) return 1;
    return win32_last_message_wparam();
}
