#include "net/discovery.h"

#include <cstdio>
#include <cstring>

namespace {

// The machine's name as a datagram may carry it and the fonts draw it:
// printable ASCII, what does not fit cut.
void machine_name(char* name) {
    char system[256];
    datagram_machine_name(system, sizeof system);
    int length = 0;
    for (; system[length] && length < packet_version_capacity - 1; ++length)
        name[length] = system[length] >= 0x20 && system[length] <= 0x7e ? system[length] : '?';
    name[length] = '\0';
    if (length == 0) std::snprintf(name, packet_version_capacity, "(no name)");
}

void send_announcement(DiscoveryHost* host, const DatagramAddress& to, uint32_t echo_ms) {
    Packet packet = new_packet(packet_announce);
    packet.announce = host->announce;
    packet.announce.echo_ms = echo_ms;
    packet.announce.open = host->open ? 1 : 0;
    uint8_t bytes[packet_capacity];
    const int size = write_packet(packet, bytes, sizeof bytes);
    // Sent from the address the system's routes choose: a probe may have
    // called a broadcast address or a group, which no answer comes from.
    if (size > 0 && datagram_send(host->socket, to, bytes, size)) {
        ++host->announcements_sent;
        host->bytes_sent += size;
    }
}

// A prober is told when the game closes, for as long as it may still list it.
void remember_listener(DiscoveryHost* host, const DatagramAddress& from, int64_t now_ms) {
    int place = 0;
    for (int i = 0; i < discovery_most_listeners; ++i) {
        if (same_datagram_address(host->listeners[i], from)) {
            place = i;
            break;
        }
        if (host->listener_ms[i] < host->listener_ms[place]) place = i;
    }
    host->listeners[place] = from;
    host->listener_ms[place] = now_ms;
}

void tell_closed(DiscoveryHost* host, int64_t now_ms) {
    host->open = false;
    for (int i = 0; i < discovery_most_listeners; ++i)
        if (host->listeners[i].family && now_ms - host->listener_ms[i] < discovery_listener_kept_ms)
            send_announcement(host, host->listeners[i], 0);
}

bool same_identity(const DiscoveryFinder& finder, const Packet& packet) {
    return packet.protocol == packet_protocol && std::strcmp(packet.announce.version, finder.version) == 0 &&
           packet.announce.rules == finder.rules;
}

void forget_game(DiscoveryFinder* finder, int index) {
    for (int i = index; i + 1 < finder->game_count; ++i) finder->games[i] = finder->games[i + 1];
    --finder->game_count;
}

int find_game(const DiscoveryFinder& finder, uint64_t host_id) {
    for (int i = 0; i < finder.game_count; ++i)
        if (finder.games[i].host_id == host_id) return i;
    return -1;
}

// A host heard at several addresses is listed once, at its IPv4 address
// when it has one: the one every machine of the LAN reaches.
void hear_announcement(DiscoveryFinder* finder, const Packet& packet, const DatagramAddress& from, int64_t now_ms) {
    const AnnouncePacket& announce = packet.announce;
    int index = find_game(*finder, announce.host_id);
    if (!announce.open) {
        if (index >= 0) forget_game(finder, index);
        return;
    }
    if (index < 0) {
        if (finder->game_count == discovery_most_games) return;
        index = finder->game_count++;
        std::memset(&finder->games[index], 0, sizeof finder->games[index]);
        finder->games[index].address = from;
        finder->games[index].round_trip_ms = -1;
    }
    DiscoveredGame& game = finder->games[index];
    if (game.address.family != datagram_ipv4 || from.family == datagram_ipv4) game.address = from;
    game.address.port = announce.port;
    game.host_id = announce.host_id;
    std::memcpy(game.name, announce.name, sizeof game.name);
    std::memcpy(game.version, announce.version, sizeof game.version);
    game.rules = announce.rules;
    game.protocol = packet.protocol;
    game.playable = same_identity(*finder, packet);
    game.same_version_text = std::strcmp(announce.version, finder->version) == 0;
    game.heard_ms = now_ms;
    const uint32_t round_trip = static_cast<uint32_t>(now_ms) - announce.echo_ms;
    if (announce.echo_ms && round_trip <= discovery_most_round_trip_ms) game.round_trip_ms = static_cast<int>(round_trip);
}

void send_probes(DiscoveryFinder* finder, int64_t now_ms) {
    Packet packet = new_packet(packet_probe);
    // 0 is "unasked" in an announcement: the clock's one moment of 0 is sent as 1.
    packet.probe.sent_ms = static_cast<uint32_t>(now_ms) ? static_cast<uint32_t>(now_ms) : 1;
    uint8_t bytes[packet_capacity];
    const int size = write_packet(packet, bytes, sizeof bytes);
    for (int i = 0; i < finder->target_count; ++i) {
        const DatagramAddress& to = finder->targets[i];
        const int socket = finder->sockets[to.family == datagram_ipv6 ? 1 : 0];
        if (socket >= 0 && datagram_send(socket, to, bytes, size)) ++finder->probes_sent;
    }
    finder->last_probe_ms = now_ms;
}

void take_announcements(DiscoveryFinder* finder, int socket, int64_t now_ms) {
    for (int i = 0; i < discovery_most_datagrams && socket >= 0; ++i) {
        uint8_t bytes[packet_capacity];
        DatagramAddress from;
        const int size = datagram_receive(socket, bytes, sizeof bytes, &from);
        if (size < 0) return;
        discovery_find_hear(finder, bytes, size, from, now_ms);
    }
}

}  // namespace

bool discovery_host_open(DiscoveryHost* host, const char* version, uint64_t rules, uint64_t host_id, int game_port,
                         int discovery_port) {
    std::memset(host, 0, sizeof *host);
    const int port = discovery_port ? discovery_port : net_discovery_port;
    host->socket = datagram_open_shared(datagram_any_address(datagram_ipv6, port));
    if (host->socket < 0) host->socket = datagram_open_shared(datagram_any_address(datagram_ipv4, port));
    host->announce.port = static_cast<uint16_t>(game_port);
    host->announce.host_id = host_id;
    std::snprintf(host->announce.version, sizeof host->announce.version, "%s", version);
    host->announce.rules = rules;
    machine_name(host->announce.name);
    host->open = host->socket >= 0;
    return host->open;
}

void discovery_host_update(DiscoveryHost* host, bool open, int64_t now_ms) {
    if (host->socket < 0) return;
    if (host->open && !open) tell_closed(host, now_ms);
    host->open = open;
    for (int i = 0; i < discovery_most_datagrams; ++i) {
        uint8_t bytes[packet_capacity];
        DatagramAddress from;
        const int size = datagram_receive(host->socket, bytes, sizeof bytes, &from);
        if (size < 0) return;
        discovery_host_hear(host, bytes, size, from, now_ms);
    }
}

void discovery_host_hear(DiscoveryHost* host, const uint8_t* bytes, int size, const DatagramAddress& from,
                         int64_t now_ms) {
    Packet packet;
    if (read_packet(bytes, size, 0, &packet) != packet_ok || packet.kind != packet_probe) {
        ++host->datagrams_dropped;
        return;
    }
    if (!host->open) return;
    remember_listener(host, from, now_ms);
    send_announcement(host, from, packet.probe.sent_ms);
}

void discovery_host_close(DiscoveryHost* host, int64_t now_ms) {
    if (host->socket < 0) return;
    if (host->open) tell_closed(host, now_ms);
    datagram_close(host->socket);
    host->socket = -1;
}

bool discovery_find_begin(DiscoveryFinder* finder, const char* version, uint64_t rules, const DatagramAddress* only,
                          int discovery_port, int64_t now_ms) {
    std::memset(finder, 0, sizeof *finder);
    std::snprintf(finder->version, sizeof finder->version, "%s", version);
    finder->rules = rules;
    finder->last_probe_ms = now_ms - discovery_probe_interval_ms;
    const int port = discovery_port ? discovery_port : net_discovery_port;
    if (only) {
        finder->targets[finder->target_count++] = *only;
    } else {
        finder->target_count = datagram_link_addresses(finder->targets, discovery_most_targets - 1, port);
        // A game hosted on this very machine, which no broadcast of another link reaches.
        finder->targets[finder->target_count++] = datagram_loopback_address(datagram_ipv4, port);
    }
    finder->sockets[0] = datagram_open(datagram_any_address(datagram_ipv4, 0));
    finder->sockets[1] = datagram_open(datagram_any_address(datagram_ipv6, 0));
    if (finder->sockets[0] >= 0) datagram_allow_broadcast(finder->sockets[0]);
    return finder->sockets[0] >= 0 || finder->sockets[1] >= 0;
}

void discovery_find_hear(DiscoveryFinder* finder, const uint8_t* bytes, int size, const DatagramAddress& from,
                         int64_t now_ms) {
    Packet packet;
    if (read_packet(bytes, size, 0, &packet) != packet_ok || packet.kind != packet_announce) {
        ++finder->datagrams_dropped;
        return;
    }
    hear_announcement(finder, packet, from, now_ms);
}

void discovery_find_update(DiscoveryFinder* finder, int64_t now_ms) {
    take_announcements(finder, finder->sockets[0], now_ms);
    take_announcements(finder, finder->sockets[1], now_ms);
    for (int i = finder->game_count - 1; i >= 0; --i)
        if (now_ms - finder->games[i].heard_ms > discovery_forget_ms) forget_game(finder, i);
    if (now_ms - finder->last_probe_ms >= discovery_probe_interval_ms) send_probes(finder, now_ms);
}

void discovery_find_wait(const DiscoveryFinder& finder, int timeout_ms) {
    // Two sockets and a wait for one: asleep on the IPv6 one a millisecond
    // at a time, glancing at the IPv4 one between, so that neither answer
    // waits (and lengthens its round trip) for the other's turn.
    const int most = timeout_ms > 1 ? timeout_ms : 1;
    for (int waited = 0; waited < most; ++waited) {
        if (finder.sockets[0] >= 0 && datagram_wait(finder.sockets[0], finder.sockets[1] >= 0 ? 0 : most)) return;
        if (finder.sockets[1] < 0) return;
        if (datagram_wait(finder.sockets[1], 1)) return;
    }
}

void discovery_find_end(DiscoveryFinder* finder) {
    for (int& socket : finder->sockets) {
        datagram_close(socket);
        socket = -1;
    }
}

void discovered_game_line(const DiscoveredGame& game, char* text, int size) {
    char address[datagram_address_text_capacity];
    datagram_address_text(game.address, address, sizeof address);
    char trip[24] = "? ms";
    if (game.round_trip_ms >= 0) std::snprintf(trip, sizeof trip, "%d ms", game.round_trip_ms);
    const char* mark = game.playable ? "" : game.same_version_text ? " (other rules)" : " (other version)";
    std::snprintf(text, static_cast<size_t>(size), "%s  %s  version %s%s  %s", game.name, address, game.version,
                  mark, trip);
}
