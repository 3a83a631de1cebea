// Process entry: the command line, then the whole program in run_game, so
// that tests can run the very same loop on the headless backend.
#include "app/main_loop.h"
#include "app/options.h"

int main(int argc, char** argv) {
    GameOptions options;
    int exit_code = 0;
    if (handle_command_line(argc, argv, &options, &exit_code)) return exit_code;
    return run_game(options);
}
