#include "app/main_loop.h"

#include "app/game_window.h"
#include "app/input_state.h"
#include "app/window_procedure.h"
#include "game/person_pass.h"
#include "game/view.h"
#include "platform/platform.h"
#include "replay/recording.h"

bool run_loop_pass() {
    PlatformEvent event;
    if (platform_poll_event(&event)) {
        if (event.type == platform_event_quit) return true;
        window_procedure(event);
        return false;
    }
    PassInput input;
    read_pass_input(&input);
    const FrameCommands commands = person_commands(input, local_view);
    const bool done = run_person_pass(pass_in_window, commands, input, &local_view);
    if (input.frame_runs) record_game_frame(commands);
    return done;
}

int run_main_loop() {
    bool done = false;
    while (!done) done = run_loop_pass();
    return 0;
}

int run_game(const GameOptions& options) {
    // The enlarged window and the desktop-sized full screen are the
    // platform's display.
    platform_request_display(options.scale, options.fullscreen);
    const uint32_t seed =
        options.has_seed ? options.seed : static_cast<uint32_t>(platform_calendar_seconds());
    // The window has shown why it could not start; a shell must read the end as a failure.
    if (!open_game_window(seed)) return 1;
    start_recording(options.record_path, options.no_record);
    const int exit_code = run_main_loop();
    stop_recording();
    close_game_window();
    return exit_code;
}
