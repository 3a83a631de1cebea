#include "tools/sim/sim_network.h"

#include <chrono>
#include <cinttypes>
#include <cstring>
#include <cstdio>
#include <thread>

#include <sys/resource.h>

#include "game/frame_rules.h"
#include "game/rules_fingerprint.h"
#include "game/side_command.h"
#include "game/view.h"
#include "net/lobby.h"
#include "net/net_play.h"
#include "net/port_mapping.h"
#include "net/rejoin.h"
#include "replay/recording.h"
#include "state/saves.h"
#include "state/snapshot.h"
#include "state/state_digest.h"
#include "tools/sim/sim_world.h"
#include "world/game_state.h"
#include "world/new_game.h"
#include "world/version.h"

namespace {

constexpr int frame_ms = 16;
constexpr int64_t join_give_up_ms = 10000;
constexpr int64_t host_wait_ms = 60000;
// Once its own frames are done, a peer stays this long at most for the
// other to take the last commands and digests.
constexpr int64_t farewell_ms = 3000;

void nap() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

// The host's port on its router: asked beside the lobby, told as it settles, closed at the end.
PortMapping router;
int router_notes_told = 0;
int router_ways_told = 0;
PortMappingState router_state_told = port_mapping_off;

void tell_router(int64_t now_ms) {
    port_mapping_update(&router, now_ms);
    for (; router_notes_told < router.notes_made; ++router_notes_told)
        std::fprintf(stderr, "varnhold-sim: router: %s\n", port_mapping_note(router, router_notes_told));
    if (router.state == router_state_told && router.ways_open == router_ways_told) return;
    router_state_told = router.state;
    router_ways_told = router.ways_open;
    char line[port_mapping_text_capacity];
    port_mapping_line(router, line, sizeof line);
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void close_router() {
    port_mapping_stop(&router);
    for (; router_notes_told < router.notes_made; ++router_notes_told)
        std::fprintf(stderr, "varnhold-sim: router: %s\n", port_mapping_note(router, router_notes_told));
}

const char* version_played(const SimNetOptions& options) { return options.version ? options.version : game_version(); }

bool run_lobby(const SimNetOptions& options, NetGame* game) {
    static Lobby lobby;
    const LobbyIdentity identity = {version_played(options), rules_fingerprint(), net_random()};
    const int64_t began = net_now_ms();
    bool opened;
    if (options.hosting) {
        // A saved game hosted again: each player keeps the empire played when it was saved.
        opened = lobby_host(&lobby, identity, options.port, options.seed, 1 - saved_side(options.load_path), frame_ms,
                            began);
        if (opened && !lobby_announce(&lobby, net_random(), options.discovery_port))
            std::fprintf(stderr, "varnhold-sim: not listed on the LAN (%s)\n", datagram_last_error());
        lobby.loaded = options.load_path != nullptr;
        if (opened) std::printf("waiting for a player on port %d\n", options.port);
        std::fflush(stdout);
        if (opened && !options.no_port_mapping) port_mapping_start(&router, options.port, began);
    } else {
        DatagramAddress host;
        if (!datagram_resolve(options.join_address, net_default_port, &host)) {
            std::fprintf(stderr, "varnhold-sim: cannot find %s (%s)\n", options.join_address, datagram_last_error());
            return false;
        }
        opened = lobby_join(&lobby, identity, host, join_give_up_ms, began);
        if (opened) std::printf("connecting to %s\n", options.join_address);
    }
    std::fflush(stdout);
    int notes_told = 0;
    while (opened && lobby.state != lobby_started && lobby.state != lobby_failed) {
        lobby_update(&lobby, net_now_ms());
        tell_router(net_now_ms());
        for (; notes_told < lobby.notes_made; ++notes_told)
            std::fprintf(stderr, "varnhold-sim: %s\n", lobby_note(lobby, notes_told));
        if (options.hosting && net_now_ms() - began > host_wait_ms) {
            std::fprintf(stderr, "varnhold-sim: nobody joined within %" PRId64 " s\n", host_wait_ms / 1000);
            lobby_close(&lobby);
            return false;
        }
        nap();
    }
    if (!opened || lobby.state == lobby_failed) {
        std::fprintf(stderr, "varnhold-sim: %s\n", lobby.message);
        return false;
    }
    if (options.hosting) std::printf("a player joined after %" PRId64 " ms\n", net_now_ms() - began);
    if (options.hosting)
        std::printf("announcements %d bytes %lld, discovery datagrams dropped %d\n",
                    lobby.discovery.announcements_sent, static_cast<long long>(lobby.discovery.bytes_sent),
                    lobby.discovery.datagrams_dropped);
    *game = lobby.game;
    return true;
}

// A player's seat beside its replay (FILE.seat) while its game is on: the
// game's token and secret and where the other side was. The same command,
// run again after a crash, takes the seat back with it.
void seat_path(const SimNetOptions& options, char* path, size_t size) {
    std::snprintf(path, size, "%s.seat", options.record_path);
}

void keep_seat(const SimNetOptions& options, const NetGame& game) {
    if (!options.record_path) return;
    char path[4096];
    seat_path(options, path, sizeof path);
    keep_seat_file(path, game);
}

void forget_seat(const SimNetOptions& options) {
    if (!options.record_path) return;
    char path[4096];
    seat_path(options, path, sizeof path);
    std::remove(path);
}

// The seat kept from a game this command played before it crashed. A guest
// knocks from a new socket at the host it names; a host opens its own port
// again, where its guest still sends, and knocks at the guest it kept.
bool read_seat(const SimNetOptions& options, NetGame* game) {
    if (!options.record_path) return false;
    char path[4096];
    seat_path(options, path, sizeof path);
    if (!read_seat_file(path, options.hosting, options.join_address, game)) return false;
    if (!options.hosting) return true;
    game->socket = open_host_port(options.port);
    if (game->socket >= 0) return true;
    std::fprintf(stderr, "varnhold-sim: cannot open UDP port %d (%s)\n", options.port, datagram_last_error());
    return false;
}

// Knocks with the seat's secret, takes the snapshot and loads it; false with one line on stderr.
bool come_back(RejoinReturn* back, NetGame* game) {
    std::snprintf(game->version, sizeof game->version, "%s", game_version());
    if (!rejoin_return_start(back, *game, game_version(), rules_fingerprint(), net_now_ms())) {
        std::fprintf(stderr, "varnhold-sim: %s\n", back->message);
        return false;
    }
    while (back->state == rejoin_knocking || back->state == rejoin_taking) {
        rejoin_return_update(back, net_now_ms());
        nap();
    }
    if (back->state == rejoin_failed) {
        std::fprintf(stderr, "varnhold-sim: %s\n", back->message);
        datagram_close(back->game.socket);
        return false;
    }
    *game = rejoin_return_game(*back);
    return true;
}

void tell_listing(const char* what, const DiscoveredGame& game, int64_t since_ms) {
    char line[160];
    discovered_game_line(game, line, sizeof line);
    std::fprintf(stderr, "varnhold-sim: %s after %lld ms: %s\n", what, static_cast<long long>(since_ms), line);
}

// What changed between two lists, told on stderr.
void tell_changes(const DiscoveryFinder& before, const DiscoveryFinder& after, int64_t since_ms) {
    for (int i = 0; i < after.game_count; ++i) {
        bool known = false;
        for (int j = 0; j < before.game_count; ++j) known = known || before.games[j].host_id == after.games[i].host_id;
        if (!known) tell_listing("listed", after.games[i], since_ms);
    }
    for (int j = 0; j < before.game_count; ++j) {
        bool kept = false;
        for (int i = 0; i < after.game_count; ++i) kept = kept || before.games[j].host_id == after.games[i].host_id;
        if (!kept) tell_listing("gone", before.games[j], since_ms);
    }
}

struct Peer {
    NetPlay play;
    int chats_said;   // --chat-at messages given to the lockstep
    int chats_shown;  // messages of both sides whose frame ran
    View view;
    double next_due_ms;  // when the next frame is due, at a steady frames_per_second
    long long stalled_frames;  // frames whose moment came before both commands had
    bool counted_stall;
    bool asked_save;
};

// Each message whose frame ran, on stdout and into the replay.
void show_chats(Peer* peer) {
    ChatMessage message;
    while (lockstep_next_chat(&peer->play.lockstep, &message)) {
        ++peer->chats_shown;
        record_chat(message.side, message.text);
        std::printf("chat at frame %" PRIu32 " side %d: %s\n", message.frame + 1, message.side, message.text);
    }
}

// The --chat-at messages due by now: each is said once, or again a turn
// later while the bound holds it back.
void say_chats(Peer* peer, const SimNetOptions& options) {
    while (peer->chats_said < options.chat_count &&
           peer->play.frames_run >= options.chat_frames[peer->chats_said] &&
           lockstep_say(&peer->play.lockstep, options.chat_texts[peer->chats_said]))
        ++peer->chats_said;
}

// A peer that floods: a full-length message with every command, straight
// into what goes out (past the bound every honest side keeps), and the
// packet sent again at every turn.
void flood_chats(Peer* peer, int64_t now) {
    Lockstep& lockstep = peer->play.lockstep;
    const uint32_t frame = lockstep.known[lockstep.local_side];
    if (lockstep.chat_unheld_count < lockstep_chat_slots &&
        (lockstep.chat_unheld_count == 0 || lockstep.chat_unheld[lockstep.chat_unheld_count - 1].frame < frame)) {
        ChatMessage& chat = lockstep.chat_unheld[lockstep.chat_unheld_count++];
        chat.frame = frame;
        chat.side = lockstep.local_side;
        std::snprintf(chat.text, sizeof chat.text, "%.*s", packet_chat_capacity,
                      "flood flood flood flood flood flood flood flood flood flood flood flood flood flood flood");
    }
    peer->play.link.last_sent_ms = now - link_resend_interval_ms;
}

// A save both sides make before the frame it names runs: this side's into
// its file when it asked for one there, else under a dated name.
void save_here(const SimNetOptions& options, const NetPlay& play) {
    char path[4096], error[4096];
    bool saved;
    if (options.save_path && play.lockstep.save_asked == play.lockstep.next_frame) {
        std::snprintf(path, sizeof path, "%s", options.save_path);
        saved = save_snapshot_file(path, error);
    } else {
        saved = save_game(false, play.lockstep.local_side, path, sizeof path, error, sizeof error);
    }
    if (saved) std::printf("saved %s at frame %" PRIu32 "\n", path, play.lockstep.next_frame);
    else std::fprintf(stderr, "varnhold-sim: not saved: %s\n", error);
    std::fflush(stdout);
}

// One turn of the loop: take what came, offer a command when one is
// wanted, and run the next frame when it is due and both commands are here.
void turn(Peer* peer, const SimNetOptions& options) {
    const int64_t now = net_now_ms();
    net_play_exchange(&peer->play, now);
    tell_router(now);
    if (options.chat_flood) flood_chats(peer, now);
    else say_chats(peer, options);
    if (options.save_at >= 0 && peer->play.frames_run >= options.save_at && !peer->asked_save)
        peer->asked_save = lockstep_ask_save(&peer->play.lockstep);
    if (lockstep_save_due(&peer->play.lockstep)) save_here(options, peer->play);
    // No command is given for a frame past the last: both sides end on it.
    const Lockstep& lockstep = peer->play.lockstep;
    if (net_play_wants_command(peer->play) && lockstep.known[lockstep.local_side] < options.frames) {
        PassInput input;
        sim_player_act(options.player, &peer->view, &input);
        net_play_offer(&peer->play, command_from_pass(input, peer->view), now);
    }
    if (options.frames_per_second > 0 && static_cast<double>(now) < peer->next_due_ms) {
        nap();
        return;
    }
    FrameCommands commands;
    if (!net_play_take(&peer->play, &commands, now)) {
        if (options.frames_per_second > 0 && !peer->counted_stall) ++peer->stalled_frames;
        peer->counted_stall = true;
        nap();
        return;
    }
    // A frame that waited is not made up for by a rush: the pace goes on from here.
    if (peer->counted_stall && peer->next_due_ms < static_cast<double>(now)) peer->next_due_ms = static_cast<double>(now);
    peer->counted_stall = false;
    run_rule_steps(commands);
    record_game_frame(commands);
    net_play_frame_ran(&peer->play, now);
    show_chats(peer);
    if (options.frames_per_second > 0) peer->next_due_ms += 1000.0 / options.frames_per_second;
}

// The other side may still want our last commands and digests: answer
// until it holds them all, leaves, or the farewell is over.
void see_off(Peer* peer) {
    const int64_t began = net_now_ms();
    const Lockstep& lockstep = peer->play.lockstep;
    while (net_now_ms() - began < farewell_ms && net_play_status(peer->play, net_now_ms()) != lockstep_peer_left &&
           (lockstep.peer_holds < lockstep.known[lockstep.local_side] ||
            lockstep.peer_digests_held < lockstep.digests_made)) {
        net_play_exchange(&peer->play, net_now_ms());
        nap();
    }
    net_play_leave(&peer->play);
}

// The waiting line once, and the game as it stood saved in case the other side never comes back.
void tell_drop(const NetPlay& play) {
    char line[160], path[4096], error[4096];
    net_play_waiting_line(play, net_now_ms(), line, sizeof line);
    std::fprintf(stderr, "varnhold-sim: %s\n", line);
    if (save_game(true, play.lockstep.local_side, path, sizeof path, error, sizeof error))
        std::printf("autosaved %s at frame %" PRIu32 "\n", path, play.frames_run);
    else
        std::fprintf(stderr, "varnhold-sim: not saved: %s\n", error);
    std::fflush(stdout);
}

void tell_return(const NetPlay& play, bool saved_game) {
    std::printf("%s at frame %" PRIu32 ": the snapshot went in %d datagrams, %" PRId64 " bytes\n",
                saved_game ? "the guest took the saved game" : "the other player came back", play.seat.frame,
                play.seat.datagrams_sent, play.seat.wire_bytes_sent);
    std::fflush(stdout);
}

void tell_countdown(const NetPlay& play) {
    char line[160];
    net_play_waiting_line(play, net_now_ms(), line, sizeof line);
    std::fprintf(stderr, "varnhold-sim: %s\n", line);
}

void report(const Peer& peer, const NetGame& game, const SimNetOptions& options) {
    const Link& link = peer.play.link;
    const double minutes = static_cast<double>(peer.play.frames_run) / 60.0 / 60.0;
    std::printf("side %d, input delay %d frames, round trip %d ms (%s)\n", game.local_side, game.delay,
                game.round_trip_ms, game.hosting ? "the median of 5 pings" : "the hello to its welcome");
    std::printf("frames %" PRIu32 "\n", peer.play.frames_run);
    if (options.frames_per_second > 0)
        std::printf("stalled frames %lld (%.2f per minute of play)\n", peer.stalled_frames,
                    minutes > 0 ? static_cast<double>(peer.stalled_frames) / minutes : 0.0);
    std::printf("sent %d datagrams, %" PRId64 " bytes (%.0f per minute of play); received %d, %" PRId64 " bytes\n",
                link.datagrams_sent, link.wire_bytes_sent,
                minutes > 0 ? static_cast<double>(link.wire_bytes_sent) / minutes : 0.0, link.datagrams_received,
                link.wire_bytes_received);
    int dropped = 0;
    for (int fault = 1; fault < packet_fault_count; ++fault) dropped += link.faults[fault];
    std::printf("datagrams dropped %d, packets refused %d\n", dropped, peer.play.lockstep.packets_refused);
    std::printf("chat shown %d, refused %d\n", peer.chats_shown, peer.play.lockstep.chats_refused);
    rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        std::printf("time on the CPU %.2f s, most memory resident %ld KB\n",
                    static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
                    usage.ru_maxrss);
    std::printf("final state %016" PRIx64 "\n", digest_game_state().whole);
}

}  // namespace

int play_network_peer(const SimNetOptions& options) {
    // A returning player's times count from here, its world's making included.
    const int64_t began = net_now_ms();
    if (!start_sim_world(options.seed)) {
        std::fprintf(stderr, "varnhold-sim: out of memory\n");
        return 1;
    }
    NetGame game;
    static RejoinReturn back;
    char error[snapshot_error_capacity];
    if (options.load_path && !load_snapshot_file(options.load_path, error)) {
        std::fprintf(stderr, "varnhold-sim: %s\n", error);
        stop_sim_world();
        return 1;
    }
    const bool returning = read_seat(options, &game);
    if (returning ? !come_back(&back, &game) : !run_lobby(options, &game)) {
        close_router();
        // Nobody kept that game: the next run of the command starts a new one.
        if (returning) forget_seat(options);
        stop_sim_world();
        return 1;
    }
    // The guest of a saved game takes its snapshot as a returning player does.
    const bool from_snapshot = returning || (game.loaded && !game.hosting);
    if (!returning && from_snapshot && !come_back(&back, &game)) {
        stop_sim_world();
        return 1;
    }
    side_played_by_person[0] = side_played_by_person[1] = 1;
    if (!from_snapshot && !game.loaded) new_game_from_seed(options.deal_other_seed ? game.seed + 1 : game.seed);
    static Peer peer;
    peer.view = start_view(game.local_side);
    follow_deal(&peer.view);
    sim_player_seed(game.seed ^ (0x51DEull << game.local_side) ^ back.frame);
    ReplayGame recorded = {{1, 1}, game.local_side, game.delay};
    // A player back after a crash keeps the replay it had and starts another from the snapshot.
    char record_path[4096];
    if (returning) std::snprintf(record_path, sizeof record_path, "%s-from-%" PRIu32 ".vrp", options.record_path, back.frame);
    start_recording(returning ? record_path : options.record_path, options.record_path == nullptr, recorded,
                    from_snapshot || game.loaded);
    keep_seat(options, game);
    net_play_start(&peer.play, game, net_now_ms(), from_snapshot ? back.frame : 0);
    if (from_snapshot) net_play_count_down(&peer.play, net_now_ms());
    if (game.loaded && game.hosting) rejoin_seat_offer(&peer.play.seat, peer.play.link, &peer.play.lockstep);
    if (returning)
        std::printf("back at frame %" PRIu32 " after %" PRId64 " ms: sent %d datagrams, %" PRId64
                    " bytes; received %" PRId64 " bytes\n",
                    back.frame, net_now_ms() - began, back.datagrams_sent, back.wire_bytes_sent,
                    back.wire_bytes_received);
    if (options.rejoin_wait_s) peer.play.lockstep.give_up_ms = options.rejoin_wait_s * int64_t{1000};
    peer.next_due_ms = static_cast<double>(net_now_ms());
    LockstepStatus status = lockstep_running;
    bool told_drop = false;
    bool told_countdown = false;
    bool told_playing = false;
    int returns = peer.play.seat.returns;
    while (peer.play.frames_run < options.frames) {
        // Until the other side's lockstep answers, it may not have our ready.
        if (from_snapshot && peer.play.lockstep.packets_taken == 0) rejoin_return_ready(&back, net_now_ms());
        turn(&peer, options);
        // The seat kept on this side now names the session as it goes on.
        if (peer.play.seat.returns != returns) {
            returns = peer.play.seat.returns;
            tell_return(peer.play, game.loaded && game.hosting && returns == 1);
            keep_seat(options, peer.play.link.game);
        }
        if (peer.play.resume_ms >= 0 && !told_countdown) tell_countdown(peer.play);
        // What a returning player waits for: from its start to the first frame run again.
        if (returning && peer.play.frames_run == back.frame + 1 && !told_playing) {
            std::printf("playing again after %" PRId64 " ms\n", net_now_ms() - began);
            told_playing = true;
        }
        told_countdown = peer.play.resume_ms >= 0;
        status = net_play_status(peer.play, net_now_ms());
        if (status == lockstep_dropped && !told_drop) tell_drop(peer.play);
        told_drop = status == lockstep_dropped || (told_drop && status == lockstep_waiting);
        // The frames the other side gave commands for before it left still run.
        if (status == lockstep_peer_left && net_play_frames_left_after_peer(peer.play)) continue;
        if (status != lockstep_running && status != lockstep_waiting && status != lockstep_dropped) break;
    }
    int exit_code = 0;
    if (peer.play.frames_run >= options.frames) {
        see_off(&peer);
        if (peer.play.lockstep.desynced) status = lockstep_desynced;
    } else {
        net_play_leave(&peer.play);
    }
    if (status == lockstep_desynced || (peer.play.frames_run < options.frames)) {
        char line[128];
        net_play_end_line(peer.play, status, line, sizeof line);
        std::fprintf(stderr, "varnhold-sim: %s\n", line);
        if (status == lockstep_desynced) net_play_print_parting(peer.play, stdout, stdout);
        exit_code = 1;
    }
    stop_recording();
    close_router();
    forget_seat(options);
    report(peer, game, options);
    stop_sim_world();
    return exit_code;
}

int find_network_games(const SimNetOptions& options) {
    static DiscoveryFinder finder, before;
    const int64_t began = net_now_ms();
    const int port = options.discovery_port ? options.discovery_port : net_discovery_port;
    DatagramAddress only;
    if (options.find_address && !datagram_resolve(options.find_address, port, &only)) {
        std::fprintf(stderr, "varnhold-sim: cannot find %s (%s)\n", options.find_address, datagram_last_error());
        return 1;
    }
    // The rules' fingerprint is played on the world: what marks a game of other rules.
    if (!start_sim_world(options.seed)) {
        std::fprintf(stderr, "varnhold-sim: out of memory\n");
        return 1;
    }
    const uint64_t rules = rules_fingerprint();
    if (!discovery_find_begin(&finder, version_played(options), rules,
                              options.find_address ? &only : nullptr, port, began)) {
        std::fprintf(stderr, "varnhold-sim: cannot look for games (%s)\n", datagram_last_error());
        stop_sim_world();
        return 1;
    }
    const int64_t seconds = options.find_seconds ? options.find_seconds : 3;
    while (net_now_ms() - began < seconds * 1000 && (!options.find_until || finder.game_count < options.find_until)) {
        before = finder;
        const int64_t now = net_now_ms();
        discovery_find_update(&finder, now);
        tell_changes(before, finder, now - began);
        discovery_find_wait(finder, 10);
    }
    discovery_find_end(&finder);
    stop_sim_world();
    std::fprintf(stderr, "varnhold-sim: %d probes sent, %d datagrams dropped\n", finder.probes_sent,
                 finder.datagrams_dropped);
    for (int i = 0; i < finder.game_count; ++i) {
        char line[160];
        discovered_game_line(finder.games[i], line, sizeof line);
        std::printf("%s\n", line);
    }
    return 0;
}
