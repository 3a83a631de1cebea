#include "app/main_loop.h"

#include "app/input_state.h"
#include "app/window_procedure.h"
#include "app/replay_window.h"
#include "game/frame.h"
#include "game/frame_rules.h"
#include "platform/platform.h"
#include "render/gl_window.h"
#include "replay/recording.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/settings.h"

namespace {

constexpr float zoom_step = 0.12f;
constexpr float turn_step = 0.5f;
constexpr int scroll_pause_ms = 100;
constexpr int e_key_pause_ms = 500;

// Shift with an arrow turns the camera.
void apply_turn_keys() {
    if (keys[vk_up]) camera_pitch -= turn_step;
    if (keys[vk_down]) camera_pitch += turn_step;
    if (keys[vk_right]) camera_yaw += turn_step;
    if (keys[vk_left]) camera_yaw -= turn_step;
}

// An arrow alone scrolls one tile; the pause is the only thing that keeps
// a held arrow from racing across the map.
void apply_scroll_keys() {
    if (keys[vk_up]) {
        map_sy += 1;
        pause_ms(scroll_pause_ms);
    }
    if (keys[vk_down]) {
        map_sy -= 1;
        pause_ms(scroll_pause_ms);
    }
    if (keys[vk_right]) {
        map_sx += 1;
        pause_ms(scroll_pause_ms);
    }
    if (keys[vk_left]) {
        map_sx -= 1;
        pause_ms(scroll_pause_ms);
    }
}

}  // namespace

void apply_view_keys() {
    if (keys[vk_page_up]) camera_zoom -= zoom_step;
    if (keys[vk_page_down]) camera_zoom += zoom_step;
    if (keys[vk_e]) pause_ms(e_key_pause_ms);
    if (key_down(vk_shift)) apply_turn_keys();
    if (key_up(vk_shift)) apply_scroll_keys();
}

bool run_pass_steps(PassKind kind) {
    if (window_active == 1) {
        if (kind == pass_rules_only)
            run_rule_steps();
        else if (!run_frame())
            return true;
    }
    if (keys[vk_escape]) return true;
    if (kind == pass_in_window) platform_swap_buffers();
    apply_view_keys();
    return false;
}

bool run_loop_pass() {
    PlatformEvent event;
    if (platform_poll_event(&event)) {
        if (event.type == platform_event_quit) return true;
        window_procedure(event);
        return false;
    }
    begin_key_pass();
    record_pass_begins();
    const bool done = run_pass_steps(pass_in_window);
    record_pass_ends();
    end_key_pass();
    return done;
}

int run_main_loop() {
    bool done = false;
    while (!done) done = run_loop_pass();
    return 0;
}

int run_game(const GameOptions& options) {
    // The enlarged window and the desktop-sized full screen are the
    // platform's display, for a game as for a replay watched.
    platform_request_display(options.scale, options.fullscreen);
    if (options.replay_path) return watch_replay(options);
    if (options.has_seed) choose_next_deal_seed(options.seed);
    // The window has shown why it could not start; a shell must read the end as a failure.
    if (!open_window("VARNHOLD", screen_width, screen_height, 16)) return 1;
    start_recording(options.record_path, options.no_record);
    int exit_code = run_main_loop();
    stop_recording();
    close_window();
    return exit_code;
}
