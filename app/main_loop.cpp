#include "app/main_loop.h"

#include "app/input_state.h"
#include "app/window_procedure.h"
#include "game/frame.h"
#include "platform/platform.h"
#include "render/gl_window.h"
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
        platform_sleep_ms(scroll_pause_ms);
    }
    if (keys[vk_down]) {
        map_sy -= 1;
        platform_sleep_ms(scroll_pause_ms);
    }
    if (keys[vk_right]) {
        map_sx += 1;
        platform_sleep_ms(scroll_pause_ms);
    }
    if (keys[vk_left]) {
        map_sx -= 1;
        platform_sleep_ms(scroll_pause_ms);
    }
}

}  // namespace

void apply_view_keys() {
    if (keys[vk_page_up]) camera_zoom -= zoom_step;
    if (keys[vk_page_down]) camera_zoom += zoom_step;
    if (keys[vk_e]) platform_sleep_ms(e_key_pause_ms);
    if (key_down(vk_shift)) apply_turn_keys();
    if (key_up(vk_shift)) apply_scroll_keys();
}

bool run_loop_pass() {
    PlatformEvent event;
    if (platform_poll_event(&event)) {
        if (event.type == platform_event_quit) return true;
        window_procedure(event);
        return false;
    }
    if (window_active == 1 && !run_frame()) return true;
    if (keys[vk_escape]) return true;
    platform_swap_buffers();
    apply_view_keys();
    return false;
}

int run_main_loop() {
    bool done = false;
    while (!done) done = run_loop_pass();
    return 0;
}

int run_game(const GameOptions& options) {
    if (options.has_seed) choose_next_deal_seed(options.seed);
    fullscreen = 0;
    // The game's own full-screen flag stays 0 (it would ask for a display
    // mode); the enlarged window and the desktop-sized full screen are the
    // platform's display.
    platform_request_display(options.scale, options.fullscreen);
    // The window has shown why it could not start; a shell must read the end as a failure.
    if (!open_window("VARNHOLD", screen_width, screen_height, 16, fullscreen != 0)) return 1;
    int exit_code = run_main_loop();
    close_window();
    return exit_code;
}
