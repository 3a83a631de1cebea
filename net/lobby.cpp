#include "net/lobby.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void copy_version(char* to, const char* from) {
    std::snprintf(to, packet_version_capacity, "%s", from ? from : "");
}

// From `local`, the address of ours the other side called.
void send_packet(Lobby* lobby, const DatagramAddress& local, const DatagramAddress& to, const Packet& packet) {
    uint8_t bytes[packet_capacity];
    const int size = write_packet(packet, bytes, sizeof bytes);
    if (size > 0) datagram_send_from(lobby->socket, local, to, bytes, size);
}

void fail(Lobby* lobby, const char* format, ...) __attribute__((format(printf, 2, 3)));
void fail(Lobby* lobby, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(lobby->message, sizeof lobby->message, format, arguments);
    va_end(arguments);
    lobby->state = lobby_failed;
    datagram_close(lobby->socket);
    lobby->socket = -1;
}

// "version 1.0.0", with the rules' fingerprint when the version texts are
// the same but the rules are not (a changed build), and the protocol too
// when only the protocol differs.
void describe(char* text, int size, const char* version, uint64_t rules, int protocol, int detail) {
    const size_t room = static_cast<size_t>(size);
    if (detail == 2) std::snprintf(text, room, "version %s (rules %016" PRIx64 ", protocol %d)", version, rules, protocol);
    else if (detail == 1) std::snprintf(text, room, "version %s (rules %016" PRIx64 ")", version, rules);
    else std::snprintf(text, room, "version %s", version);
}

void describe_both(const Lobby& lobby, const char* other_version, uint64_t other_rules, int other_protocol,
                   char* theirs, char* ours, int size) {
    const int detail = std::strcmp(other_version, lobby.version) != 0 ? 0 : other_rules != lobby.rules ? 1 : 2;
    describe(theirs, size, other_version, other_rules, other_protocol, detail);
    describe(ours, size, lobby.version, lobby.rules, packet_protocol, detail);
}

void send_refusal(Lobby* lobby, const DatagramAddress& local, const DatagramAddress& to, uint8_t reason,
                  uint64_t nonce) {
    Packet packet = new_packet(packet_refuse, 0);
    packet.refuse.reason = reason;
    packet.refuse.nonce = nonce;
    copy_version(packet.refuse.version, lobby->version);
    packet.refuse.rules = lobby->rules;
    send_packet(lobby, local, to, packet);
}

void send_welcome(Lobby* lobby, const LobbyCaller& caller) {
    Packet packet = new_packet(packet_welcome, lobby->token);
    packet.welcome.nonce = caller.nonce;
    send_packet(lobby, caller.called, caller.address, packet);
}

void send_start(Lobby* lobby) {
    Packet packet = new_packet(packet_start, lobby->token);
    packet.start.seed = lobby->seed;
    packet.start.delay = static_cast<uint8_t>(lobby->game.delay);
    packet.start.guest_side = static_cast<uint8_t>(lobby->guest_side);
    packet.start.loaded = lobby->loaded;
    send_packet(lobby, lobby->local, lobby->peer, packet);
}

void send_ping(Lobby* lobby, LobbyCaller* caller, int64_t now_ms) {
    Packet ping = new_packet(packet_ping, lobby->token);
    ping.ping.sent_ms = static_cast<uint32_t>(now_ms);
    send_packet(lobby, caller->called, caller->address, ping);
    caller->last_ping_ms = now_ms;
}

void fill_game(Lobby* lobby, int delay, int local_side) {
    lobby->game.socket = lobby->socket;
    lobby->game.peer = lobby->peer;
    lobby->game.local = lobby->local;
    lobby->game.token = lobby->token;
    lobby->game.seed = lobby->seed;
    lobby->game.delay = delay;
    lobby->game.local_side = local_side;
    lobby->game.hosting = lobby->hosting;
    lobby->game.secret = lobby->nonce;
    std::memcpy(lobby->game.version, lobby->version, sizeof lobby->game.version);
    lobby->game.rules = lobby->rules;
    lobby->game.loaded = lobby->loaded;
}

int median_round_trip(const LobbyCaller& caller) {
    int sorted[lobby_pings];
    for (int i = 0; i < caller.round_trip_count; ++i) {
        int j = i;
        for (; j > 0 && sorted[j - 1] > caller.round_trips[i]; --j) sorted[j] = sorted[j - 1];
        sorted[j] = caller.round_trips[i];
    }
    return sorted[caller.round_trip_count / 2];
}

// A note the host keeps, unless the same words are kept already: a caller
// that knocks again and again is told of once.
void note(Lobby* lobby, const char* format, ...) __attribute__((format(printf, 2, 3)));
void note(Lobby* lobby, const char* format, ...) {
    char text[lobby_message_capacity];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    for (int i = lobby->notes_made - lobby_notes_kept; i < lobby->notes_made; ++i)
        if (std::strcmp(lobby_note(*lobby, i), text) == 0) return;
    std::memcpy(lobby->notes[lobby->notes_made % lobby_notes_kept], text, sizeof text);
    ++lobby->notes_made;
}

void note_silent(Lobby* lobby, const DatagramAddress& address) {
    char text[datagram_address_text_capacity];
    datagram_address_text(address, text, sizeof text);
    note(lobby, "The player at %s stopped answering.", text);
}

LobbyCaller* find_caller(Lobby* lobby, const DatagramAddress& from) {
    for (LobbyCaller& caller : lobby->callers)
        if (caller.present && same_datagram_address(caller.address, from)) return &caller;
    return nullptr;
}

// A new caller takes a free place, else the place of the one that called
// first (whose handshake is the nearest to its end anyway).
LobbyCaller* place_for_caller(Lobby* lobby) {
    LobbyCaller* place = &lobby->callers[0];
    for (LobbyCaller& caller : lobby->callers) {
        if (!caller.present) return &caller;
        if (caller.hello_ms < place->hello_ms) place = &caller;
    }
    return place;
}

void host_hears_hello(Lobby* lobby, const Packet& packet, const DatagramAddress& from, int64_t now_ms) {
    const HelloPacket& hello = packet.hello;
    if (lobby->state != lobby_waiting) {
        send_refusal(lobby, lobby->called, from, refuse_busy, hello.nonce);
        return;
    }
    if (packet.protocol != packet_protocol || std::strcmp(hello.version, lobby->version) != 0 ||
        hello.rules != lobby->rules) {
        send_refusal(lobby, lobby->called, from, refuse_version, hello.nonce);
        char theirs[80], ours[80], address[datagram_address_text_capacity];
        describe_both(*lobby, hello.version, hello.rules, packet.protocol, theirs, ours, sizeof theirs);
        datagram_address_text(from, address, sizeof address);
        note(lobby, "A player at %s with %s could not join: this is %s, and both need the same version.", address,
             theirs, ours);
        return;
    }
    // A hello again (our welcome was lost) is welcomed again, but its
    // handshake's time still runs from the first.
    LobbyCaller* caller = find_caller(lobby, from);
    if (!caller || caller->nonce != hello.nonce) {
        if (!caller) caller = place_for_caller(lobby);
        std::memset(caller, 0, sizeof *caller);
        caller->present = true;
        caller->address = from;
        caller->nonce = hello.nonce;
        caller->called = lobby->called;
        caller->hello_ms = now_ms;
        caller->last_ping_ms = now_ms - lobby_ping_interval_ms;
    }
    send_welcome(lobby, *caller);
}

// The caller answered every ping: the seat is its, the others are told the
// host has its player.
void seat(Lobby* lobby, const LobbyCaller& chosen, int64_t now_ms) {
    lobby->peer = chosen.address;
    lobby->local = chosen.called;
    lobby->nonce = chosen.nonce;
    for (LobbyCaller& caller : lobby->callers) {
        if (caller.present && !same_datagram_address(caller.address, chosen.address))
            send_refusal(lobby, caller.called, caller.address, refuse_busy, caller.nonce);
        caller.present = false;
    }
    fill_game(lobby, lobby_input_delay(median_round_trip(chosen), lobby->frame_ms), 1 - lobby->guest_side);
    lobby->game.round_trip_ms = median_round_trip(chosen);
    lobby->state = lobby_starting;
    lobby->last_heard_ms = now_ms;
    send_start(lobby);
    lobby->last_sent_ms = now_ms;
}

void host_hears(Lobby* lobby, const Packet& packet, const DatagramAddress& from, int64_t now_ms) {
    if (packet.kind == packet_hello) {
        host_hears_hello(lobby, packet, from, now_ms);
        return;
    }
    if (lobby->state == lobby_waiting) {
        LobbyCaller* caller = find_caller(lobby, from);
        if (packet.kind != packet_pong || !caller) return;
        const uint32_t round_trip = static_cast<uint32_t>(now_ms) - packet.ping.sent_ms;
        if (round_trip > static_cast<uint32_t>(lobby_handshake_limit_ms)) return;
        caller->round_trips[caller->round_trip_count++] = static_cast<int>(round_trip);
        if (caller->round_trip_count == lobby_pings) seat(lobby, *caller, now_ms);
        return;
    }
    if (!same_datagram_address(from, lobby->peer)) return;
    lobby->last_heard_ms = now_ms;
    // The guest has the start: its game is on, or it knocks for the saved game's snapshot.
    if (packet.kind == packet_lockstep || packet.kind == packet_rejoin) lobby->state = lobby_started;
}

void guest_hears(Lobby* lobby, const Packet& packet, const DatagramAddress& from, int64_t now_ms) {
    // Only the host has our nonce, whichever of its addresses it answers from.
    if (packet.kind == packet_refuse && packet.refuse.nonce == lobby->nonce) {
        if (packet.refuse.reason == refuse_busy) {
            fail(lobby, "The host already has a player.");
            return;
        }
        char theirs[80], ours[80];
        describe_both(*lobby, packet.refuse.version, packet.refuse.rules, packet.protocol, theirs, ours, sizeof theirs);
        fail(lobby, "The host plays %s, this is %s: both players need the same version.", theirs, ours);
        return;
    }
    if (packet.kind == packet_welcome && lobby->state == lobby_joining && packet.welcome.nonce == lobby->nonce) {
        lobby->token = packet.token;
        lobby->peer = from;
        lobby->state = lobby_measuring;
        lobby->game.round_trip_ms = static_cast<int>(now_ms - lobby->last_sent_ms);
    }
    if (lobby->state != lobby_measuring || packet.token != lobby->token || !same_datagram_address(from, lobby->peer))
        return;
    lobby->last_heard_ms = now_ms;
    if (packet.kind == packet_ping) {
        Packet pong = new_packet(packet_pong, lobby->token);
        pong.ping = packet.ping;
        send_packet(lobby, lobby->local, lobby->peer, pong);
    } else if (packet.kind == packet_start) {
        lobby->seed = packet.start.seed;
        lobby->loaded = packet.start.loaded;
        fill_game(lobby, packet.start.delay, packet.start.guest_side);
        lobby->state = lobby_started;
    }
}

void send_due(Lobby* lobby, int64_t now_ms) {
    const int64_t since_sent = now_ms - lobby->last_sent_ms;
    if (lobby->state == lobby_joining) {
        if (now_ms - lobby->began_ms >= lobby->give_up_ms) {
            char address[datagram_address_text_capacity];
            datagram_address_text(lobby->peer, address, sizeof address);
            fail(lobby, "Nobody answered at %s within %" PRId64 " s.", address, (lobby->give_up_ms + 999) / 1000);
        } else if (since_sent >= lobby_hello_interval_ms) {
            Packet hello = new_packet(packet_hello, 0);
            copy_version(hello.hello.version, lobby->version);
            hello.hello.rules = lobby->rules;
            hello.hello.nonce = lobby->nonce;
            send_packet(lobby, lobby->local, lobby->peer, hello);
            lobby->last_sent_ms = now_ms;
        }
        return;
    }
    if (lobby->hosting && lobby->state == lobby_waiting) {
        for (LobbyCaller& caller : lobby->callers) {
            if (!caller.present) continue;
            if (now_ms - caller.hello_ms >= lobby_handshake_limit_ms) {
                caller.present = false;
                note_silent(lobby, caller.address);
            } else if (now_ms - caller.last_ping_ms >= lobby_ping_interval_ms) {
                send_ping(lobby, &caller, now_ms);
            }
        }
        return;
    }
    if (now_ms - lobby->last_heard_ms < lobby_silence_limit_ms) {
        if (lobby->state == lobby_starting && since_sent >= lobby_start_interval_ms) {
            send_start(lobby);
            lobby->last_sent_ms = now_ms;
        }
        return;
    }
    if (!lobby->hosting) {
        fail(lobby, "The host stopped answering.");
        return;
    }
    note_silent(lobby, lobby->peer);
    lobby->state = lobby_waiting;
    ++lobby->token;  // whatever it still sends belongs to no game of ours
    if (lobby->token == 0) lobby->token = 1;
}

void begin(Lobby* lobby, const LobbyIdentity& identity, bool hosting, int64_t now_ms) {
    std::memset(lobby, 0, sizeof *lobby);
    lobby->hosting = hosting;
    copy_version(lobby->version, identity.version);
    lobby->rules = identity.rules;
    lobby->began_ms = now_ms;
    lobby->last_sent_ms = now_ms - lobby_silence_limit_ms;  // the first hello or ping goes at once
    lobby->last_heard_ms = now_ms;
    lobby->socket = -1;
    lobby->game.socket = -1;
    lobby->discovery.socket = -1;
}

}  // namespace

int lobby_input_delay(int round_trip_ms, int frame_ms) {
    if (frame_ms < 1) frame_ms = 1;
    if (round_trip_ms < 0) round_trip_ms = 0;
    const int delay = (round_trip_ms + frame_ms - 1) / frame_ms + 2;
    return delay < packet_least_delay ? packet_least_delay : delay > packet_most_delay ? packet_most_delay : delay;
}

bool lobby_host(Lobby* lobby, const LobbyIdentity& identity, int port, uint32_t seed, int guest_side, int frame_ms,
                int64_t now_ms) {
    begin(lobby, identity, true, now_ms);
    lobby->state = lobby_waiting;
    lobby->token = static_cast<uint32_t>(identity.random) ? static_cast<uint32_t>(identity.random) : 1;
    lobby->seed = seed;
    lobby->guest_side = guest_side == 0 ? 0 : 1;
    lobby->frame_ms = frame_ms;
    lobby->socket = datagram_open(datagram_any_address(datagram_ipv6, port));
    if (lobby->socket < 0) lobby->socket = datagram_open(datagram_any_address(datagram_ipv4, port));
    if (lobby->socket >= 0) return true;
    fail(lobby, "Cannot open UDP port %d (%s).", port, datagram_last_error());
    return false;
}

bool lobby_announce(Lobby* lobby, uint64_t host_id, int discovery_port) {
    const int port = datagram_local_port(lobby->socket);
    return lobby->hosting && port &&
           discovery_host_open(&lobby->discovery, lobby->version, lobby->rules, host_id, port, discovery_port);
}

bool lobby_join(Lobby* lobby, const LobbyIdentity& identity, const DatagramAddress& host, int64_t give_up_ms,
                int64_t now_ms) {
    begin(lobby, identity, false, now_ms);
    lobby->state = lobby_joining;
    lobby->nonce = identity.random;
    lobby->peer = host;
    lobby->give_up_ms = give_up_ms;
    // Talking to this very machine needs no socket the network can reach.
    const DatagramAddress loopback = datagram_loopback_address(host.family, host.port);
    const bool local_host = std::memcmp(host.bytes, loopback.bytes, sizeof host.bytes) == 0;
    lobby->socket = datagram_open(local_host ? datagram_loopback_address(host.family, 0)
                                             : datagram_any_address(host.family, 0));
    if (lobby->socket >= 0) return true;
    fail(lobby, "Cannot open a UDP socket (%s).", datagram_last_error());
    return false;
}

void lobby_update(Lobby* lobby, int64_t now_ms) {
    if (lobby->state == lobby_started || lobby->state == lobby_failed) return;
    for (int i = 0; i < lobby_most_datagrams && lobby->state != lobby_failed; ++i) {
        uint8_t bytes[packet_capacity];
        DatagramAddress from;
        const int size = datagram_receive_at(lobby->socket, bytes, sizeof bytes, &from, &lobby->called);
        if (size < 0) break;
        Packet packet;
        const uint32_t token = lobby->state == lobby_joining ? 0 : lobby->token;
        if (read_packet(bytes, size, token, &packet) != packet_ok) {
            ++lobby->datagrams_dropped;
            continue;
        }
        if (lobby->hosting) host_hears(lobby, packet, from, now_ms);
        else guest_hears(lobby, packet, from, now_ms);
        if (lobby->state == lobby_started) break;
    }
    if (lobby->state != lobby_failed && lobby->state != lobby_started) send_due(lobby, now_ms);
    if (lobby->state == lobby_started || lobby->state == lobby_failed) discovery_host_close(&lobby->discovery, now_ms);
    else discovery_host_update(&lobby->discovery, lobby->state == lobby_waiting, now_ms);
}

const char* lobby_note(const Lobby& lobby, int index) {
    if (index < 0 || index < lobby.notes_made - lobby_notes_kept || index >= lobby.notes_made) return "";
    return lobby.notes[index % lobby_notes_kept];
}

void lobby_close(Lobby* lobby) {
    discovery_host_close(&lobby->discovery, 0);
    if (lobby->state != lobby_started) datagram_close(lobby->socket);
    lobby->socket = -1;
}
