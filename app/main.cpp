// Process entry: the command line, then a game, a network game or a replay
// watched, so that tests can run the very same loops on the headless backend.
#include "app/main_loop.h"
#include "app/network_game.h"
#include "app/options.h"
#include "app/replay_window.h"

int main(int argc, char** argv) {
    GameOptions options;
    int exit_code = 0;
    if (handle_command_line(argc, argv, &options, &exit_code)) return exit_code;
    if (options.replay_path) return watch_replay(options);
    if (options.host || options.join) return run_network_game(options);
    return run_game(options);
}
