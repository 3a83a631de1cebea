#include "app/replay_window.h"

#include <GL/gl.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/banner.h"
#include "app/chat.h"
#include "app/game_window.h"
#include "app/options.h"
#include "app/replay_pace.h"
#include "app/take_over.h"
#include "game/frame.h"
#include "game/pauses.h"
#include "game/person_pass.h"
#include "game/screens.h"
#include "platform/platform.h"
#include "render/gl_window.h"
#include "render/overlay.h"
#include "replay/replay_player.h"
#include "replay/replay_seek.h"
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

// The viewer's keys that move through the replay, and the one that plays on
// from the moment shown; none of them is a key of the game.
constexpr int vk_comma = 0xBC;
constexpr int vk_period = 0xBE;
constexpr int vk_open_bracket = 0xDB;
constexpr int vk_close_bracket = 0xDD;
constexpr int vk_home = 0x24;
constexpr int vk_end = 0x23;
constexpr int vk_t = 0x54;
constexpr int vk_c = 0x43;

constexpr uint64_t short_step = 10 * seek_frames_per_second;
constexpr uint64_t long_step = 60 * seek_frames_per_second;

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
    ReplaySeek* seek;
    bool seek_asked;
    uint64_t seek_frame;  // where the seek asked goes
    bool take_over;       // leave the replay for a game from its moment
    ChatBoard chat;       // what the players said, on the replay's clock (C hides it)
};

Viewer* viewer_now = nullptr;

// The chat lines read with the frame just played, onto the board; after a
// seek the board starts empty.
void take_replay_chat(Viewer* viewer, ReplayPlayer* player) {
    ReplayChat chat;
    while (reader_take_chat(&player->reader, &chat))
        chat_board_add(&viewer->chat, chat.side, chat.text, chat_clock_ms(player->frames));
    chat_board_to_screen(viewer->chat, nullptr, chat_clock_ms(player->frames));
}

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

// Seeks are asked from where the last one asked went, so that keys pressed
// faster than the seeks run add up.
void ask_seek(Viewer* viewer, uint64_t from, bool back, uint64_t frames) {
    if (!viewer->seek_asked) viewer->seek_frame = from;
    if (back) viewer->seek_frame = viewer->seek_frame > frames ? viewer->seek_frame - frames : 0;
    else viewer->seek_frame += frames;
    if (viewer->seek_frame > viewer->seek->length) viewer->seek_frame = viewer->seek->length;
    viewer->seek_asked = true;
}

void viewer_key(Viewer* viewer, const ReplayPlayer& player, int vk) {
    const uint64_t at = player.frames;
    switch (vk) {
    case vk_escape: viewer->leave = true; break;
    case vk_t: viewer->leave = viewer->take_over = true; break;
    case vk_c:
        viewer->chat.hidden = !viewer->chat.hidden;
        viewer->camera_moved = true;
        chat_board_to_screen(viewer->chat, nullptr, chat_clock_ms(at));
        break;
    case vk_comma: ask_seek(viewer, at, true, short_step); break;
    case vk_period: ask_seek(viewer, at, false, short_step); break;
    case vk_open_bracket: ask_seek(viewer, at, true, long_step); break;
    case vk_close_bracket: ask_seek(viewer, at, false, long_step); break;
    case vk_home: ask_seek(viewer, 0, true, 0); break;
    case vk_end: ask_seek(viewer, viewer->seek->length, false, 0); break;
    default: pace_key(&viewer->pace, vk, now_ms()); break;
    }
}

// The player's own input no longer drives the rules: events only steer the viewer.
void take_events(Viewer* viewer, const ReplayPlayer& player) {
    PlatformEvent event;
    while (platform_poll_event(&event)) {
        switch (event.type) {
        case platform_event_quit: viewer->leave = true; break;
        case platform_event_key_down:
            viewer_key(viewer, player, event.key);
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

// The deals that frames played out of sight made (seeking, or keeping
// points ahead) move the free camera nowhere: it stays where the viewer put it.
void keep_free_camera(Viewer* viewer) {
    viewer->deals_centred = deal_count();
    viewer->camera.deals_seen = deal_count();
}

// Time to spare: the seek points one spacing further (a few ms), until they
// reach as far as the replay plays; then a short sleep.
void use_spare_time(Viewer* viewer, ReplayPlayer* player, int sleep_ms) {
    if (viewer->seek->indexed) {
        platform_sleep_ms(sleep_ms);
        return;
    }
    index_ahead(viewer->seek, player);
    keep_free_camera(viewer);
}

// Behind the pace of the chosen speed: wait a little (the events are taken
// again before the next pass).
bool ahead_of_pace(Viewer* viewer, ReplayPlayer* player) {
    const double due_ms = pace_wait_ms(viewer->pace, now_ms());
    if (due_ms <= 0.0) return false;
    if (due_ms > idle_sleep_ms) use_spare_time(viewer, player, idle_sleep_ms);
    else platform_sleep_ms(static_cast<int>(due_ms) + 1);
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

void draw_paused_lines(const ReplayPlayer& player) {
    char first[96];
    std::snprintf(first, sizeof first, "Paused after frame %" PRIu64 ".", player.frames);
    draw_two_lines(first, "Space goes on, Escape leaves.");
}

// The seek asked, and the picture of where it landed (with the paused
// lines while paused); stopped when it met the end or a fault on the way.
ReplayStep run_seek(ReplayPlayer* player, Viewer* viewer, bool* stopped) {
    viewer->seek_asked = false;
    // Past the points kept so far the seek plays every frame on the way (up
    // to a second for an hour): say so first.
    const ReplaySeek& seek = *viewer->seek;
    if (viewer->seek_frame >= static_cast<uint64_t>(seek.point_count) * seek.spacing + seek.spacing) {
        char first[96];
        const uint64_t seconds = viewer->seek_frame / seek_frames_per_second;
        std::snprintf(first, sizeof first, "Seeking to %" PRIu64 ":%02" PRIu64 "...", seconds / 60, seconds % 60);
        draw_two_lines(first, "The replay is played through to there.");
        platform_swap_buffers();
    }
    const ReplayStep step = seek_to_frame(viewer->seek, player, viewer->seek_frame, *stopped);
    keep_free_camera(viewer);
    ReplayChat passed_over;
    while (reader_take_chat(&player->reader, &passed_over)) {
    }
    chat_board_clear(&viewer->chat);
    chat_board_to_screen(viewer->chat, nullptr, 0);
    time_bar.frame = player->frames;
    restart_pace(&viewer->pace, now_ms());
    *stopped = step != replay_step_played;
    if (*stopped) {
        stop_with(viewer, *player, step, false);
        return step;
    }
    draw_still_frame(shown_view(*player, *viewer));
    if (viewer->pace.paused) draw_paused_lines(*player);
    platform_swap_buffers();
    return step;
}

int watch(ReplayPlayer* player, Viewer* viewer) {
    ReplayStep step = replay_step_played;
    bool stopped = false;
    bool shown_paused = false;
    Clock::time_point shown = Clock::now();
    restart_pace(&viewer->pace, now_ms());
    viewer->last_swap = Clock::now();
    while (!viewer->leave) {
        take_events(viewer, *player);
        if (viewer->leave) break;
        if (viewer->seek_asked && viewer->seek_frame != player->frames) {
            step = run_seek(player, viewer, &stopped);
            shown = Clock::now();
            shown_paused = viewer->pace.paused;
            continue;
        }
        viewer->seek_asked = false;
        if (stopped) {
            if (ms_since(shown) >= frozen_redraw_ms) {
                show_frozen(*viewer);
                shown = Clock::now();
            }
            use_spare_time(viewer, player, idle_sleep_ms);
            continue;
        }
        if (viewer->pace.paused && (!shown_paused || viewer->camera_moved)) {
            viewer->camera_moved = false;
            draw_still_frame(shown_view(*player, *viewer));
            draw_paused_lines(*player);
            platform_swap_buffers();
        }
        shown_paused = viewer->pace.paused;
        if (viewer->pace.paused || viewer->hidden) {
            use_spare_time(viewer, player, idle_sleep_ms);
            continue;
        }
        if (ahead_of_pace(viewer, player)) continue;
        const uint64_t frames_before = player->frames;
        counted_pause_ms = 0;
        frame_shown = frame_due(*viewer);
        time_bar.frame = player->frames + 1;
        step = replay_play_pass(player, watched_pass);
        take_replay_chat(viewer, player);
        if (step == replay_step_played) note_seek_point(viewer->seek, player);
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

// --take-over-at: the game from that frame at once, no replay watched; a
// frame the replay does not reach is one line and exit code 1.
int take_over_at_once(const GameOptions& options, ReplayPlayer* player, Viewer* viewer) {
    const uint64_t frame = options.take_over_at;
    char line[sizeof player->message + 96];
    if (frame > viewer->seek->length) {
        std::snprintf(line, sizeof line, "%s holds %" PRIu64 " frames: there is no frame %" PRIu64 " to take over at",
                      player->path, viewer->seek->length, frame);
    } else {
        const ReplayStep step = seek_to_frame(viewer->seek, player, frame, false);
        if (player->frames == frame && (step == replay_step_played || step == replay_step_finished))
            return take_over_game(options, player->header.game.local_side, shown_view(*player, *viewer));
        std::snprintf(line, sizeof line, "%s", player->message);
    }
    std::fprintf(stderr, "varnhold: %s\n", line);
    platform_message_box(platform_message_error, "ERROR", line);
    return 1;
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
    static ReplaySeek seek;
    if (!seek_open(&seek, &player)) {
        platform_message_box(platform_message_error, "ERROR", "Out of memory for seeking in the replay.");
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
    viewer.seek = &seek;
    int exit_code = 0;
    if (options.has_take_over) {
        exit_code = take_over_at_once(options, &player, &viewer);
    } else {
        viewer.frozen = new (std::nothrow) uint8_t[static_cast<size_t>(screen_width) * screen_height * 4];
        pauses_counted = true;
        time_bar = {true, 0, seek.length};
        exit_code = watch(&player, &viewer);
        time_bar.shown = false;
        chat_screen = ChatScreen();
        pauses_counted = false;
        delete[] viewer.frozen;
        if (viewer.take_over)
            exit_code = take_over_game(options, player.header.game.local_side, shown_view(player, viewer));
    }
    seek_close(&seek);
    close_game_window();
    replay_close(&player);
    return exit_code;
}
