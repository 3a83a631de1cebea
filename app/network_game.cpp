#include "app/network_game.h"

#include <cinttypes>
#include <filesystem>
#include <cstdio>
#include <cstring>

#include "app/banner.h"
#include "app/chat.h"
#include "app/game_window.h"
#include "app/input_state.h"
#include "app/saving.h"
#include "state/saves.h"
#include "app/window_procedure.h"
#include "game/frame.h"
#include "game/screens.h"
#include "game/rules_fingerprint.h"
#include "net/discovery.h"
#include "net/lobby.h"
#include "net/net_play.h"
#include "net/port_mapping.h"
#include "platform/platform.h"
#include "replay/recording.h"
#include "replay/replay_folder.h"
#include "state/shared_state.h"
#include "state/snapshot.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/settings.h"
#include "world/version.h"

namespace {

constexpr int64_t join_give_up_ms = 10000;
constexpr int64_t ending_shown_ms = 3000;
constexpr int lobby_redraw_ms = 100;
// The lobby's pings and hellos go every 100 ms and more: its steps are 10 ms apart at most.
constexpr int lobby_step_ms = 10;
constexpr int most_addresses_shown = 3;
// A line across the whole picture: 640 pixels of 8-pixel characters.
constexpr int line_capacity = screen_width / 8;
// While the game waits, the view keys still act at the game's pace
// (last_view_step_ms), and the picture is drawn again only when the view
// moved or the waiting line changed (line_shown, empty for none), or no
// still picture stands (still_lost).
int64_t last_view_step_ms = 0;
char line_shown[line_capacity * 2];
bool still_lost = false;
// A player who leaves runs the frames they gave commands for, for at most this long.
constexpr int64_t leaving_ms = 2000;
// The line being typed and what both sides said; chat_moved while the
// picture on screen does not show them as they stand.
ChatLine chat_line;
ChatBoard chat_board;
bool chat_moved = false;

// A key that goes to the chat line instead of the game: Enter opens it,
// and while it is open every key types into it, sends or closes it. A
// message the rate holds back stays on the line to be sent again.
bool chat_takes_event(NetPlay* play, const PlatformEvent& event) {
    if (event.type != platform_event_key_down && event.type != platform_event_key_up) return false;
    const ChatKeyResult result = chat_line_key(&chat_line, event.key, event.type == platform_event_key_down);
    if (result == chat_key_send && lockstep_say(&play->lockstep, chat_line.text)) chat_line_sent(&chat_line);
    if (result != chat_key_passed) chat_moved = true;
    return result != chat_key_passed;
}

// While the line is open the keyboard reaches neither the view nor the
// command: only the mouse plays.
void keep_keys_from_game(PassInput* input) {
    if (!chat_line.open) return;
    std::memset(input->keys, 0, sizeof input->keys);
    std::memset(input->direct_keys, 0, sizeof input->direct_keys);
    input->deals = 0;
    input->deal_seed = 0;
}

// The messages of the frame that ran: on the board and into the replay.
void take_chat(NetPlay* play) {
    ChatMessage message;
    while (lockstep_next_chat(&play->lockstep, &message)) {
        chat_board_add(&chat_board, message.side, message.text, chat_clock_ms(play->frames_run));
        record_chat(message.side, message.text);
        std::fprintf(stderr, "varnhold: chat at frame %" PRIu32 " side %d: %s\n", message.frame + 1, message.side,
                     message.text);
        chat_moved = true;
    }
}

// The window's events while no frame may use them: true when the player
// asks to leave (Escape or the window closed).
bool take_events_asking_to_leave() {
    PlatformEvent event;
    bool leave = false;
    while (platform_poll_event(&event)) {
        if (event.type == platform_event_quit) leave = true;
        else window_procedure(event);
    }
    return leave || keys[vk_escape];
}

void show_lines(const char* const* lines, int count) {
    draw_still_frame(local_view);
    draw_banner(lines, count);
    platform_swap_buffers();
}

// A closing word on screen for a moment (Escape or the close button
// shortens it): why, broken to fit, and a last line under it.
void show_closing(const char* why, const char* last) {
    char text[banner_most_lines][line_capacity];
    int count = wrap_banner_text(why, text[0], line_capacity, banner_most_lines - 1);
    std::snprintf(text[count++], line_capacity, "%s", last);
    const char* lines[banner_most_lines];
    for (int i = 0; i < count; ++i) lines[i] = text[i];
    const int64_t began = net_now_ms();
    while (net_now_ms() - began < ending_shown_ms && !take_events_asking_to_leave()) {
        show_lines(lines, count);
        platform_sleep_ms(lobby_redraw_ms);
    }
}

// What the lobby shows: the port and the addresses a guest may use, or the
// host a guest is calling.
int lobby_lines(const GameOptions& options, const char* join_text, int port, bool listed,
                char text[][line_capacity]) {
    int count = 0;
    if (!options.host) {
        // A long address wraps rather than losing its port.
        char connecting[line_capacity + datagram_host_capacity];
        std::snprintf(connecting, sizeof connecting, "Connecting to %s", join_text);
        count += wrap_banner_text(connecting, text[count], line_capacity, banner_most_lines - 1);
    } else {
        std::snprintf(text[count++], line_capacity, "Waiting for a player on port %d%s", port,
                      listed ? ", listed on the LAN" : "");
        DatagramAddress addresses[most_addresses_shown];
        const int found = datagram_local_addresses(addresses, most_addresses_shown);
        for (int i = 0; i < found; ++i) {
            char address[datagram_address_text_capacity];
            addresses[i].port = static_cast<uint16_t>(port);
            datagram_address_text(addresses[i], address, sizeof address);
            std::snprintf(text[count++], line_capacity, "This machine: %s", address);
        }
    }
    std::snprintf(text[count++], line_capacity, "Escape cancels.");
    return count;
}

// The host's port on its router: asked while the lobby waits, closed when the game ends.
PortMapping router;
int router_notes_told = 0;
PortMappingState router_state_told = port_mapping_off;

// The router's word on stderr as it comes: what was ignored, what worked, what was closed.
void tell_router() {
    for (; router_notes_told < router.notes_made; ++router_notes_told)
        std::fprintf(stderr, "varnhold: router: %s\n", port_mapping_note(router, router_notes_told));
    if (router.state == router_state_told) return;
    router_state_told = router.state;
    char line[port_mapping_text_capacity];
    port_mapping_line(router, line, sizeof line);
    if (router.state != port_mapping_off) std::fprintf(stderr, "varnhold: %s\n", line);
}

void close_router() {
    port_mapping_stop(&router);
    tell_router();
}

// The router's word under the port line, wrapped onto two lines, in place
// of the last addresses shown when the lines run short. Returns the count.
int add_router_lines(char text[][line_capacity], int count) {
    if (router.state == port_mapping_off) return count;
    char line[port_mapping_text_capacity];
    port_mapping_line(router, line, sizeof line);
    char rows[2][line_capacity];
    const int rows_count = wrap_banner_text(line, rows[0], line_capacity, 2);
    int addresses = count - 2;
    if (2 + rows_count + addresses > banner_most_lines) addresses = banner_most_lines - 2 - rows_count;
    char last[line_capacity];
    std::memcpy(last, text[count - 1], sizeof last);
    std::memmove(text[1 + rows_count], text[1], sizeof text[0] * static_cast<size_t>(addresses));
    std::memcpy(text[1], rows, sizeof rows[0] * static_cast<size_t>(rows_count));
    std::memcpy(text[1 + rows_count + addresses], last, sizeof last);
    return 2 + rows_count + addresses;
}

// The host's newest notes (who was refused, who stopped answering) in the
// lobby's lines, above "Escape cancels." and in place of the last addresses
// shown: each up to its reason (stderr has it whole), wrapped at a space
// onto at most two lines. Returns the lines' count.
int add_notes(const Lobby& lobby, int* notes_told, char text[][line_capacity], int count) {
    for (; *notes_told < lobby.notes_made; ++*notes_told)
        std::fprintf(stderr, "varnhold: %s\n", lobby_note(lobby, *notes_told));
    // What a line holds right of the banner's margin.
    constexpr int width = line_capacity - 6;
    char note_lines[banner_most_lines][line_capacity];
    int note_count = 0;
    for (int index = lobby.notes_made - 1; index >= lobby.notes_made - lobby_notes_kept; --index) {
        const char* note = lobby_note(lobby, index);
        const char* reason = std::strstr(note, ": ");
        const int length = reason ? static_cast<int>(reason - note) : static_cast<int>(std::strlen(note));
        int cut = length <= width ? length : width;
        while (cut < length && cut > 0 && note[cut] != ' ') --cut;
        const int lines = cut < length ? 2 : 1;
        if (length == 0 || note_count + lines > banner_most_lines - 3) break;
        std::memmove(note_lines[lines], note_lines[0], sizeof note_lines[0] * static_cast<size_t>(note_count));
        std::snprintf(note_lines[0], line_capacity, "%.*s", cut, note);
        if (lines == 2) std::snprintf(note_lines[1], line_capacity, "%.*s", length - cut - 1, note + cut + 1);
        note_count += lines;
    }
    const int kept = count - 1 < banner_most_lines - 1 - note_count ? count - 1 : banner_most_lines - 1 - note_count;
    std::memcpy(text[kept + note_count], text[count - 1], line_capacity);
    std::memcpy(text[kept], note_lines, sizeof note_lines[0] * static_cast<size_t>(note_count));
    return kept + note_count + 1;
}

// The LAN's games as the list shows them: a number before each (those of
// another version are marked by the line itself), cut to the picture.
int list_lines(const DiscoveryFinder& finder, char text[][line_capacity]) {
    int count = 0;
    std::snprintf(text[count++], line_capacity, "%s",
                  finder.game_count ? "Games on the LAN: a number key joins one." : "Looking for games on the LAN...");
    for (int i = 0; i < finder.game_count && count < banner_tallest - 1; ++i) {
        char line[160];
        discovered_game_line(finder.games[i], line, sizeof line);
        std::snprintf(text[count++], line_capacity, "%d  %.*s", i + 1, banner_columns - 3, line);
    }
    std::snprintf(text[count++], line_capacity, "Escape leaves.");
    return count;
}

// The games on the LAN until the player picks one with its number key
// (true, its address in chosen and its line in chosen_text) or leaves
// (false, exit_code set). A game of another version cannot be picked. The
// probes go only while the list is on screen.
bool choose_lan_game(const LobbyIdentity& identity, DatagramAddress* chosen, char* chosen_text, int text_size,
                     int* exit_code) {
    static DiscoveryFinder finder;
    if (!discovery_find_begin(&finder, identity.version, identity.rules, nullptr, 0, net_now_ms())) {
        char why[lobby_message_capacity];
        std::snprintf(why, sizeof why, "Cannot look for games on the LAN (%s).", datagram_last_error());
        std::fprintf(stderr, "varnhold: %s\n", why);
        show_closing(why, "The game could not start.");
        *exit_code = 1;
        return false;
    }
    char text[banner_tallest][line_capacity];
    const char* lines[banner_tallest];
    for (int i = 0; i < banner_tallest; ++i) lines[i] = text[i];
    int64_t drawn = -lobby_redraw_ms;
    int picked = -1;
    while (picked < 0) {
        if (take_events_asking_to_leave()) {
            discovery_find_end(&finder);
            *exit_code = 0;
            return false;
        }
        const int64_t now = net_now_ms();
        discovery_find_update(&finder, now);
        for (int i = 0; i < finder.game_count && i < 9; ++i)
            if (keys['1' + i] && finder.games[i].playable) picked = i;
        if (now - drawn >= lobby_redraw_ms) {
            show_lines(lines, list_lines(finder, text));
            drawn = now;
        }
        discovery_find_wait(finder, lobby_step_ms);
    }
    *chosen = finder.games[picked].address;
    datagram_address_text(*chosen, chosen_text, text_size);
    discovery_find_end(&finder);
    return true;
}

// The lobby on screen until the game starts (true, game set), or it fails
// (the reason on stderr and on screen for a moment) or the player leaves
// (false, exit_code set).
bool wait_in_lobby(const GameOptions& options, NetGame* game, int* exit_code) {
    static Lobby lobby;
    const LobbyIdentity identity = {game_version(), rules_fingerprint(), net_random()};
    const int port = options.port ? options.port : net_default_port;
    bool opened;
    bool listed = false;
    char join_text[datagram_host_capacity] = "";
    if (options.host) {
        // A saved game hosted again: each player keeps the empire played when it was saved.
        opened = lobby_host(&lobby, identity, port, last_deal_seed(), 1 - saved_side(options.load_path), net_frame_ms,
                            net_now_ms());
        listed = opened && lobby_announce(&lobby, net_random(), 0);
        if (opened && !listed) std::fprintf(stderr, "varnhold: not listed on the LAN (%s)\n", datagram_last_error());
        // The lobby hears the LAN at once; the router is asked beside it.
        if (opened && !options.no_port_mapping) port_mapping_start(&router, port, net_now_ms());
        lobby.loaded = options.load_path != nullptr;
    } else {
        DatagramAddress host;
        if (!options.join_address) {
            if (!choose_lan_game(identity, &host, join_text, sizeof join_text, exit_code)) return false;
            opened = true;
        } else {
            std::snprintf(join_text, sizeof join_text, "%s", options.join_address);
            opened = datagram_resolve(options.join_address, net_default_port, &host);
        }
        if (!opened)
            std::snprintf(lobby.message, sizeof lobby.message, "Cannot find %s.", datagram_last_error());
        else
            opened = lobby_join(&lobby, identity, host, join_give_up_ms, net_now_ms());
    }
    char base[banner_most_lines][line_capacity];
    const int base_count = lobby_lines(options, join_text, port, listed, base);
    char text[banner_most_lines][line_capacity];
    const char* lines[banner_most_lines];
    for (int i = 0; i < banner_most_lines; ++i) lines[i] = text[i];
    int notes_told = 0;
    int64_t drawn = -lobby_redraw_ms;
    while (opened && lobby.state != lobby_started && lobby.state != lobby_failed) {
        if (take_events_asking_to_leave()) {
            lobby_close(&lobby);
            close_router();
            *exit_code = 0;
            return false;
        }
        const int64_t now = net_now_ms();
        lobby_update(&lobby, now);
        port_mapping_update(&router, now);
        tell_router();
        if (now - drawn >= lobby_redraw_ms) {
            std::memcpy(text, base, sizeof base);
            show_lines(lines, add_notes(lobby, &notes_told, text, add_router_lines(text, base_count)));
            drawn = now;
        }
        // Asleep until the other side says something, at most until the lobby's next step.
        datagram_wait(lobby.socket, lobby_step_ms);
    }
    if (!opened || lobby.state == lobby_failed) {
        std::fprintf(stderr, "varnhold: %s\n", lobby.message);
        close_router();
        show_closing(lobby.message, "The game could not start.");
        *exit_code = 1;
        return false;
    }
    *game = lobby.game;
    return true;
}

// The seat of a game on, beside the replays: the host's by its port, a
// guest's by the address it joined. What lets the same command, run again
// after a crash, take the seat back.
bool seat_path(const GameOptions& options, char* path, size_t size) {
    char folder[600];
    if (!replay_folder(folder, sizeof folder)) return false;
    // A game recorded elsewhere (--record) may not have made the folder.
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    char key[datagram_host_capacity + 16];
    if (options.host) std::snprintf(key, sizeof key, "host-%d", options.port ? options.port : net_default_port);
    // A guest that chose its game from the LAN list has no address before it
    // chooses: its seat keeps the host's, and `--join` alone finds it again.
    else std::snprintf(key, sizeof key, "join-%s", options.join_address ? options.join_address : "lan");
    for (char* c = key; *c; ++c)
        if (*c == '/' || *c == '\\' || *c == ':' || *c == '[' || *c == ']') *c = '_';
    std::snprintf(path, size, "%s/%s.seat", folder, key);
    return true;
}

void keep_seat(const GameOptions& options, const NetGame& game) {
    char path[700];
    if (seat_path(options, path, sizeof path)) keep_seat_file(path, game);
}

void forget_seat(const GameOptions& options) {
    char path[700];
    if (seat_path(options, path, sizeof path)) std::remove(path);
}

// The seat kept by a game this command played before it crashed: a guest
// knocks from a new socket, a host from its own port, where its guest still sends.
bool read_seat(const GameOptions& options, NetGame* game) {
    char path[700];
    if (!seat_path(options, path, sizeof path) || !read_seat_file(path, options.host, options.join_address, game))
        return false;
    std::snprintf(game->version, sizeof game->version, "%s", game_version());
    game->rules = rules_fingerprint();
    if (!options.host) return true;
    game->socket = open_host_port(options.port ? options.port : net_default_port);
    return game->socket >= 0;
}

// Knocks with the seat's secret (a guest of a saved game with the lobby's)
// until the other side's snapshot is here and loaded: true with the game to
// go on with; false when it fails (said on screen) or the player leaves.
bool take_snapshot(RejoinReturn* back, NetGame* game, int* exit_code) {
    if (!rejoin_return_start(back, *game, game_version(), game->rules, net_now_ms())) {
        std::fprintf(stderr, "varnhold: %s\n", back->message);
        show_closing(back->message, "The game could not start.");
        *exit_code = 1;
        return false;
    }
    const char* const lines[] = {"Taking the game from the other player...", "Escape cancels."};
    int64_t drawn = -lobby_redraw_ms;
    while (back->state == rejoin_knocking || back->state == rejoin_taking) {
        if (take_events_asking_to_leave()) {
            datagram_close(back->game.socket);
            *exit_code = 0;
            return false;
        }
        const int64_t now = net_now_ms();
        rejoin_return_update(back, now);
        if (now - drawn >= lobby_redraw_ms) {
            show_lines(lines, 2);
            drawn = now;
        }
        datagram_wait(back->game.socket, lobby_step_ms);
    }
    if (back->state == rejoin_failed) {
        std::fprintf(stderr, "varnhold: %s\n", back->message);
        datagram_close(back->game.socket);
        show_closing(back->message, "The game could not start.");
        *exit_code = 1;
        return false;
    }
    *game = rejoin_return_game(*back);
    std::printf("varnhold: back at frame %" PRIu32 ": received %" PRId64 " bytes\n", back->frame,
                back->wire_bytes_received);
    std::fflush(stdout);
    return true;
}

// Where the games parted, on stderr; each unit of the groups of slots that
// moved (dozens of lines) into a file beside the replays.
void tell_parting(const NetPlay& play) {
    char path[600];
    std::FILE* units = nullptr;
    if (replay_folder(path, sizeof path - 32)) {
        std::strcat(path, "/parting-units.txt");
        units = std::fopen(path, "w");
    }
    net_play_print_parting(play, stderr, units);
    if (!units) return;
    std::fclose(units);
    std::fprintf(stderr, "varnhold: each unit of those slots: %s\n", path);
}

// The end on screen for a moment (Escape shortens it), and on stderr.
void show_ending(const NetPlay& play, LockstepStatus status) {
    char line[128];
    net_play_end_line(play, status, line, sizeof line);
    std::fprintf(stderr, "varnhold: %s\n", line);
    if (status == lockstep_desynced) tell_parting(play);
    show_closing(line, "The game is over.");
}

// One pass of the game: the local command when the lockstep wants it (none
// once the player leaves); the next frame at its moment when both sides'
// commands are here, drawn unless the window is minimised, then the view
// keys; else, shown, the view keys at the same pace and the picture as it
// stands when they moved it or the wait is told (after half a second).
// Between them it sleeps on the socket until a datagram or the next moment
// comes. A player who leaves runs the frames they gave commands for undrawn
// and as soon as they can, so that the other side, which runs them too,
// ends on the same frame. False when the player asks to leave.
bool play_pass(NetPlay* play, bool leaving) {
    PlatformEvent event;
    if (platform_poll_event(&event)) {
        if (event.type == platform_event_quit) return false;
        if (!chat_takes_event(play, event)) window_procedure(event);
        return true;
    }
    PassInput input;
    read_pass_input(&input);
    keep_keys_from_game(&input);
    const int64_t now = net_now_ms();
    chat_board_to_screen(chat_board, &chat_line, chat_clock_ms(play->frames_run));
    net_play_exchange(play, now);
    // The router's port is renewed through a long game.
    port_mapping_update(&router, now);
    tell_router();
    // F9 asks both sides to save at one frame; each saves its own file as that frame is about to run.
    if (save_key_pressed(input) && !leaving && !lockstep_ask_save(&play->lockstep))
        show_notice("Not saved: the last save is still on its way to the other player.");
    if (lockstep_save_due(&play->lockstep)) save_now();
    if (!leaving && net_play_wants_command(*play)) net_play_offer(play, command_from_pass(input, local_view), now);
    const bool drawn = input.frame_runs && !leaving;
    // Minimised, the picture is lost: the next still one is drawn whatever it shows.
    if (!input.frame_runs) still_lost = true;
    FrameCommands commands;
    const bool ran = (leaving || net_play_frame_due(*play, now)) && net_play_take(play, &commands, now);
    const bool stalled = play->stalled_since_ms >= 0;
    // Escape ends the pass after its frame, without a swap.
    const bool escape = input.keys[vk_escape];
    if (ran) {
        if (drawn)
            run_frame(commands, &local_view, input);
        else
            run_frame_undrawn(commands, &local_view, input);
        record_game_frame(commands);
        net_play_frame_ran(play, now);
        // The frame drew the chat as it stood; what this frame brings is still to show.
        chat_moved = false;
        take_chat(play);
        net_play_pace(play, frame_pause_ms(), now);
        line_shown[0] = '\0';
        still_lost = false;
        if (escape) return false;
        if (drawn) platform_swap_buffers();
        apply_view_keys(&local_view, input);
        last_view_step_ms = now;
        return true;
    }
    if (drawn && stalled && !escape && now - last_view_step_ms >= net_frame_ms) {
        const View seen = local_view;
        apply_view_keys(&local_view, input);
        last_view_step_ms = now;
        char line[sizeof line_shown];
        net_play_waiting_line(*play, now, line, sizeof line);
        if (std::memcmp(&seen, &local_view, sizeof seen) != 0 || std::strcmp(line, line_shown) != 0 || still_lost ||
            chat_moved) {
            chat_moved = false;
            draw_still_frame(local_view);
            char text[banner_most_lines][line_capacity];
            const int count = wrap_banner_text(line, text[0], line_capacity, banner_most_lines);
            const char* lines[banner_most_lines];
            for (int i = 0; i < count; ++i) lines[i] = text[i];
            if (line[0]) draw_banner(lines, count);
            platform_swap_buffers();
            std::snprintf(line_shown, sizeof line_shown, "%s", line);
            still_lost = false;
        }
    }
    // Shown and stalled, the view keys' next step is a frame after the last;
    // the window's events, a restore among them, are taken two frames later at most.
    const int64_t after = net_now_ms();
    int most_ms = 2 * net_frame_ms;
    if (drawn && stalled) most_ms = static_cast<int>(last_view_step_ms + net_frame_ms - after);
    net_play_wait(*play, after, most_ms);
    return !escape;
}

}  // namespace

int run_network_game(const GameOptions& options) {
    // A save is read and checked whole before any window: a broken one ends here.
    static SharedState saved;
    if (options.load_path && !read_save_to_continue(options, &saved)) return 1;
    platform_request_display(options.scale, options.fullscreen);
    const uint32_t seed = options.has_seed ? options.seed : static_cast<uint32_t>(platform_calendar_seconds());
    // The lobby names the side; until then a guest shows empire 1, a host its save's.
    local_view.side = options.host ? saved_side(options.load_path) : 1;
    if (!open_game_window(seed)) return 1;
    NetGame game;
    int exit_code = 0;
    static RejoinReturn back;
    const bool returning = read_seat(options, &game);
    // A player back after a crash, or the guest of a saved game, takes the other side's snapshot.
    if (returning ? !take_snapshot(&back, &game, &exit_code) : !wait_in_lobby(options, &game, &exit_code)) {
        // Nobody kept that game: the next run of the command starts a new one.
        if (returning) forget_seat(options);
        close_game_window();
        return exit_code;
    }
    const bool from_snapshot = returning || (game.loaded && !game.hosting);
    if (!returning && from_snapshot && !take_snapshot(&back, &game, &exit_code)) {
        close_game_window();
        return exit_code;
    }
    if (game.loaded && game.hosting) {
        apply_shared_state(saved);
        note_continued_save();
    } else if (!from_snapshot) {
        new_game_from_seed(game.seed);
    }
    // Both sides are people now: the computer's own steps are off.
    side_played_by_person[0] = side_played_by_person[1] = 1;
    local_view = start_view(game.local_side);
    save_as_side(game.local_side);
    follow_deal(&local_view);
    const ReplayGame recorded = {{1, 1}, game.local_side, game.delay};
    // A player back after a crash keeps the replay it had and starts another from the snapshot.
    char record_path[4096];
    if (returning && options.record_path)
        std::snprintf(record_path, sizeof record_path, "%s-from-%" PRIu32 ".vrp", options.record_path, back.frame);
    start_recording(returning && options.record_path ? record_path : options.record_path, options.no_record, recorded,
                    from_snapshot || game.loaded);
    keep_seat(options, game);
    static NetPlay play;
    net_play_start(&play, game, net_now_ms(), from_snapshot ? back.frame : 0);
    if (from_snapshot) net_play_count_down(&play, net_now_ms());
    if (game.loaded && game.hosting) rejoin_seat_offer(&play.seat, play.link, &play.lockstep);
    if (options.rejoin_wait_s) play.lockstep.give_up_ms = options.rejoin_wait_s * int64_t{1000};
    save_key_offered = true;
    int returns = 0;
    LockstepStatus status = lockstep_running;
    bool leaving = false;
    bool autosaved = false;
    int64_t left_at = 0;
    for (;;) {
        // Until the other side's lockstep answers, it may not have our ready.
        if (from_snapshot && play.lockstep.packets_taken == 0) rejoin_return_ready(&back, net_now_ms());
        const bool asked_to_leave = !play_pass(&play, leaving);
        // The seat kept on this side now names the session as it goes on.
        if (play.seat.returns != returns) {
            returns = play.seat.returns;
            keep_seat(options, play.link.game);
        }
        status = net_play_status(play, net_now_ms());
        // Nobody is left to run our last frames with: Escape ends the wait at once.
        if (asked_to_leave && status == lockstep_dropped) break;
        if (asked_to_leave && !leaving) {
            leaving = true;
            left_at = net_now_ms();
        }
        // The game as it stood when the other side dropped, in case it never comes back.
        if (status == lockstep_dropped && !autosaved && !leaving) autosave_on_leaving();
        autosaved = status == lockstep_dropped || (autosaved && status == lockstep_waiting);
        if (leaving && (!net_play_own_frames_left(play) || net_now_ms() - left_at > leaving_ms ||
                        (status != lockstep_running && status != lockstep_waiting && status != lockstep_dropped)))
            break;
        if (leaving) continue;
        // The frames the other side gave commands for before it left still run.
        if (status == lockstep_peer_left && net_play_frames_left_after_peer(play)) continue;
        if (status != lockstep_running && status != lockstep_waiting && status != lockstep_dropped) break;
    }
    net_play_leave(&play);
    stop_recording();
    close_router();
    save_key_offered = false;
    save_as_side(0);
    // A game that ended by a crash keeps its seat; one that ended here has no seat to come back to.
    forget_seat(options);
    if (!leaving || status == lockstep_dropped) {
        show_ending(play, status);
        if (status != lockstep_peer_left) exit_code = 1;
    }
    close_game_window();
    return exit_code;
}
