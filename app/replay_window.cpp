#include "app/replay_window.h"

#include <GL/gl.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/input_state.h"
#include "app/main_loop.h"
#include "app/options.h"
#include "game/frame.h"
#include "platform/platform.h"
#include "render/gl_window.h"
#include "render/overlay.h"
#include "replay/replay_player.h"
#include "world/new_game.h"
#include "world/settings.h"
#include "world/world_arrays.h"

namespace {

using Clock = std::chrono::steady_clock;

// A recorded pass that ran a frame lasted about one swap at 60 a second,
// besides its own pauses (frame delay, scroll, E, H).
constexpr double frame_ms = 1000.0 / 60.0;
// Faster than the screen shows, only one frame in this many ms is swapped.
constexpr double swap_interval_ms = 15.0;
constexpr int idle_sleep_ms = 10;
constexpr int frozen_redraw_ms = 250;

// 1/4x, 1/2x, 1x, 2x, 4x, 8x, then as fast as it goes (0).
constexpr double speeds[] = {0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 0.0};
constexpr int speed_count = sizeof speeds / sizeof speeds[0];
constexpr int normal_speed = 2;

constexpr int vk_plus = 0xBB;
constexpr int vk_keypad_plus = 0x6B;
constexpr int vk_minus = 0xBD;
constexpr int vk_keypad_minus = 0x6D;

constexpr int banner_x = 40;
constexpr int banner_first_y = 130;
constexpr int banner_line_step = 20;
constexpr int banner_bottom = 80;
constexpr int banner_top = 140;

struct Viewer {
    int speed;
    bool paused;
    bool hidden;
    bool leave;
    double played_ms;  // recorded time played since base
    Clock::time_point base;
    Clock::time_point last_swap;
    uint8_t* frozen;   // the last picture, shown again while stopped
};

double ms_since(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Faster than the screen shows, the frames no one will see run their rule
// steps alone (the same steps, without the drawing).
bool frame_shown = true;
bool watched_pass() { return run_pass_steps(frame_shown ? pass_watched : pass_rules_only); }

bool faster_than_shown(const Viewer& viewer) {
    return speeds[viewer.speed] > 1.0 || speeds[viewer.speed] == 0.0;
}

void restart_pace(Viewer* viewer) {
    viewer->played_ms = 0.0;
    viewer->base = Clock::now();
}

void viewer_key(Viewer* viewer, int vk) {
    if (vk == vk_escape) {
        viewer->leave = true;
    } else if (vk == vk_space) {
        viewer->paused = !viewer->paused;
    } else if ((vk == vk_plus || vk == vk_keypad_plus) && viewer->speed < speed_count - 1) {
        ++viewer->speed;
    } else if ((vk == vk_minus || vk == vk_keypad_minus) && viewer->speed > 0) {
        --viewer->speed;
    } else {
        return;
    }
    restart_pace(viewer);
}

// The player's own input no longer drives the rules: events only steer the viewer.
void take_events(Viewer* viewer) {
    PlatformEvent event;
    while (platform_poll_event(&event)) {
        switch (event.type) {
        case platform_event_quit: viewer->leave = true; break;
        case platform_event_key_down: viewer_key(viewer, event.key); break;
        case platform_event_minimized: viewer->hidden = true; break;
        case platform_event_restored:
            viewer->hidden = false;
            restart_pace(viewer);
            break;
        case platform_event_resized: resize_view(event.x & 0xFFFF, event.y & 0xFFFF); break;
        default: break;
        }
    }
}

// Behind the pace of the chosen speed: wait a little (the events are taken
// again before the next pass).
bool ahead_of_pace(const Viewer& viewer) {
    const double speed = speeds[viewer.speed];
    if (speed == 0.0) return false;
    const double due_ms = viewer.played_ms / speed - ms_since(viewer.base);
    if (due_ms <= 0.0) return false;
    platform_sleep_ms(due_ms < idle_sleep_ms ? static_cast<int>(due_ms) + 1 : idle_sleep_ms);
    return true;
}

bool frame_due(const Viewer& viewer) {
    return !faster_than_shown(viewer) || ms_since(viewer.last_swap) >= swap_interval_ms;
}

// The viewer's lines over the picture, white on a black band.
void draw_banner(const char* first, const char* second) {
    clear_overlay();
    for (int y = banner_bottom; y < banner_top; ++y)
        for (int x = 0; x < screen_width; ++x) put_pixel(x, y, 1, 1, 1);
    format_text("%s", first);
    draw_text(banner_x, banner_first_y, 255, 255, 255);
    format_text("%s", second);
    draw_text(banner_x, banner_first_y - banner_line_step, 255, 255, 255);
    begin_overlay_present();
    finish_overlay_present();
}

void show_frozen(const Viewer& viewer) {
    if (!viewer.frozen || !overlay_pixels) return;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    std::memcpy(overlay_pixels, viewer.frozen, static_cast<size_t>(screen_width) * screen_height * 4);
    present_overlay();
    platform_swap_buffers();
}

// The last frame (drawn again when the last pass did not draw it) with the lines,
// kept to be shown again until the viewer leaves.
void stop_with(Viewer* viewer, const ReplayPlayer& player, ReplayStep step, bool frame_drawn) {
    char first[96], second[96];
    switch (step) {
    case replay_step_finished:
        std::snprintf(first, sizeof first, "End of the replay: all %" PRIu32 " digests match.",
                      player.digests_checked);
        std::snprintf(second, sizeof second, "Escape leaves.");
        break;
    case replay_step_cut:
        std::snprintf(first, sizeof first, "The replay ends early, after frame %" PRIu64 ".", player.frames);
        std::snprintf(second, sizeof second, "The file was cut off. Escape leaves.");
        break;
    case replay_step_differs:
        std::snprintf(first, sizeof first, "The replay differs from the game at frame %" PRIu64 ".",
                      player.differs_at_frame);
        std::snprintf(second, sizeof second, "Escape leaves.");
        break;
    default:
        std::snprintf(first, sizeof first, "The replay file is damaged at line %" PRIu64 ".",
                      player.reader.line_number);
        std::snprintf(second, sizeof second, "Escape leaves.");
        break;
    }
    std::fprintf(stderr, "varnhold: %s\n", player.message);
    if (!frame_drawn) draw_still_frame();
    draw_banner(first, second);
    if (viewer->frozen) {
        glReadPixels(0, 0, screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE, viewer->frozen);
        for (int i = 0; i < screen_width * screen_height; ++i) viewer->frozen[i * 4 + 3] = 255;
    }
    platform_swap_buffers();
}

int watch(ReplayPlayer* player, Viewer* viewer) {
    ReplayStep step = replay_step_played;
    bool stopped = false;
    bool shown_paused = false;
    Clock::time_point shown = Clock::now();
    restart_pace(viewer);
    viewer->last_swap = Clock::now();
    while (!viewer->leave) {
        take_events(viewer);
        if (viewer->leave) break;
        if (stopped) {
            if (ms_since(shown) >= frozen_redraw_ms) {
                show_frozen(*viewer);
                shown = Clock::now();
            }
            platform_sleep_ms(idle_sleep_ms);
            continue;
        }
        if (viewer->paused && !shown_paused) {
            char first[96];
            std::snprintf(first, sizeof first, "Paused after frame %" PRIu64 ".", player->frames);
            draw_still_frame();
            draw_banner(first, "Space goes on, Escape leaves.");
            platform_swap_buffers();
        }
        shown_paused = viewer->paused;
        if (viewer->paused || viewer->hidden) {
            platform_sleep_ms(idle_sleep_ms);
            continue;
        }
        if (ahead_of_pace(*viewer)) continue;
        const uint64_t frames_before = player->frames;
        counted_pause_ms = 0;
        frame_shown = frame_due(*viewer);
        step = replay_play_pass(player, watched_pass);
        const bool frame_ran = player->frames != frames_before;
        const bool frame_drawn = frame_shown && frame_ran;
        viewer->played_ms += (frame_ran ? frame_ms : 0.0) + static_cast<double>(counted_pause_ms);
        if (step != replay_step_played) {
            stop_with(viewer, *player, step, frame_drawn);
            stopped = true;
            shown = Clock::now();
        } else if (frame_drawn) {
            platform_swap_buffers();
            viewer->last_swap = Clock::now();
        }
    }
    return step == replay_step_played || step == replay_step_finished ? 0 : 1;
}

}  // namespace

int watch_replay(const GameOptions& options) {
    const char* path = options.replay_path;
    static ReplayPlayer player;
    if (!replay_open(&player, path)) {
        platform_message_box(platform_message_error, "ERROR", player.message);
        return 1;
    }
    const char* ours = version_text();
    const char* number = std::strchr(ours, ' ');
    number = number ? number + 1 : ours;
    if (std::strcmp(player.header.game_version, number) != 0)
        std::fprintf(stderr,
                     "varnhold: %s was recorded by varnhold %s, this is %s: a rule that changed between them "
                     "shows as a replay that differs\n",
                     path, player.header.game_version, number);
    choose_next_deal_seed(player.header.first_seed);
    if (!open_window("VARNHOLD", screen_width, screen_height, 16)) {
        replay_close(&player);
        return 1;
    }
    if (!replay_check_first_deal(&player)) {
        platform_message_box(platform_message_error, "ERROR", player.message);
        close_window();
        replay_close(&player);
        return 1;
    }
    Viewer viewer = {};
    viewer.speed = normal_speed;
    viewer.frozen = new (std::nothrow) uint8_t[static_cast<size_t>(screen_width) * screen_height * 4];
    pauses_counted = true;
    const int exit_code = watch(&player, &viewer);
    pauses_counted = false;
    delete[] viewer.frozen;
    close_window();
    replay_close(&player);
    return exit_code;
}
