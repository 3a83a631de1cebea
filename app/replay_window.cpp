#include "app/replay_window.h"

#include <GL/gl.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/banner.h"
#include "app/game_window.h"
#include "app/options.h"
#include "app/replay_pace.h"
#include "game/frame.h"
#include "game/pauses.h"
#include "game/person_pass.h"
#include "platform/platform.h"
#include "render/gl_window.h"
#include "render/overlay.h"
#include "replay/replay_player.h"
#include "world/new_game.h"
#include "world/settings.h"
#include "world/version.h"
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


struct Viewer {
    ReplayPace pace;
    bool hidden;
    bool leave;
    Clock::time_point last_swap;
    uint8_t* frozen;   // the last picture, shown again while stopped
    // Format 2: the viewer's own camera, steered by the view keys.
    bool free_camera;
    View camera;
    uint32_t deals_centred;
    bool camera_moved;  // since the picture was last drawn
};

Viewer* viewer_now = nullptr;

double ms_since(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// The viewer's own clock, which the pace counts in.
Clock::time_point clock_start;
double now_ms() { return ms_since(clock_start); }

// Faster than the screen shows, the frames no one will see run their rule
// steps alone (the same steps, without the drawing).
bool frame_shown = true;

// After each deal the free camera starts over the recorded side's leader.
void centre_free_camera(Viewer* viewer) {
    if (viewer->deals_centred == deal_count()) return;
    viewer->deals_centred = deal_count();
    const Unit& leader = unit_table[viewer->camera.side];
    viewer->camera.map_sx = leader.tile_x;
    viewer->camera.map_sy = leader.tile_y;
}

// Format 2's frame through the free camera; the marker and the status line
// show the tile the recorded side points at.
void watched_frame(const FrameCommands& commands) {
    View* camera = &viewer_now->camera;
    PassInput input;
    clear_pass_input(&input);
    const SideCommand& recorded = commands.side[camera->side];
    if (recorded.has_cursor) {
        input.cursor_dx = recorded.cursor_x - camera->map_sx;
        input.cursor_dy = recorded.cursor_y - camera->map_sy;
    }
    if (frame_shown)
        run_frame(commands, camera, input);
    else
        run_frame_undrawn(commands, camera, input);
    centre_free_camera(viewer_now);
}

bool watched_pass(const ReplayTurn& turn) {
    if (!turn.person) {
        watched_frame(*turn.commands);
        return false;
    }
    return run_person_pass(frame_shown ? pass_watched : pass_rules_only, person_commands(*turn.person, *turn.view),
                           *turn.person, turn.view);
}

// The view the window shows: the recorded player's, or the free camera.
const View& shown_view(const ReplayPlayer& player, const Viewer& viewer) {
    return viewer.free_camera ? viewer.camera : player.view;
}

// Each press of a view key (and each repeat of a held one) moves the free
// camera once, at once: the pauses that debounce a polled key would only
// hold the replay back here.
void steer_free_camera(Viewer* viewer, int vk) {
    if (!viewer->free_camera || vk < 0 || vk >= 256) return;
    PassInput input;
    clear_pass_input(&input);
    input.keys[vk] = 1;
    input.direct_keys[vk] = 1;
    input.direct_keys[vk_shift] = platform_key_down(vk_shift) ? 1 : 0;
    input.keys[vk_escape] = input.direct_keys[vk_space] = 0;
    const int64_t counted_before = counted_pause_ms;
    apply_view_keys(&viewer->camera, input);
    apply_picture_size(&viewer->camera, input);
    toggle_help(&viewer->camera, input);
    counted_pause_ms = counted_before;
    viewer->camera_moved = true;
}

void viewer_key(Viewer* viewer, int vk) {
    if (vk == vk_escape)
        viewer->leave = true;
    else
        pace_key(&viewer->pace, vk, now_ms());
}

// The player's own input no longer drives the rules: events only steer the viewer.
void take_events(Viewer* viewer) {
    PlatformEvent event;
    while (platform_poll_event(&event)) {
        switch (event.type) {
        case platform_event_quit: viewer->leave = true; break;
        case platform_event_key_down:
            viewer_key(viewer, event.key);
            steer_free_camera(viewer, event.key);
            break;
        case platform_event_minimized: viewer->hidden = true; break;
        case platform_event_restored:
            viewer->hidden = false;
            restart_pace(&viewer->pace, now_ms());
            break;
        case platform_event_resized: resize_view(event.x & 0xFFFF, event.y & 0xFFFF); break;
        default: break;
        }
    }
}

// Behind the pace of the chosen speed: wait a little (the events are taken
// again before the next pass).
bool ahead_of_pace(const Viewer& viewer) {
    const double due_ms = pace_wait_ms(viewer.pace, now_ms());
    if (due_ms <= 0.0) return false;
    platform_sleep_ms(due_ms < idle_sleep_ms ? static_cast<int>(due_ms) + 1 : idle_sleep_ms);
    return true;
}

bool frame_due(const Viewer& viewer) {
    return !pace_faster_than_shown(viewer.pace) || ms_since(viewer.last_swap) >= swap_interval_ms;
}

void draw_two_lines(const char* first, const char* second) {
    const char* const lines[] = {first, second};
    draw_banner(lines, 2);
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
    if (!frame_drawn) draw_still_frame(shown_view(player, *viewer));
    draw_two_lines(first, second);
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
    restart_pace(&viewer->pace, now_ms());
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
        if (viewer->pace.paused && (!shown_paused || viewer->camera_moved)) {
            viewer->camera_moved = false;
            char first[96];
            std::snprintf(first, sizeof first, "Paused after frame %" PRIu64 ".", player->frames);
            draw_still_frame(shown_view(*player, *viewer));
            draw_two_lines(first, "Space goes on, Escape leaves.");
            platform_swap_buffers();
        }
        shown_paused = viewer->pace.paused;
        if (viewer->pace.paused || viewer->hidden) {
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
        pace_played(&viewer->pace, (frame_ran ? frame_ms : 0.0) + static_cast<double>(counted_pause_ms));
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
    platform_request_display(options.scale, options.fullscreen);
    const char* number = game_version();
    if (std::strcmp(player.header.game_version, number) != 0)
        std::fprintf(stderr,
                     "varnhold: %s was recorded by varnhold %s, this is %s: a rule that changed between them "
                     "shows as a replay that differs\n",
                     path, player.header.game_version, number);
    if (!open_game_window(player.header.first_seed)) {
        replay_close(&player);
        return 1;
    }
    if (!replay_check_first_deal(&player)) {
        platform_message_box(platform_message_error, "ERROR", player.message);
        close_game_window();
        replay_close(&player);
        return 1;
    }
    Viewer viewer = {};
    clock_start = Clock::now();
    viewer.pace = start_pace(now_ms());
    viewer.free_camera = player.header.format_version >= 2;
    viewer.camera = start_view(player.header.game.local_side);
    follow_deal(&viewer.camera);
    centre_free_camera(&viewer);
    viewer_now = &viewer;
    viewer.frozen = new (std::nothrow) uint8_t[static_cast<size_t>(screen_width) * screen_height * 4];
    pauses_counted = true;
    const int exit_code = watch(&player, &viewer);
    pauses_counted = false;
    delete[] viewer.frozen;
    close_game_window();
    replay_close(&player);
    return exit_code;
}
