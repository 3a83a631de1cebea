#include "app/main_loop.h"

#include "app/game_window.h"
#include "app/input_state.h"
#include "app/saving.h"
#include "app/window_procedure.h"
#include "game/person_pass.h"
#include "game/screens.h"
#include "game/view.h"
#include "platform/platform.h"
#include "replay/recording.h"
#include "world/game_state.h"

namespace {

// The side the person goes on playing: the one a person played in the save
// when it was one side alone (a game taken over on side 1 stays on side 1),
// else side 0.
int continued_side(const SharedState& saved) {
    return saved.person[1] && !saved.person[0] ? 1 : 0;
}

// The saved game in place of the one just dealt, at home whoever played it:
// the person on their side, the computer on the other; the view as after a deal.
void continue_saved_game(const SharedState& saved, int side) {
    apply_shared_state(saved);
    note_continued_save();
    for (int s = 0; s < side_count; ++s) side_played_by_person[s] = s == side ? 1 : 0;
    local_view = start_view(side);
    follow_deal(&local_view);
}

}  // namespace

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
    if (save_key_offered) save_on_key(input);
    return done;
}

int run_main_loop() {
    bool done = false;
    while (!done) done = run_loop_pass();
    return 0;
}

int run_game(const GameOptions& options) {
    // A save is read and checked whole before any window: a broken one ends here.
    static SharedState saved;
    const bool continuing = options.load_path || options.continue_newest;
    if (continuing && !read_save_to_continue(options, &saved)) return 1;
    // The enlarged window and the desktop-sized full screen are the
    // platform's display.
    platform_request_display(options.scale, options.fullscreen);
    uint32_t seed = options.has_seed ? options.seed : static_cast<uint32_t>(platform_calendar_seconds());
    if (continuing) seed = saved.deal_seed;
    // The window has shown why it could not start; a shell must read the end as a failure.
    if (!open_game_window(seed)) return 1;
    ReplayGame recorded = game_at_home();
    if (continuing) {
        const int side = continued_side(saved);
        continue_saved_game(saved, side);
        recorded = {{side == 0 ? uint8_t(1) : uint8_t(0), side == 1 ? uint8_t(1) : uint8_t(0)}, side, 0};
    }
    save_key_offered = true;
    start_recording(options.record_path, options.no_record, recorded, continuing);
    const int exit_code = run_main_loop();
    autosave_on_leaving();
    save_key_offered = false;
    stop_recording();
    close_game_window();
    return exit_code;
}
